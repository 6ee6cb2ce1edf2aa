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
#include <string>
#include <utility>

#include "OrvekPORT/OrvekPORT.h"
#include "emulator_setup.h"
#include "orvekport_version.h"
#include "tools/common/win_files.h"
#include "tools/common/win_process.h"
#include "tools/common/win_text.h"

namespace {

// Signed, so that the difference of two measurements is one too.
struct HeapFigures {
  long long heaps = 0;
  long long busy_blocks = 0;
  long long busy_bytes = 0;
  HeapFigures operator-(const HeapFigures& o) const {
    return {heaps - o.heaps, busy_blocks - o.busy_blocks,
            busy_bytes - o.busy_bytes};
  }
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
  auto expect = [&](const char* call, uint32_t status) {
    if (status == 0) return;
    std::printf("FAIL: %s gave %u\n", call, static_cast<unsigned>(status));
    ++failures;
  };
#define ORVEK_EXPECT_OK(call) expect(#call, e.call)
  expect("Version is 3", e.OrvekGPSPort_Version() == 3 ? 0 : 1);
  ORVEK_EXPECT_OK(OrvekGPSPort_Init());
  uint32_t capacity = large ? sizeof(g_large_reply) - 10 : 100;
  ORVEK_EXPECT_OK(OrvekGPSPort_GetString("0", capacity, g_large_reply));
  wchar_t wide[64];
  ORVEK_EXPECT_OK(OrvekGPSPort_StringProtocolW(L"F|0", 64, wide));
  ORVEK_EXPECT_OK(OrvekGPSPort_NewPoint(-3.5, 40.25, 650.7, "HEAP", "", 1, 2));
  ORVEK_EXPECT_OK(OrvekGPSPort_MovingMapInit());
  ORVEK_EXPECT_OK(OrvekGPSPort_OpenFile("map.ovk"));
  ORVEK_EXPECT_OK(OrvekGPSPort_ExecCommand(12));
  ORVEK_EXPECT_OK(OrvekGPSPort_SetViewportLen(320, 240));
  ORVEK_EXPECT_OK(OrvekGPSPort_New_Waypoint("WPH", "", 2.1, 41.5, 120, "a"));
  ORVEK_EXPECT_OK(OrvekGPSPort_CenterWaypoint("WPH", 2.5));
  ORVEK_EXPECT_OK(OrvekGPSPort_CenterCoordinate(2.1, 41.5, 0));
  ORVEK_EXPECT_OK(OrvekGPSPort_ExportViewFile("view.bmp"));
  int32_t count = -1;
  ORVEK_EXPECT_OK(OrvekGPSPort_Get_WaypointCount(&count));
  char id[100], text[100], icon[100];
  double v1, v2, v3;
  ORVEK_EXPECT_OK(OrvekGPSPort_Get_Waypoint(0, id, text, &v1, &v2, &v3, icon));
  ORVEK_EXPECT_OK(OrvekGPSPort_Delete_Waypoint("WPH"));
  expect("GetMovingMapCount", e.OrvekGPSPort_GetMovingMapCount() >= 1 ? 0 : 1);
  uint32_t size = large ? sizeof(g_text1) : 100;
  ORVEK_EXPECT_OK(OrvekGPSPort_GetMovingMapPosition(0, g_text1, &v1, &v2, &v3,
                                                    size, g_text2));
  ORVEK_EXPECT_OK(OrvekGPSPort_DeleteMobile("HEAP"));
  uint32_t length = 0;
  const void* result = nullptr;
  ORVEK_EXPECT_OK(GetPocketIDItvCe(0, nullptr, &length, &result));
  ORVEK_EXPECT_OK(GetDiskFreeSpaceItvCe(0, L"C:\\", &length, &result));
#undef ORVEK_EXPECT_OK
  return failures;
}

// ---- The host directory and the emulator ----------------------------------

using orvek::tools::StartedProcess;

// A host directory of its own with a copy of the emulator and one
// moving-map entry, registered, and the emulator started there directly
// rather than by the DLL through the shell: the shell's own first-use
// allocations are not the DLL's. Nothing when its window does not appear.
StartedProcess StartEmulator() {
  namespace winetest = orvek::winetest;
  if (!winetest::stop_all_emulators()) return StartedProcess();
  std::wstring directory = winetest::install_emulator("heap-check");
  if (directory.empty() ||
      !orvek::tools::write_whole_file(directory + L"\\orvek-host.mobiles",
                                      "41.5,2.1,120,HEAP,moored\n"))
    return StartedProcess();
  return winetest::start_emulator(directory);
}

// The DLL's FileVersion string and fixed version words.
int CheckVersionResource(const std::wstring& dll_path) {
  static char block[8192];
  VS_FIXEDFILEINFO* fixed = nullptr;
  wchar_t* text = nullptr;
  UINT size = 0;
  if (!GetFileVersionInfoW(dll_path.c_str(), 0, sizeof(block), block) ||
      !VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&fixed), &size) ||
      !VerQueryValueW(block, L"\\StringFileInfo\\040904B0\\FileVersion",
                      reinterpret_cast<void**>(&text), &size)) {
    std::printf("FAIL: no version resource with its values\n");
    return 1;
  }
  std::string version = orvek::tools::narrow(CP_ACP, text);
  bool ok = HIWORD(fixed->dwFileVersionMS) == ORVEKPORT_VERSION_MAJOR &&
            LOWORD(fixed->dwFileVersionMS) == ORVEKPORT_VERSION_MINOR &&
            HIWORD(fixed->dwFileVersionLS) == ORVEKPORT_VERSION_PATCH &&
            version == ORVEKPORT_VERSION_STRING;
  std::printf("%s: version resource %s\n", ok ? "ok" : "FAIL", version.c_str());
  return ok ? 0 : 1;
}

}  // namespace

int main() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  wchar_t own[MAX_PATH];
  std::wstring directory(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
  directory.resize(directory.rfind(L'\\'));
  const std::wstring dll_path = directory + L"\\OrvekPORT.dll";
  const std::wstring reference_path = directory + L"\\OrvekHEAP.dll";
  StartedProcess emulator = StartEmulator();
  if (!emulator) {
    std::printf("FAIL: the emulator did not start\n");
    return 2;
  }
  int failures = CheckVersionResource(dll_path);

  // The system DLLs that OrvekPORT.dll imports are loaded first, so that
  // their own first-use memory is not counted as ours.
  for (const wchar_t* name : {L"advapi32.dll", L"shell32.dll", L"user32.dll"})
    LoadLibraryW(name);

  // What the loader itself keeps for a module while it is loaded, measured
  // on the stand-in (loaded once before, so that first-use memory of the
  // loader is not in the figure).
  FreeLibrary(LoadLibraryW(reference_path.c_str()));
  HeapFigures reference_before = MeasureHeaps();
  HMODULE reference = LoadLibraryW(reference_path.c_str());
  const HeapFigures loader = MeasureHeaps() - reference_before;
  FreeLibrary(reference);
  std::printf("loader's share of a loaded module: %lld bytes in %lld blocks\n",
              loader.busy_bytes, loader.busy_blocks);

  const char* names[] = {"before load", "after load", "after calls",
                         "after large calls", "after unload"};
  HeapFigures figures[5];
  figures[0] = MeasureHeaps();
  HMODULE dll = LoadLibraryW(dll_path.c_str());
  figures[1] = MeasureHeaps();
  Exports exports{};
  if (reference == nullptr || dll == nullptr || !FindExports(dll, exports)) {
    std::printf("FAIL: OrvekPORT.dll or its stand-in did not load\n");
    orvek::winetest::stop_all_emulators();
    return 2;
  }
  failures += CallEveryExport(exports, false);
  figures[2] = MeasureHeaps();
  failures += CallEveryExport(exports, true);
  figures[3] = MeasureHeaps();
  FreeLibrary(dll);
  figures[4] = MeasureHeaps();
  orvek::winetest::stop_all_emulators();

  for (int i = 0; i < 5; ++i) {
    bool loaded = i > 0 && i < 4;
    HeapFigures held =
        figures[i] - figures[0] - (loaded ? loader : HeapFigures{});
    bool ok = held.busy_bytes == 0 && held.busy_blocks == 0 &&
              figures[i].heaps == figures[0].heaps;
    std::printf(
        "%s: %-17s %lld heaps, %lld bytes in %lld busy blocks; the DLL "
        "holds %lld bytes in %lld blocks\n",
        ok ? "ok" : "FAIL", names[i], figures[i].heaps, figures[i].busy_bytes,
        figures[i].busy_blocks, held.busy_bytes, held.busy_blocks);
    if (!ok) ++failures;
  }
  std::printf("heap check: %s\n", failures == 0 ? "passed" : "FAILED");
  return failures == 0 ? 0 : 1;
}
