// Heap check of OrvekPORT.dll under Wine: the busy bytes of every process
// heap before the DLL is loaded, after LoadLibrary, after a call of every
// export against the host emulator (twice, the second round with the large
// reply buffers that go to the heap), and after FreeLibrary. The DLL must
// hold nothing at any of these points. Also checks the version resource.
//
// It loads the DLL itself (no import library), so it has its own small
// set-up instead of the gtest fixture: a host directory with a copy of the
// emulator, Path_EXE, and the emulator started directly.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "OrvekPORT/OrvekPORT.h"
#include "orvekport_version.h"
#include "tools/common/win_files.h"

namespace {

struct HeapFigures {
  std::size_t heaps = 0;
  std::size_t busy_blocks = 0;
  std::size_t busy_bytes = 0;
};

// Walks every heap of the process. Allocates nothing itself.
HeapFigures MeasureHeaps() {
  HANDLE heaps[256];
  DWORD count = GetProcessHeaps(256, heaps);
  HeapFigures figures;
  figures.heaps = count;
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
        ++figures.busy_blocks;
        figures.busy_bytes += entry.cbData;
      }
    }
    HeapUnlock(heaps[i]);
  }
  return figures;
}

// The exports, each looked up by name into a pointer of its declared type.
// clang-format off
#define ORVEK_EXPORTS(X)                                                  \
  X(OrvekGPSPort_Version) X(OrvekGPSPort_Init) X(OrvekGPSPort_GetString)  \
  X(OrvekGPSPort_StringProtocolW) X(OrvekGPSPort_NewPoint)                \
  X(OrvekGPSPort_MovingMapInit) X(OrvekGPSPort_OpenFile)                  \
  X(OrvekGPSPort_DeleteMobile) X(OrvekGPSPort_ExecCommand)                \
  X(OrvekGPSPort_SetViewportLen) X(OrvekGPSPort_CenterWaypoint)           \
  X(OrvekGPSPort_CenterCoordinate) X(OrvekGPSPort_ExportViewFile)         \
  X(OrvekGPSPort_New_Waypoint) X(OrvekGPSPort_Delete_Waypoint)            \
  X(OrvekGPSPort_Get_WaypointCount) X(OrvekGPSPort_Get_Waypoint)          \
  X(OrvekGPSPort_GetMovingMapCount) X(OrvekGPSPort_GetMovingMapPosition)  \
  X(GetPocketIDItvCe) X(GetDiskFreeSpaceItvCe)
// clang-format on

struct Exports {
#define ORVEK_POINTER(name) decltype(&::name) name = nullptr;
  ORVEK_EXPORTS(ORVEK_POINTER)
#undef ORVEK_POINTER
};

bool FindExports(HMODULE dll, Exports& e) {
  bool ok = true;
#define ORVEK_FIND(name)                                    \
  e.name = reinterpret_cast<decltype(e.name)>(              \
      reinterpret_cast<void*>(GetProcAddress(dll, #name))); \
  if (e.name == nullptr) {                                  \
    std::printf("FAIL: no export %s\n", #name);             \
    ok = false;                                             \
  }
  ORVEK_EXPORTS(ORVEK_FIND)
#undef ORVEK_FIND
  return ok;
}

// Buffers for the calls, static so that no call of ours touches the heap.
char g_large_reply[200'000];
char g_text1[20'000];
char g_text2[20'000];

// Every export once; `large` gives the query reply and the record buffers
// more room than the stack holds, so that those calls take heap blocks.
// Returns how many calls did not answer as expected.
int CallEveryExport(const Exports& e, bool large) {
  int failures = 0;
  auto expect = [&](const char* what, uint32_t status) {
    if (status != 0) {
      std::printf("FAIL: %s returned %u\n", what,
                  static_cast<unsigned>(status));
      ++failures;
    }
  };
  expect("Version is 3", e.OrvekGPSPort_Version() == 3 ? 0 : 1);
  expect("Init", e.OrvekGPSPort_Init());
  uint32_t capacity = large ? sizeof(g_large_reply) - 10 : 100;
  expect("GetString", e.OrvekGPSPort_GetString("0", capacity, g_large_reply));
  wchar_t wide_reply[64];
  expect("StringProtocolW",
         e.OrvekGPSPort_StringProtocolW(L"F|0", 64, wide_reply));
  expect("NewPoint",
         e.OrvekGPSPort_NewPoint(-3.5, 40.25, 650.7, "HEAP", "check", 1.5, 2));
  expect("MovingMapInit", e.OrvekGPSPort_MovingMapInit());
  expect("OpenFile", e.OrvekGPSPort_OpenFile("map.ovk"));
  expect("ExecCommand", e.OrvekGPSPort_ExecCommand(12));
  expect("SetViewportLen", e.OrvekGPSPort_SetViewportLen(320, 240));
  expect("New_Waypoint",
         e.OrvekGPSPort_New_Waypoint("WPH", "heap", 2.1, 41.5, 120, "a"));
  expect("CenterWaypoint", e.OrvekGPSPort_CenterWaypoint("WPH", 2.5));
  expect("CenterCoordinate", e.OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0));
  expect("ExportViewFile", e.OrvekGPSPort_ExportViewFile("view.bmp"));
  int32_t count = -1;
  expect("Get_WaypointCount", e.OrvekGPSPort_Get_WaypointCount(&count));
  char id[100], text[100], icon[100];
  double v1, v2, v3;
  expect("Get_Waypoint",
         e.OrvekGPSPort_Get_Waypoint(0, id, text, &v1, &v2, &v3, icon));
  expect("Delete_Waypoint", e.OrvekGPSPort_Delete_Waypoint("WPH"));
  expect("GetMovingMapCount", e.OrvekGPSPort_GetMovingMapCount() >= 1 ? 0 : 1);
  uint32_t text_size = large ? sizeof(g_text1) : 100;
  expect("GetMovingMapPosition",
         e.OrvekGPSPort_GetMovingMapPosition(0, g_text1, &v1, &v2, &v3,
                                             text_size, g_text2));
  expect("DeleteMobile", e.OrvekGPSPort_DeleteMobile("HEAP"));
  uint32_t length = 0;
  const void* result = nullptr;
  expect("GetPocketIDItvCe", e.GetPocketIDItvCe(0, nullptr, &length, &result));
  expect("GetDiskFreeSpaceItvCe",
         e.GetDiskFreeSpaceItvCe(0, L"C:\\", &length, &result));
  return failures;
}

// ---- The host directory and the emulator ----------------------------------

wchar_t g_directory[MAX_PATH];
wchar_t g_host_exe[MAX_PATH];

bool PrepareHost() {
  wchar_t own[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  wchar_t* slash = std::wcsrchr(own, L'\\');
  if (slash == nullptr) return false;
  *slash = L'\0';
  // Path_EXE holds at most 99 characters; a deep build tree goes to %TEMP%.
  std::swprintf(g_directory, MAX_PATH, L"%ls\\run", own);
  if (std::wcslen(g_directory) + 20 > 99) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::swprintf(g_directory, MAX_PATH, L"%lsorvek-heap", temp);
  } else {
    CreateDirectoryW(g_directory, nullptr);
    std::wcscat(g_directory, L"\\heap");
  }
  CreateDirectoryW(g_directory, nullptr);
  std::swprintf(g_host_exe, MAX_PATH, L"%ls\\orvek-host.exe", g_directory);
  wchar_t source[MAX_PATH];
  std::swprintf(source, MAX_PATH, L"%ls\\orvek-host.exe", own);
  if (!CopyFileW(source, g_host_exe, FALSE)) return false;
  // One moving-map entry for the record query.
  if (!orvek::tools::write_whole_file(
          std::wstring(g_directory) + L"\\orvek-host.mobiles",
          "41.5,2.1,120,HEAP,moored\n"))
    return false;

  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvekGPS\\General", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG set = RegSetValueExW(
      key, L"Path_EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(g_host_exe),
      static_cast<DWORD>((std::wcslen(g_host_exe) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

constexpr wchar_t kEmulatorClass[] = L"ORVEKPOCKETMAINW";

// Closes every emulator window of the prefix, ours or left by another run,
// and waits until none is left; false when one stays after `timeout_ms`.
bool CloseEveryEmulator(DWORD timeout_ms) {
  for (DWORD waited = 0;; waited += 50) {
    HWND window = FindWindowW(kEmulatorClass, nullptr);
    if (window == nullptr) return true;
    if (waited >= timeout_ms) return false;
    PostMessageW(window, WM_CLOSE, 0, 0);
    Sleep(50);
  }
}

// Started directly rather than by the DLL through the shell: the shell's
// own first-use allocations are not the DLL's. Null when its window does
// not appear within 10 s.
HANDLE StartEmulator() {
  if (!CloseEveryEmulator(5000)) return nullptr;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(g_host_exe, nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                      g_directory, &startup, &info))
    return nullptr;
  CloseHandle(info.hThread);
  for (DWORD waited = 0; waited < 10000; waited += 20) {
    HWND window = FindWindowW(kEmulatorClass, nullptr);
    DWORD owner = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &owner);
    if (owner == info.dwProcessId) return info.hProcess;
    Sleep(20);
  }
  TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hProcess);
  return nullptr;
}

// Ends our emulator and any copy the shell may have started.
void StopEmulator(HANDLE process) {
  CloseEveryEmulator(5000);
  if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0)
    TerminateProcess(process, 1);
  CloseHandle(process);
}

// The DLL's FileVersion string and fixed version words.
int CheckVersionResource(const wchar_t* dll_path) {
  static char block[8192];
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(dll_path, &ignored);
  if (size == 0 || size > sizeof(block) ||
      !GetFileVersionInfoW(dll_path, 0, sizeof(block), block)) {
    std::printf("FAIL: no version resource\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  wchar_t* text = nullptr;
  UINT text_size = 0;
  if (!VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&fixed),
                      &fixed_size) ||
      !VerQueryValueW(block, L"\\StringFileInfo\\040904B0\\FileVersion",
                      reinterpret_cast<void**>(&text), &text_size)) {
    std::printf("FAIL: version resource without its values\n");
    return 1;
  }
  char version[32];
  std::snprintf(version, sizeof(version), "%ls", text);
  bool ok = HIWORD(fixed->dwFileVersionMS) == ORVEKPORT_VERSION_MAJOR &&
            LOWORD(fixed->dwFileVersionMS) == ORVEKPORT_VERSION_MINOR &&
            HIWORD(fixed->dwFileVersionLS) == ORVEKPORT_VERSION_PATCH &&
            std::strcmp(version, ORVEKPORT_VERSION_STRING) == 0;
  std::printf("%s: version resource %s\n", ok ? "ok" : "FAIL", version);
  return ok ? 0 : 1;
}

}  // namespace

int main() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (!PrepareHost()) {
    std::printf("FAIL: could not set up the host directory\n");
    return 2;
  }
  HANDLE emulator = StartEmulator();
  if (emulator == nullptr) {
    std::printf("FAIL: the emulator did not start\n");
    return 2;
  }
  wchar_t dll_path[MAX_PATH];
  GetModuleFileNameW(nullptr, dll_path, MAX_PATH);
  *std::wcsrchr(dll_path, L'\\') = L'\0';
  std::wcscat(dll_path, L"\\OrvekPORT.dll");
  int failures = CheckVersionResource(dll_path);

  // The system DLLs that OrvekPORT.dll imports are loaded first, so that
  // their own first-use memory is not counted as ours.
  const wchar_t* imported[] = {L"advapi32.dll", L"shell32.dll", L"user32.dll"};
  for (const wchar_t* name : imported) LoadLibraryW(name);

  // What the loader itself keeps for a module while it is loaded, measured
  // on the stand-in (loaded once before, so that first-use memory of the
  // loader is not in the figure).
  wchar_t reference_path[MAX_PATH];
  std::wcscpy(reference_path, dll_path);
  std::wcscpy(std::wcsrchr(reference_path, L'\\'), L"\\OrvekHEAP.dll");
  FreeLibrary(LoadLibraryW(reference_path));
  HeapFigures reference_before = MeasureHeaps();
  HMODULE reference = LoadLibraryW(reference_path);
  HeapFigures reference_loaded = MeasureHeaps();
  if (reference == nullptr) {
    std::printf("FAIL: the stand-in DLL did not load\n");
    StopEmulator(emulator);
    return 2;
  }
  FreeLibrary(reference);
  long long loader_bytes = static_cast<long long>(reference_loaded.busy_bytes) -
                           static_cast<long long>(reference_before.busy_bytes);
  long long loader_blocks =
      static_cast<long long>(reference_loaded.busy_blocks) -
      static_cast<long long>(reference_before.busy_blocks);
  std::printf("loader's share of a loaded module: %lld bytes in %lld blocks\n",
              loader_bytes, loader_blocks);

  const char* names[] = {"before load", "after load", "after calls",
                         "after large calls", "after unload"};
  HeapFigures figures[5];
  figures[0] = MeasureHeaps();
  HMODULE dll = LoadLibraryW(dll_path);
  figures[1] = MeasureHeaps();
  Exports exports{};
  if (dll == nullptr || !FindExports(dll, exports)) {
    std::printf("FAIL: OrvekPORT.dll did not load\n");
    StopEmulator(emulator);
    return 2;
  }
  failures += CallEveryExport(exports, false);
  figures[2] = MeasureHeaps();
  failures += CallEveryExport(exports, true);
  figures[3] = MeasureHeaps();
  FreeLibrary(dll);
  figures[4] = MeasureHeaps();
  StopEmulator(emulator);

  for (int i = 0; i < 5; ++i) {
    bool loaded = i > 0 && i < 4;
    long long held = static_cast<long long>(figures[i].busy_bytes) -
                     static_cast<long long>(figures[0].busy_bytes) -
                     (loaded ? loader_bytes : 0);
    long long blocks = static_cast<long long>(figures[i].busy_blocks) -
                       static_cast<long long>(figures[0].busy_blocks) -
                       (loaded ? loader_blocks : 0);
    bool ok = held == 0 && blocks == 0 && figures[i].heaps == figures[0].heaps;
    std::printf(
        "%s: %-17s %zu heaps, %zu bytes in %zu busy blocks; the DLL "
        "holds %lld bytes in %lld blocks\n",
        ok ? "ok" : "FAIL", names[i], figures[i].heaps, figures[i].busy_bytes,
        figures[i].busy_blocks, held, blocks);
    if (!ok) ++failures;
  }
  std::printf("heap check: %s\n", failures == 0 ? "passed" : "FAILED");
  return failures == 0 ? 0 : 1;
}
