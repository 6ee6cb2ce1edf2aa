// The DLL's entry point: the linker starts the library here, with no C
// runtime start-up before it. Nothing needs doing at load or unload: all
// state is constant-initialised and the library keeps no memory.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
