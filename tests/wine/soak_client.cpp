// One client of scripts/soak.sh: position fixes that each carry a name of
// their own, then mixed calls whose answers name their request, through the
// real DLL. Prints one line of counts; the script reads the emulator's log
// for what the host received.
//
//   orvek-soak.exe CLIENT FIXES CALLS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "OrvekPORT/OrvekPORT.h"

namespace {

// The process's resident memory as Linux counts it (Wine reaches /proc
// through Z:), which sees what GetProcessMemoryInfo estimates; 0 elsewhere.
std::size_t resident_kib() {
  std::FILE* status = std::fopen("Z:\\proc\\self\\status", "r");
  if (status == nullptr) return 0;
  char line[256];
  std::size_t kib = 0;
  while (std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmRSS: %zu kB", &kib) == 1) break;
  std::fclose(status);
  return kib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvek-soak CLIENT FIXES CALLS\n");
    return 2;
  }
  std::string client = argv[1];
  int fixes = std::atoi(argv[2]);
  int calls = std::atoi(argv[3]);
  if (std::uint32_t status = OrvekGPSPort_Init(); status != 0) {
    std::fprintf(stderr, "client %s: Init %u\n", client.c_str(), status);
    return 1;
  }
  std::size_t memory_before = resident_kib();

  int failed = 0, mismatched = 0;
  ULONGLONG started = GetTickCount64();
  for (int i = 0; i < fixes; ++i) {
    std::string name = "S" + client + "-" + std::to_string(i);
    if (OrvekGPSPort_NewPoint(-3.5 + i * 1e-5, 40.25, 650, name.c_str(), "soak",
                              1.5, i) != 0)
      ++failed;
  }
  double fix_seconds = (GetTickCount64() - started) / 1000.0;

  // Mixed calls: a raw request and the handshake query, whose answers name
  // what was asked, and a command and a count, which fail on a wrong answer.
  for (int i = 0; i < calls; ++i) {
    std::wstring request = L"soak " +
                           std::wstring(client.begin(), client.end()) + L"-" +
                           std::to_wstring(i);
    wchar_t wide[64] = {};
    char narrow[32] = {};
    std::uint32_t status = 0;
    bool answered = true;  // with the answer to this request
    switch (i % 4) {
      case 0:
        status = OrvekGPSPort_StringProtocolW(request.c_str(), 64, wide);
        answered = std::wstring(wide) == L"R|" + request;
        break;
      case 1:
        status = OrvekGPSPort_GetString("0", sizeof narrow, narrow);
        answered = std::strcmp(narrow, "orvek-host 3") == 0;
        break;
      case 2: status = OrvekGPSPort_CenterCoordinate(i, 41.5, 0); break;
      default: status = OrvekGPSPort_GetMovingMapCount() < 0;
    }
    failed += status != 0;
    mismatched += status == 0 && !answered;
  }
  std::printf(
      "client %s: fixes %d, calls %d, non-zero %d, mismatched %d, "
      "%.0f fixes/s, resident memory %zu KiB -> %zu KiB\n",
      client.c_str(), fixes, calls, failed, mismatched,
      fix_seconds > 0 ? fixes / fix_seconds : 0.0, memory_before,
      resident_kib());
  return failed || mismatched ? 1 : 0;
}
