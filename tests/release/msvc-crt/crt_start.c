/* The start-up code that Visual Studio's static C runtime (libcmt.lib) puts
 * into every console program, reduced to what the release test's programs
 * need: main's exit code through msvcrt.dll's exit, which flushes stdio,
 * and the symbols that cl's code refers to. */
#pragma comment(lib, "msvcrt")

int main(void);
__declspec(dllimport) void __cdecl exit(int code);
__declspec(dllimport) void __cdecl abort(void);

/* Set by every object that uses floating point. */
int _fltused = 0x9875;

/* The stack guard of /GS, on by default: a fixed cookie is enough for a
 * test, which only needs an overwritten frame to stop the program. */
unsigned long long __security_cookie = 0x2B992DDFA232ull;

void __security_check_cookie(unsigned long long cookie) {
  if (cookie != __security_cookie) abort();
}

void mainCRTStartup(void) { exit(main()); }
