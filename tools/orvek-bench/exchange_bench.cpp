// orvek-exchange-bench: what one exchange through OrvekPORT.dll costs next
// to the same system calls made by hand, against the same running host, in
// the same process. Each pair runs in alternating blocks (DLL first in even
// blocks, raw first in odd ones) so that drift in the host or in Wine falls
// on both sides alike. Every exchange is timed; each side's figure is the
// median of its exchanges, and the ratio compares those medians.
//
//   orvek-exchange-bench [--blocks N] [--per-block N] [--pair NAME]
//                        [--floor safe|lock]
//
// The raw side is the floor of a safe shared exchange: the exchange lock
// and the owed-post record around the exchange's own calls; `--floor lock`
// leaves the record out.
//
// Path_EXE must name the host (the emulator); OrvekGPSPort_Init starts it
// when it is not running. Prints figures; exit 1 when an exchange fails.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "protocol/host_protocol.h"
#include "tools/common/win_files.h"
#include "tools/common/win_handle.h"
#include "tools/common/win_text.h"
#include "tools/common/wine_unix.h"

namespace {

// What the library and the host agree on, restated here because this
// program stands where any other client of the host would.
namespace protocol = orvek::protocol;
using orvek::tools::as_wide;

// The host link as the raw loop sees it, found once.
struct RawLink {
  std::wstring request_path;  // <host dir>\PACKETTX.DAT
  std::wstring reply_path;    // <host dir>\PACKETRX.DAT
  HWND window = nullptr;
  orvek::tools::ObjectHandle event;
  // The named mutex any safe exchange holds: part of the floor, since no
  // exchange that two callers share can do without it.
  orvek::tools::ObjectHandle lock;
  // The record of a post not yet answered, beside the packet files, which
  // a safe exchange reads before it posts and writes around its wait.
  std::wstring record_path;
  DWORD window_process = 0;
  bool keep_record = true;
};

// Holds the exchange lock for one raw exchange.
class RawLock {
 public:
  explicit RawLock(HANDLE lock)
      : lock_(WaitForSingleObject(lock, protocol::kLockWaitMs) == WAIT_OBJECT_0
                  ? lock
                  : nullptr) {}
  RawLock(const RawLock&) = delete;
  RawLock& operator=(const RawLock&) = delete;
  ~RawLock() {
    if (lock_ != nullptr) ReleaseMutex(lock_);
  }
  explicit operator bool() const { return lock_ != nullptr; }

 private:
  HANDLE lock_;
};

bool open_raw_link(RawLink* link) {
  wchar_t exe[MAX_PATH] = {};
  DWORD size = sizeof exe;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, as_wide(protocol::kHostRegistryKey),
                   as_wide(protocol::kHostPathValue), RRF_RT_REG_SZ,
                   nullptr, exe, &size) != ERROR_SUCCESS)
    return false;
  std::wstring directory(exe);
  directory.resize(directory.rfind(L'\\') == std::wstring::npos
                       ? directory.size()
                       : directory.rfind(L'\\'));
  link->request_path = directory + as_wide(protocol::kRequestFileName);
  link->reply_path = directory + as_wide(protocol::kReplyFileName);
  link->record_path = directory + as_wide(protocol::kLinkFileName);
  link->window = FindWindowW(as_wide(protocol::kHostWindowClass), nullptr);
  GetWindowThreadProcessId(link->window, &link->window_process);
  link->event.reset(CreateEventW(nullptr, FALSE, FALSE,
                                 as_wide(protocol::kReplyEventName)));
  link->lock.reset(
      CreateMutexW(nullptr, FALSE, as_wide(protocol::kExchangeLockName)));
  return link->window != nullptr && link->event && link->lock;
}

// The owed-post record as a safe exchange keeps it: read by path, owed
// from the post until the answer (24 bytes: owed, window, its process, 0,
// its start), closed at the end.
class RawRecord {
 public:
  explicit RawRecord(const RawLink& link) : link_(link) {
    if (!link.keep_record) return;
    file_ = orvek::tools::file_handle(
        CreateFileW(link.record_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char bytes[25];
    DWORD read = 0;
    nothing_owed_ =
        file_ && ReadFile(file_.get(), bytes, sizeof bytes, &read, nullptr) &&
        read == 24 && bytes[0] == 0;
  }
  explicit operator bool() const { return nothing_owed_ || !link_.keep_record; }
  bool write(bool owed) {
    if (!link_.keep_record) return true;
    std::uint32_t record[6] = {
        owed ? 1u : 0u,
        static_cast<std::uint32_t>(
            reinterpret_cast<std::uintptr_t>(link_.window)),
        link_.window_process,
        0,
        0,
        0};
    DWORD written = 0;
    return SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN) == 0 &&
           WriteFile(file_.get(), record, sizeof record, &written, nullptr);
  }

 private:
  const RawLink& link_;
  orvek::tools::FileHandle file_;
  bool nothing_owed_ = false;
};

// One exchange by hand: the calls the library makes, in its order, inside
// the exchange lock and with nothing else around them. The reply and its
// NUL go to `reply` (capacity + 1 bytes); false on any failure.
bool raw_exchange(const RawLink& link, const std::string& line, char* reply,
                  DWORD capacity, DWORD* read) {
  RawLock held(link.lock.get());
  if (!held) return false;
  RawRecord record(link);
  if (!record) return false;
  BOOL wrote = FALSE;
  {
    orvek::tools::FileHandle request = orvek::tools::file_handle(
        CreateFileW(link.request_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!request) return false;
    DWORD written = 0;
    wrote = WriteFile(request.get(), line.data(),
                      static_cast<DWORD>(line.size()), &written, nullptr);
  }  // closed before the host is asked, as the library does
  if (!wrote) return false;
  ResetEvent(link.event.get());
  PostMessageW(link.window, protocol::WM_PORT_REQUEST,
               protocol::PORT_WPARAM_PACKET, 0);
  record.write(true);
  if (WaitForSingleObject(link.event.get(), protocol::kReplyWaitMs) !=
      WAIT_OBJECT_0)
    return false;
  record.write(false);
  orvek::tools::FileHandle answer = orvek::tools::file_handle(
      CreateFileW(link.reply_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!answer) return false;
  BOOL got = ReadFile(answer.get(), reply, capacity, read, nullptr);
  answer.reset();
  if (!got) return false;
  reply[*read] = '\0';
  return true;
}

// The request line the DLL wrote last, so that the raw loop replays exactly
// the bytes the DLL sends.
std::string last_request_line(const RawLink& link) {
  return orvek::tools::read_whole_file(link.request_path).value_or("");
}

// One side of a pair: a single operation, true when it succeeded.
using Operation = std::function<bool()>;

struct Pair {
  const char* name;        // for --pair
  const char* title;       // what is measured
  const char* per_second;  // unit of the rate line: "exchanges", "fixes"
  Operation dll;
  // Made after one DLL call, from the line that call wrote.
  std::function<Operation(const std::string& line)> make_raw;
};

double now_us() {
  static const double ticks_per_us = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1e6;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_us;
}

// Runs `operation` `count` times, appending each run's microseconds to
// `samples`; false as soon as one run fails.
bool time_block(const Operation& operation, int count,
                std::vector<double>* samples) {
  for (int i = 0; i < count; ++i) {
    double start = now_us();
    if (!operation()) return false;
    samples->push_back(now_us() - start);
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Short blocks: load elsewhere on the machine comes in bursts of seconds,
// and blocks of ten exchanges let both sides see the same mix of it.
struct Options {
  int blocks = 200;
  int per_block = 10;
  std::string pair = "all";
  bool record = true;
};

double mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

// The median is the figure: a burst of load elsewhere on the machine slows
// a few exchanges a lot, which moves the mean but hardly the median.
void print_side(const char* label, const std::vector<double>& samples,
                const char* per_second) {
  double typical = median(samples);
  std::printf("  %-4s %8.1f us median, %8.1f us mean  %6.0f %s/s\n", label,
              typical, mean(samples), 1e6 / typical, per_second);
}

bool run_pair(const Pair& pair, const RawLink& link, const Options& options) {
  std::printf("\n%s\n", pair.title);
  if (!pair.dll()) {
    std::printf("  the DLL's call failed; is the host answering?\n");
    return false;
  }
  std::string line = last_request_line(link);
  if (line.empty()) {
    std::printf("  the DLL's request line can't be read back\n");
    return false;
  }
  Operation raw = pair.make_raw(line);
  std::string shown = line.substr(0, line.find_first_of("\r\n"));
  std::printf("  request line: %s (%zu bytes)\n", shown.c_str(), line.size());

  // Warm-up, not counted: first-use costs of files, event and caches.
  constexpr int kWarmUpRuns = 50;
  std::vector<double> dll_samples, raw_samples;
  if (!time_block(pair.dll, kWarmUpRuns, &dll_samples) ||
      !time_block(raw, kWarmUpRuns, &raw_samples))
    return false;
  dll_samples.clear();
  raw_samples.clear();

  for (int block = 0; block < options.blocks; ++block) {
    bool dll_first = block % 2 == 0;
    bool ok = dll_first
                  ? time_block(pair.dll, options.per_block, &dll_samples) &&
                        time_block(raw, options.per_block, &raw_samples)
                  : time_block(raw, options.per_block, &raw_samples) &&
                        time_block(pair.dll, options.per_block, &dll_samples);
    if (!ok) {
      std::printf("  an exchange failed in block %d\n", block);
      return false;
    }
  }
  print_side("DLL", dll_samples, pair.per_second);
  print_side("raw", raw_samples, pair.per_second);
  double ratio = median(dll_samples) / median(raw_samples);
  std::printf("  DLL / raw = %.3f (%+.1f%%) of the medians, %d blocks x %d "
              "each side\n",
              ratio, (ratio - 1) * 100, options.blocks, options.per_block);
  return true;
}

bool parse_options(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (name == "--blocks")
      options->blocks = std::atoi(value);
    else if (name == "--per-block")
      options->per_block = std::atoi(value);
    else if (name == "--pair")
      options->pair = value;
    else if (name == "--floor" && (std::string(value) == "safe" ||
                                   std::string(value) == "lock"))
      options->record = std::string(value) == "safe";
    else
      return false;
  }
  return options->blocks > 0 && options->per_block > 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain line feeds: the figures are read on the Unix side.
  _setmode(_fileno(stdout), _O_BINARY);
  Options options;
  if (!parse_options(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: orvek-exchange-bench [--blocks N] [--per-block N] "
                 "[--pair exchange|newpoint|all] [--floor safe|lock]\n");
    return 2;
  }
  const char* wine = orvek::tools::wine_version();
  std::printf("orvek-exchange-bench: %s%s, %zu-bit\n", wine ? "Wine " : "Windows",
              wine ? wine : "", sizeof(void*) * 8);

  std::uint32_t status = OrvekGPSPort_Init();
  if (status != ORVEKPORT_OK) {
    std::printf("OrvekGPSPort_Init failed with status %u\n",
                static_cast<unsigned>(status));
    return 1;
  }
  RawLink link;
  if (!open_raw_link(&link)) {
    std::printf("the host link can't be opened by hand\n");
    return 1;
  }
  link.keep_record = options.record;
  std::printf("raw side: the exchange lock%s around the exchange's calls\n",
              options.record ? " and the owed-post record" : "");

  // Query capacity of both sides; the handshake's reply is short.
  constexpr DWORD kQueryCapacity = 100;
  // Command replies are read into 1000 bytes, as the library does.
  constexpr DWORD kCommandCapacity = 1000;

  const Pair pairs[] = {
      {"exchange", "One query exchange: OrvekGPSPort_GetString(\"0\") vs raw",
       "exchanges",
       [] {
         char result[kQueryCapacity];
         return OrvekGPSPort_GetString("0", kQueryCapacity, result) ==
                ORVEKPORT_OK;
       },
       [&link](const std::string& line) -> Operation {
         return [&link, line] {
           char reply[kQueryCapacity + 1];
           DWORD read = 0;
           return raw_exchange(link, line, reply, kQueryCapacity, &read) &&
                  read > 0 && reply[0] == 'G' &&
                  std::strchr(reply, '|') != nullptr;
         };
       }},
      {"newpoint",
       "One position fix: OrvekGPSPort_NewPoint vs raw \"E|sentence\"",
       "fixes",
       [] {
         // A fix of the demo's track (garmin15x.log, 113258 UTC).
         return OrvekGPSPort_NewPoint(-108.374110, 32.648580, 1577.4, "BENCH",
                                      "bench", 5.3, 8) == ORVEKPORT_OK;
       },
       [&link](const std::string& line) -> Operation {
         return [&link, line] {
           char reply[kCommandCapacity + 1];
           DWORD read = 0;
           return raw_exchange(link, line, reply, kCommandCapacity, &read) &&
                  read >= 2 && reply[0] == 'A';
         };
       }},
  };

  bool ok = true, any = false;
  for (const Pair& pair : pairs) {
    if (options.pair != "all" && options.pair != pair.name) continue;
    any = true;
    ok = run_pair(pair, link, options) && ok;
  }
  if (!any) {
    std::fprintf(stderr, "no pair named '%s'\n", options.pair.c_str());
    return 2;
  }
  return ok ? 0 : 1;
}
