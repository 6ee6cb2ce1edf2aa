// orvek-feed: replays NMEA logs and bridges live receivers (serial, TCP,
// gpsd) into the host application, one fix per receiver epoch, through
// OrvekPORT.dll like any user program.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "byte_sources.h"
#include "feed_options.h"
#include "fix_sender.h"
#include "gpsd_reports.h"
#include "gpx_track.h"
#include "nmea_stream.h"
#include "pacing.h"
#include "term_signal.h"
#include "tools/common/win_text.h"

namespace orvek::feed {
namespace {

// The exit codes, as the help lists them.
enum ExitCode : int {
  kExitDelivered = 0,
  kExitFixFailed = 1,
  kExitUsage = 2,
  kExitSourceUnreadable = 3,
  kExitNoFix = 4,
};

// How long one read waits, so Ctrl-C and the idle time-out are noticed.
constexpr uint32_t kReadWaitMs = 250;
// The progress line is redrawn at most this often.
constexpr ULONGLONG kProgressEveryMs = 200;

// Set by Ctrl-C; waits end early on it.
HANDLE g_stop_event = nullptr;
std::atomic<bool> g_stopping{false};

BOOL WINAPI on_console_control(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
    return FALSE;
  g_stopping = true;
  SetEvent(g_stop_event);
  return TRUE;
}

// Set when --count or --duration is reached; ends the run as Ctrl-C does,
// without calling it an interruption.
std::atomic<bool> g_bound_reached{false};
ULONGLONG g_deadline = 0;  // GetTickCount64() at --duration's end; 0: none

bool ending() {
  if (g_deadline != 0 && GetTickCount64() >= g_deadline) g_bound_reached = true;
  return g_stopping || g_bound_reached;
}

// Waits `ms` unless Ctrl-C or the end of --duration comes first; false then.
bool pause_ms(uint32_t ms) {
  if (g_deadline != 0) {
    ULONGLONG now = GetTickCount64();
    if (now >= g_deadline) return !ending();
    if (g_deadline - now < ms) ms = static_cast<uint32_t>(g_deadline - now);
  }
  return WaitForSingleObject(g_stop_event, ms) == WAIT_TIMEOUT && !ending();
}

class Feed {
 public:
  explicit Feed(const FeedOptions& options)
      : options_(options),
        // The name goes to the host in its code page, what it lacks as '?'.
        sender_(orvek::tools::narrow(CP_ACP, orvek::tools::widen(CP_UTF8, options.name)),
                options.quiet),
        pacer_(options.speed),
        nmea_([this](const Fix& fix) { deliver(fix); }),
        gpsd_([this](const Fix& fix) { deliver(fix); }) {
    // A progress line only on a console, where it can be redrawn.
    DWORD mode = 0;
    progress_ = !options.quiet && GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
    sender_.set_progress_line(progress_);
  }

  int run() {
    if (!options_.track_path.empty()) {
      std::string error;
      if (!track_.open(options_.track_path, options_.name, &error)) {
        std::fprintf(stderr, "orvek-feed: %s\n", error.c_str());
        return kExitUsage;
      }
    }
    sender_.start();
    std::unique_ptr<ByteSource> source = make_byte_source(options_);
    bool any_data = source->live() ? run_live(*source) : run_log(*source);
    if (progress_) std::fputs("\n", stderr);
    print_summary();
    if (!any_data) return kExitSourceUnreadable;
    if (fixes_found_ == 0) {
      std::fprintf(stderr, "orvek-feed: %s: %s\n", options_.source.c_str(),
                   reader().no_fix_reason().c_str());
      return kExitNoFix;
    }
    return sender_.failed() == 0 ? kExitDelivered : kExitFixFailed;
  }

 private:
  bool gpsd() const { return options_.kind == SourceKind::kGpsd; }

  // The reader of the source's bytes.
  FixReader& reader() { return gpsd() ? static_cast<FixReader&>(gpsd_) : nmea_; }
  void push(std::string_view bytes) { reader().push(bytes); }
  void finish() { reader().finish(); }

  void deliver(const Fix& fix) {
    ++fixes_found_;
    if (ending()) return;
    if (!source_live_) {
      uint64_t wait = pacer_.wait_ms(fix, GetTickCount64());
      if (wait > 0) pause_ms(static_cast<uint32_t>(wait));
    }
    if (ending()) return;
    uint64_t delivered_before = sender_.delivered();
    sender_.send(fix);
    if (sender_.delivered() > delivered_before)
      track_.add(fix);
    else
      track_.break_segment();
    if (options_.max_fixes != 0 && sender_.sent() >= options_.max_fixes)
      g_bound_reached = true;
    last_time_ = fix.utc_text;
    show_progress(false);
  }

  void show_progress(bool force) {
    if (!progress_) return;
    ULONGLONG now = GetTickCount64();
    if (!force && now - last_progress_ < kProgressEveryMs) return;
    last_progress_ = now;
    std::fprintf(stderr, "\rorvek-feed: %llu fixes sent, %llu failed, time %s   ",
                 static_cast<unsigned long long>(sender_.sent()),
                 static_cast<unsigned long long>(sender_.failed()), last_time_.c_str());
    std::fflush(stderr);
  }

  // A log: read to the end, again and again with --loop.
  bool run_log(ByteSource& source) {
    bool any_data = false;
    do {
      std::string error;
      if (!source.open(&error)) {
        std::fprintf(stderr, "orvek-feed: %s\n", error.c_str());
        return any_data;
      }
      pacer_.restart();
      ReadResult result = ReadResult::kEnd;
      std::string bytes;
      while (!ending() &&
             (result = source.read(&bytes, kReadWaitMs, &error)) == ReadResult::kData) {
        any_data = true;
        push(bytes);
        bytes.clear();
      }
      if (!ending() && result == ReadResult::kError)
        std::fprintf(stderr, "orvek-feed: %s: %s\n", options_.source.c_str(), error.c_str());
      finish();
      source.close();
      track_.break_segment();
    } while (options_.loop && !ending());
    return any_data;
  }

  // A receiver: reconnect with back-off whenever the stream drops or stays
  // silent, until Ctrl-C or --max-connects.
  bool run_live(ByteSource& source) {
    source_live_ = true;
    bool any_data = false;
    Backoff backoff;
    for (;;) {
      std::string error;
      if (source.open(&error)) {
        ++connections_;
        ULONGLONG last_data = GetTickCount64();
        std::string bytes;
        for (;;) {
          if (ending()) break;
          ReadResult result = source.read(&bytes, kReadWaitMs, &error);
          if (result == ReadResult::kData) {
            any_data = true;
            backoff.reset();
            last_data = GetTickCount64();
            push(bytes);
            bytes.clear();
          } else if (result == ReadResult::kNothingYet) {
            if (GetTickCount64() - last_data >= options_.idle_timeout_ms) {
              std::fprintf(stderr, "orvek-feed: %s: silent for %u s\n",
                           options_.source.c_str(), options_.idle_timeout_ms / 1000);
              break;
            }
          } else {
            if (result == ReadResult::kError)
              std::fprintf(stderr, "orvek-feed: %s: %s\n", options_.source.c_str(),
                           error.c_str());
            else
              std::fprintf(stderr, "orvek-feed: %s: stream ended\n", options_.source.c_str());
            break;
          }
        }
        finish();
        source.close();
        track_.break_segment();
      } else {
        std::fprintf(stderr, "orvek-feed: %s\n", error.c_str());
      }
      ++ended_;
      if (ending() || (options_.max_connects && ended_ >= options_.max_connects)) break;
      uint32_t wait = backoff.next_ms();
      std::fprintf(stderr, "orvek-feed: reconnecting in %u ms\n", wait);
      if (!pause_ms(wait)) break;
    }
    return any_data;
  }

  void print_summary() {
    auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
    std::printf("orvek-feed summary%s\n", g_stopping ? " (interrupted)" : "");
    if (gpsd()) {
      const GpsdCounts& c = gpsd_.counts();
      std::printf("  reports read: %llu lines, %llu TPV, %llu unreadable\n", n(c.lines),
                  n(c.reports), n(c.unreadable));
      std::printf("  epochs: %llu, without a fix: %llu\n", n(c.epochs), n(c.epochs_without_fix));
    } else {
      const StreamCounts& c = nmea_.counts();
      std::printf("  sentences read: %llu lines, %llu used, %llu of other kinds\n",
                  n(c.lines), n(c.count(LineVerdict::kUsed)),
                  n(c.count(LineVerdict::kOtherKind)));
      std::printf("  skipped: %llu comments, %llu blank\n", n(c.count(LineVerdict::kComment)),
                  n(c.count(LineVerdict::kBlank)));
      std::printf("  rejected:");
      for (LineVerdict v : {LineVerdict::kBadChecksum, LineVerdict::kMalformed,
                            LineVerdict::kCutOff, LineVerdict::kTooLong, LineVerdict::kBinary})
        std::printf(" %s %llu%s", verdict_name(v), n(c.count(v)),
                    v == LineVerdict::kBinary ? "\n" : ",");
      std::printf("  epochs: %llu, without a fix: %llu\n", n(c.epochs), n(c.epochs_without_fix));
    }
    if (source_live_) std::printf("  connections: %u\n", connections_);
    std::printf("  fixes sent: %llu, delivered %llu, failed %llu\n", n(sender_.sent()),
                n(sender_.delivered()), n(sender_.failed()));
    for (const auto& [status, count] : sender_.failed_by_status())
      std::printf("  failed with %s: %llu\n", status_text(status).c_str(), n(count));
    if (!options_.track_path.empty())
      std::printf("  track: %llu points in %llu segments, %s\n", n(track_.points()),
                  n(track_.segments()), options_.track_path.c_str());
    if (sender_.reinits()) std::printf("  host link set up again: %u times\n", sender_.reinits());
    std::fflush(stdout);
  }

  const FeedOptions& options_;
  FixSender sender_;
  Pacer pacer_;
  NmeaStream nmea_;
  GpsdReports gpsd_;
  GpxTrack track_;  // writes nothing unless opened (--track)
  bool source_live_ = false;
  bool progress_ = false;
  ULONGLONG last_progress_ = 0;
  std::string last_time_;
  uint32_t connections_ = 0;
  uint64_t fixes_found_ = 0;  // by the readers, sent or not
  uint32_t ended_ = 0;
};

}  // namespace
}  // namespace orvek::feed

int main() {
  using namespace orvek::feed;
  // Plain line feeds, as the client writes and a Unix pipe expects.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // UTF-8, as the client reads its command line.
  std::vector<std::string> args = orvek::tools::utf8_command_line();
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kFeedUsage, stdout);
      return kExitDelivered;
    }
    if (arg == "--version" || arg == "-V") {
      std::printf("orvek-feed %s, OrvekPORT interface %u\n", ORVEK_FEED_VERSION,
                  static_cast<unsigned>(OrvekGPSPort_Version()));
      return kExitDelivered;
    }
  }
  std::string error;
  std::optional<FeedOptions> options = parse_feed_options(args, &error);
  if (!options) {
    std::fprintf(stderr, "orvek-feed: %s\n%s", error.c_str(), kFeedUsage);
    return kExitUsage;
  }
  // A manual-reset event that Ctrl-C sets; it lives as long as the process.
  orvek::tools::ObjectHandle stop_event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_stop_event = stop_event.get();
  if (!stop_event) {
    std::fprintf(stderr, "orvek-feed: %s\n", orvek::tools::error_text(GetLastError(), orvek::tools::ErrorForm::kNumberParentheses).c_str());
    return kExitUsage;
  }
  SetConsoleCtrlHandler(on_console_control, TRUE);
  treat_sigterm_as_interrupt();
  if (options->duration_ms != 0) g_deadline = GetTickCount64() + options->duration_ms;
  return Feed(*options).run();
}
