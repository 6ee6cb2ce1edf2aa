// One client of scripts/soak.sh: position fixes that each carry a name of
// their own, then mixed calls whose answers name their request, through the
// real DLL. Prints one line of counts; the script reads the emulator's log
// for what the host received.
//
//   orvek-soak.exe CLIENT FIXES CALLS
//   orvek-soak.exe chaos CLIENT SECONDS
//
// The chaos mode runs like a feed while the script stalls, kills and
// restarts the host: fixes named "K<client>-<n>", each followed by a raw
// request naming it and now and then the handshake query, with
// OrvekGPSPort_Init when the feed's rule says (tools/common/relink_policy.h:
// three calls in a row that timed out or found the link busy). It writes the name of
// every fix reported 0 to chaos-K<client>.fixes and each recovery time (ms
// from the first failure of a streak to the next success) to
// chaos-K<client>.recovery, and each failed call and each Init with its time
// to chaos-K<client>.failures, all in the working directory and flushed line
// by line, so that a client killed on the way still leaves what it saw.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/relink_policy.h"

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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// What one chaos client saw, by call.
class ChaosTally {
 public:
  explicit ChaosTally(const std::string& client)
      // Binary: the script reads them with Linux tools, without CR.
      : fixes_(open_file(client, ".fixes")),
        recoveries_(open_file(client, ".recovery")),
        failures_(open_file(client, ".failures")) {}
  bool open() const { return fixes_ && recoveries_ && failures_; }

  // Counts one call of `kind` that began at `started_ms` (GetTickCount64);
  // `right` says whether its answer was its own. Failures and Inits are
  // written with the time of day, to be read beside the emulator's log.
  // Returns whether the feed would set its link up again now.
  bool call(const char* kind, std::uint32_t status, bool right,
            ULONGLONG started_ms) {
    ++by_status_[status];
    ++calls_;
    bool relink = relink_.after(status);
    if (status == 0) {
      wrong_ += !right;
      if (streak_started_ != 0) record_recovery();
      return false;
    }
    trace(kind, status, started_ms);
    if (streak_started_ == 0) streak_started_ = GetTickCount64();
    return relink;
  }
  void fix_reported(const std::string& name) {
    std::fprintf(fixes_.get(), "%s\n", name.c_str());
    std::fflush(fixes_.get());
  }
  void init(std::uint32_t status, ULONGLONG started_ms) {
    ++inits_by_status_[status];
    trace("init", status, started_ms);
  }

  // One line: calls by status ("0:1200 7:20 14:14"), wrong answers, Inits
  // by status and recoveries.
  void print(const std::string& client, int fixes_sent) const {
    std::printf("client %s: calls %d (%s), fixes sent %d, wrong answers %d, "
                "inits %s, recoveries %zu, max recovery %llu ms, "
                "unrecovered at the end %s\n",
                client.c_str(), calls_, spelled(by_status_).c_str(), fixes_sent,
                wrong_, spelled(inits_by_status_).c_str(), recovery_ms_.size(),
                recovery_ms_.empty()
                    ? 0ULL
                    : *std::max_element(recovery_ms_.begin(), recovery_ms_.end()),
                streak_started_ ? "yes" : "no");
  }
  int wrong() const { return wrong_; }

 private:
  static std::FILE* open_file(const std::string& client, const char* suffix) {
    return std::fopen(("chaos-" + client + suffix).c_str(), "wb");
  }
  // "20:56:33.912 fix K1-322 7 3001 ms": when the call ended, what it was,
  // its status and how long it took.
  void trace(const char* kind, std::uint32_t status, ULONGLONG started_ms) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::fprintf(failures_.get(), "%02u:%02u:%02u.%03u %s %u %llu ms\n",
                 now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, kind,
                 status, GetTickCount64() - started_ms);
    std::fflush(failures_.get());
  }

  void record_recovery() {
    unsigned long long ms = GetTickCount64() - streak_started_;
    recovery_ms_.push_back(ms);
    std::fprintf(recoveries_.get(), "%llu\n", ms);
    std::fflush(recoveries_.get());
    streak_started_ = 0;
  }
  static std::string spelled(const std::map<std::uint32_t, int>& counts) {
    std::string text;
    for (const auto& [status, count] : counts)
      text += (text.empty() ? "" : " ") + std::to_string(status) + ":" +
              std::to_string(count);
    return text;
  }

  UniqueFile fixes_, recoveries_, failures_;
  std::map<std::uint32_t, int> by_status_, inits_by_status_;
  int calls_ = 0, wrong_ = 0;
  orvek::tools::RelinkPolicy relink_;
  ULONGLONG streak_started_ = 0;
  std::vector<unsigned long long> recovery_ms_;
};

// A wrong answer with status 0 is what the library must never give: it is
// shown in full, a few times per client, for whoever reads the run.
void show_wrong(const std::string& client, const std::string& asked,
                const std::string& answer, int wrong_so_far) {
  if (wrong_so_far <= 5)
    std::fprintf(stderr, "client %s: asked \"%s\", answered \"%s\" with 0\n",
                 client.c_str(), asked.c_str(), answer.c_str());
}

int run_chaos(const std::string& number, int seconds) {
  std::string client = "K" + number;
  ChaosTally tally(client);
  if (!tally.open()) {
    std::fprintf(stderr, "client %s: can't write its files\n", client.c_str());
    return 1;
  }
  ULONGLONG started = GetTickCount64();
  tally.init(OrvekGPSPort_Init(), started);
  // Counts a call that began at `started` and runs Init at once when it
  // ended the third failure in a row.
  auto count = [&](const std::string& kind, std::uint32_t status, bool right) {
    if (tally.call(kind.c_str(), status, right, started)) {
      ULONGLONG init_started = GetTickCount64();
      tally.init(OrvekGPSPort_Init(), init_started);
    }
  };
  ULONGLONG end = started + seconds * 1000ULL;
  int sent = 0;
  for (int n = 0; GetTickCount64() < end; ++n) {
    std::string name = client + "-" + std::to_string(n);
    started = GetTickCount64();
    std::uint32_t status = OrvekGPSPort_NewPoint(
        -3.5 + (n % 1000) * 1e-5, 40.25, 650, name.c_str(), "chaos", 1.5, n);
    ++sent;
    if (status == 0) tally.fix_reported(name);
    count("fix " + name, status, true);

    // "chaos K2-137" is answered "R|chaos K2-137".
    std::string asked = "chaos " + name;
    std::wstring request(asked.begin(), asked.end());
    wchar_t wide[64] = {};
    started = GetTickCount64();
    status = OrvekGPSPort_StringProtocolW(request.c_str(), 64, wide);
    bool right = L"R|" + request == wide;
    count("raw " + name, status, right);
    if (status == 0 && !right)
      show_wrong(client, asked, std::string(wide, wide + std::wcslen(wide)),
                 tally.wrong());

    if (n % 4 == 0) {
      char narrow[32] = {};
      started = GetTickCount64();
      status = OrvekGPSPort_GetString("0", sizeof narrow, narrow);
      right = std::strcmp(narrow, "orvek-host 3") == 0;
      count("query", status, right);
      if (status == 0 && !right) show_wrong(client, "F|0", narrow, tally.wrong());
    }
  }
  tally.print(client, sent);
  return tally.wrong() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "chaos") == 0)
    return run_chaos(argv[2], std::atoi(argv[3]));
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: orvek-soak CLIENT FIXES CALLS\n"
                 "       orvek-soak chaos CLIENT SECONDS\n");
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
