// The grammar of the emulator's log, orvek-host.log: the one place that
// says how a line is made and read. The emulator writes with it; the tools
// and the Wine tests read with it. Scripts read through host_log.py beside
// this file, which follows the same grammar. Plain C++.
//
//   14:02:31.207 start pid 32 in Z:\...\run\LateAnswer
//   14:02:31.301 recv F|0\n
//   14:02:31.301 stall 3500 ms
//   14:02:31.302 send G|orvek-host 3
//   14:02:31.302 signal
//
// A line is the time (hh:mm:ss.mmm), a blank, a one-word event and, when
// there is one, a blank and its detail. Request and reply bytes are escaped
// (byte_text.h), so every line is printable ASCII; "send" always has its
// blank, so an empty reply logs as "send ".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvek::host {

// The emulator's files beside its executable: the log, the faults it reads
// before each request, the mobiles it starts with.
inline constexpr char kLogFileName[] = "orvek-host.log";
inline constexpr char kFaultFileName[] = "orvek-host.faults";
inline constexpr char kMobileSeedFileName[] = "orvek-host.mobiles";

}  // namespace orvek::host

namespace orvek::host::log_event {

inline constexpr std::string_view kStart = "start";  // pid N in DIRECTORY
inline constexpr std::string_view kStop = "stop";    // pid N
inline constexpr std::string_view kReady = "ready";
inline constexpr std::string_view kRefused = "refused";  // pid N: why
inline constexpr std::string_view kSeed = "seed";        // N mobiles
inline constexpr std::string_view kSeedError = "seed-error";
inline constexpr std::string_view kRecv = "recv";  // the request's bytes
inline constexpr std::string_view kFault = "fault";
inline constexpr std::string_view kFaultError = "fault-error";
inline constexpr std::string_view kDelay = "delay";  // N ms
inline constexpr std::string_view kStall = "stall";  // N ms
inline constexpr std::string_view kSend = "send";    // the reply's bytes
inline constexpr std::string_view kNoReply = "noreply";
inline constexpr std::string_view kSignal = "signal";
inline constexpr std::string_view kNoSignal = "nosignal";
inline constexpr std::string_view kRelease = "release";
inline constexpr std::string_view kMovingMapInit = "mmap-init";  // count
inline constexpr std::string_view kIgnored = "ignored";
inline constexpr std::string_view kError = "error";

}  // namespace orvek::host::log_event

namespace orvek::host {

// One line read back.
struct LogLine {
  std::string_view time;    // "14:02:31.207"
  std::string_view event;   // "recv"
  std::string_view detail;  // "F|0\n", escaped as written; may be empty
  // The line without its time: "recv F|0\n".
  std::string_view untimed;
};

// The line (without its line feed) split into its parts, or nothing when
// it is not a log line.
inline std::optional<LogLine> read_log_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos || blank == 0) return std::nullopt;
  LogLine read;
  read.time = line.substr(0, blank);
  read.untimed = line.substr(blank + 1);
  std::size_t after_event = read.untimed.find(' ');
  read.event = read.untimed.substr(0, after_event);
  if (read.event.empty()) return std::nullopt;
  if (after_event != std::string_view::npos)
    read.detail = read.untimed.substr(after_event + 1);
  return read;
}

// The line of `event` with `detail` at `time`, line feed included. The
// blank before the detail is written when there is a detail, or always
// when `blank_always` (the bytes of an empty reply).
inline std::string log_line(std::string_view time, std::string_view event,
                            std::string_view detail, bool blank_always) {
  std::string line(time);
  line += ' ';
  line += event;
  if (blank_always || !detail.empty()) line += ' ';
  line += detail;
  line += '\n';
  return line;
}

// The process of a start, stop or refused line, "pid 32", and the whole
// detail of a start line, "pid 32 in C:\orvek-host".
inline std::string pid_detail(std::uint32_t pid) {
  return "pid " + std::to_string(pid);
}
inline std::string start_detail(std::uint32_t pid, std::string_view directory) {
  return pid_detail(pid) + " in " + std::string(directory);
}
// The details of delay and stall: "3500 ms".
inline std::string duration_detail(std::uint32_t ms) {
  return std::to_string(ms) + " ms";
}

}  // namespace orvek::host
