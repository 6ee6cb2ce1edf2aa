// A stand-in for OrvekPORT.dll with no code of its own but the same imported
// DLLs and a file name of the same length: what Wine's loader keeps on the
// heap for it is the loader's bookkeeping of any such module, which the heap
// check takes away from the DLL's figures.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstring>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// One import from each DLL that OrvekPORT.dll imports from.
extern "C" __declspec(dllexport) UINT_PTR WINAPI
    HeapReferenceImports(const char* text) {
  HKEY key = nullptr;
  RegCloseKey(key);
  SHELLEXECUTEINFOW info{};
  return reinterpret_cast<UINT_PTR>(GetProcessHeap()) +
         reinterpret_cast<UINT_PTR>(FindWindowW(nullptr, nullptr)) +
         static_cast<UINT_PTR>(ShellExecuteExW(&info)) + std::strlen(text);
}
