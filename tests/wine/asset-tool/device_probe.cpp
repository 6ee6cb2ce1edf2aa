// Prints what GetPocketIDItvCe gives a fresh process, as "LENGTH TEXT" on
// one line: the Wine tests run it once per source setup, since the
// identifier is worked out only once per process. The DLL is loaded by
// name and the export looked up by its plain name, as any caller may.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "OrvekPORT/OrvekPORT.h"

int main() {
  HMODULE library = LoadLibraryW(L"OrvekPORT.dll");
  if (library == nullptr) return 2;
  auto get_pocket_id = reinterpret_cast<decltype(&GetPocketIDItvCe)>(
      reinterpret_cast<void*>(GetProcAddress(library, "GetPocketIDItvCe")));
  if (get_pocket_id == nullptr) return 3;

  std::uint32_t length = 0;
  const void* result = nullptr;
  // Arguments 1 and 2 are ignored: any value will do.
  static const char kIgnored[] = "ignored";
  get_pocket_id(0xFFFFFFFFu, kIgnored, &length, &result);
  if (result == nullptr) return 1;
  std::printf("%u %s\n", static_cast<unsigned>(length),
              static_cast<const char*>(result));
  // Unloading releases the cached identifier: it must not crash.
  return FreeLibrary(library) ? 0 : 4;
}
