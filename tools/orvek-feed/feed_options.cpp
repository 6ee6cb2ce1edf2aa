#include "feed_options.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "tools/common/arguments.h"

namespace orvek::feed {
namespace {

constexpr uint16_t kGpsdDefaultPort = 2947;
// The name goes into the sentence as a field of its own and names the
// host's mobile: no field or checksum separators, and short enough that the
// sentence always fits its line.
constexpr std::size_t kMaxNameLength = 40;

bool to_uint(const std::string& text, uint64_t max, uint64_t* value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && error == std::errc{} &&
         end == text.data() + text.size() && *value <= max;
}

// "HOST:PORT" (PORT required unless a default is given).
bool split_host_port(const std::string& text, uint16_t default_port,
                     std::string* host, uint16_t* port) {
  std::size_t colon = text.rfind(':');
  uint64_t value = default_port;
  if (colon == std::string::npos) {
    *host = text;
  } else {
    *host = text.substr(0, colon);
    if (!to_uint(text.substr(colon + 1), 65535, &value)) return false;
  }
  *port = static_cast<uint16_t>(value);
  return !host->empty() && *port != 0;
}

bool is_com_port(const std::string& text) {
  if (text.size() < 4 || text.size() > 6) return false;
  if ((text[0] | 0x20) != 'c' || (text[1] | 0x20) != 'o' || (text[2] | 0x20) != 'm')
    return false;
  uint64_t number = 0;
  return to_uint(text.substr(3), 255, &number) && number > 0;
}

}  // namespace

const char kFeedUsage[] =
    "usage: orvek-feed [options] SOURCE\n"
    "Feeds position fixes to the host application, one per receiver epoch.\n"
    "SOURCE:\n"
    "  FILE              an NMEA log, replayed at the pace of its time stamps\n"
    "  COMn              a serial receiver\n"
    "  tcp://HOST:PORT   a raw NMEA stream\n"
    "  gpsd://HOST[:PORT] gpsd's JSON reports (port 2947 by default)\n"
    "options:\n"
    "  --speed N         replay N times faster\n"
    "  --fast            replay without pacing\n"
    "  --loop            replay again from the start at the end\n"
    "  --baud N          serial rate (4800)\n"
    "  --name TEXT       the fixes' first text, the host's mobile name (FEED)\n"
    "  --idle-timeout S  live: a stream silent S seconds counts as dropped (10)\n"
    "  --max-connects N  live: end after N connection attempts (never)\n"
    "  --count N         end after N fixes sent\n"
    "  --duration S      end after S seconds\n"
    "  --quiet           no progress line and no per-failure lines\n"
    "  --track FILE      write the fixes the host accepted as a GPX 1.1 track,\n"
    "                    a new segment after a failed fix or a dropped source;\n"
    "                    times carry the date of RMC or ZDA, else the run's\n"
    "                    own; the file is valid GPX at every moment\n"
    "  --version, -V     the feed's and the DLL's interface version\n"
    "The summary goes to stdout at the end, also on Ctrl-C (SIGINT) and\n"
    "SIGTERM. Options may stand anywhere before a \"--\".\n"
    "exit: 0 every fix delivered; 1 a fix failed; 2 bad command line;\n"
    "      3 the source could not be read at all; 4 it was read but held no\n"
    "      fix (no usable sentence, or no epoch with a position: stderr says)\n";

std::optional<FeedOptions> parse_feed_options(const std::vector<std::string>& args,
                                              std::string* error) {
  FeedOptions options;
  auto refuse = [&](const std::string& problem) {
    *error = problem;
    return std::nullopt;
  };
  // Only "--name" is an option to the tools' argument rules; a single dash
  // before "--" is none either, and no source ("-" alone is one).
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-')
      return refuse("unknown option " + arg);
  }
  tools::Arguments arguments(args);
  options.loop = arguments.take_flag("loop");
  options.quiet = arguments.take_flag("quiet");
  if (arguments.take_flag("fast")) options.speed = 0;
  const char* speed = arguments.take_option("speed");
  const char* baud = arguments.take_option("baud");
  const char* name = arguments.take_option("name");
  const char* track = arguments.take_option("track");
  const char* idle_timeout = arguments.take_option("idle-timeout");
  const char* max_connects = arguments.take_option("max-connects");
  const char* count = arguments.take_option("count");
  const char* duration = arguments.take_option("duration");
  if (!arguments.finish(0, SIZE_MAX)) return refuse(arguments.problem());
  if (arguments.size() == 0) return refuse("no source");
  if (arguments.size() > 1) return refuse("one source only");
  options.source = arguments[0];

  uint64_t number = 0;
  if (speed) {
    char* end = nullptr;
    double value = std::strtod(speed, &end);
    if (*end != '\0' || !(value > 0) || !std::isfinite(value))
      return refuse("--speed needs a number above 0");
    options.speed = value;
  }
  if (baud) {
    if (!to_uint(baud, 4000000, &number) || number == 0)
      return refuse("--baud needs a rate");
    options.baud = static_cast<uint32_t>(number);
  }
  if (name) {
    options.name = name;
    if (options.name.size() > kMaxNameLength ||
        options.name.find_first_of(",*$\r\n") != std::string::npos)
      return refuse("--name takes at most 40 characters and no , * $ or line end");
  }
  if (track) options.track_path = track;
  if (idle_timeout) {
    if (!to_uint(idle_timeout, 3600, &number) || number == 0)
      return refuse("--idle-timeout needs 1 to 3600 seconds");
    options.idle_timeout_ms = static_cast<uint32_t>(number * 1000);
  }
  if (max_connects) {
    if (!to_uint(max_connects, 1000000, &number))
      return refuse("--max-connects needs a count");
    options.max_connects = static_cast<uint32_t>(number);
  }
  if (count) {
    if (!to_uint(count, UINT64_MAX, &number) || number == 0)
      return refuse("--count needs a number of fixes above 0");
    options.max_fixes = number;
  }
  if (duration) {
    if (!to_uint(duration, 1000000, &number) || number == 0)
      return refuse("--duration needs whole seconds above 0");
    options.duration_ms = static_cast<uint32_t>(number * 1000);
  }
  const std::string& s = options.source;
  if (s.rfind("tcp://", 0) == 0) {
    options.kind = SourceKind::kTcp;
    if (!split_host_port(s.substr(6), 0, &options.host, &options.port)) {
      return refuse("tcp:// needs HOST:PORT");
    }
  } else if (s.rfind("gpsd://", 0) == 0) {
    options.kind = SourceKind::kGpsd;
    if (!split_host_port(s.substr(7), kGpsdDefaultPort, &options.host, &options.port)) {
      return refuse("gpsd:// needs HOST[:PORT]");
    }
  } else if (is_com_port(s)) {
    options.kind = SourceKind::kSerial;
  } else {
    options.kind = SourceKind::kLogFile;
  }
  return options;
}

}  // namespace orvek::feed
