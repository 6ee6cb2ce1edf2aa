#include "feed_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

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
    "      3 the source could not be read at all\n";

std::optional<FeedOptions> parse_feed_options(const std::vector<std::string>& args,
                                              std::string* error) {
  FeedOptions options;
  bool have_source = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_ended && arg == "--") {
      options_ended = true;
      continue;
    }
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string text;
    uint64_t number = 0;
    // After "--" even a name that begins with "-" is the source.
    if (options_ended || arg.empty() || arg[0] != '-' || arg == "-") {
      if (have_source) {
        *error = "one source only";
        return std::nullopt;
      }
      have_source = true;
      options.source = arg;
    } else if (arg == "--fast") {
      options.speed = 0;
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--speed") {
      if (!value(&text)) return std::nullopt;
      char* end = nullptr;
      double speed = std::strtod(text.c_str(), &end);
      if (end != text.c_str() + text.size() || !(speed > 0) || !std::isfinite(speed)) {
        *error = "--speed needs a number above 0";
        return std::nullopt;
      }
      options.speed = speed;
    } else if (arg == "--baud") {
      if (!value(&text)) return std::nullopt;
      if (!to_uint(text, 4000000, &number) || number == 0) {
        *error = "--baud needs a rate";
        return std::nullopt;
      }
      options.baud = static_cast<uint32_t>(number);
    } else if (arg == "--name") {
      if (!value(&options.name)) return std::nullopt;
      if (options.name.size() > kMaxNameLength ||
          options.name.find_first_of(",*$\r\n") != std::string::npos) {
        *error = "--name takes at most 40 characters and no , * $ or line end";
        return std::nullopt;
      }
    } else if (arg == "--track") {
      if (!value(&options.track_path)) return std::nullopt;
    } else if (arg == "--idle-timeout") {
      if (!value(&text)) return std::nullopt;
      if (!to_uint(text, 3600, &number) || number == 0) {
        *error = "--idle-timeout needs 1 to 3600 seconds";
        return std::nullopt;
      }
      options.idle_timeout_ms = static_cast<uint32_t>(number * 1000);
    } else if (arg == "--max-connects") {
      if (!value(&text)) return std::nullopt;
      if (!to_uint(text, 1000000, &number)) {
        *error = "--max-connects needs a count";
        return std::nullopt;
      }
      options.max_connects = static_cast<uint32_t>(number);
    } else if (arg == "--count") {
      if (!value(&text)) return std::nullopt;
      if (!to_uint(text, UINT64_MAX, &number) || number == 0) {
        *error = "--count needs a number of fixes above 0";
        return std::nullopt;
      }
      options.max_fixes = number;
    } else if (arg == "--duration") {
      if (!value(&text)) return std::nullopt;
      if (!to_uint(text, 1000000, &number) || number == 0) {
        *error = "--duration needs whole seconds above 0";
        return std::nullopt;
      }
      options.duration_ms = static_cast<uint32_t>(number * 1000);
    } else {
      *error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (!have_source) {
    *error = "no source";
    return std::nullopt;
  }
  const std::string& s = options.source;
  if (s.rfind("tcp://", 0) == 0) {
    options.kind = SourceKind::kTcp;
    if (!split_host_port(s.substr(6), 0, &options.host, &options.port)) {
      *error = "tcp:// needs HOST:PORT";
      return std::nullopt;
    }
  } else if (s.rfind("gpsd://", 0) == 0) {
    options.kind = SourceKind::kGpsd;
    if (!split_host_port(s.substr(7), kGpsdDefaultPort, &options.host, &options.port)) {
      *error = "gpsd:// needs HOST[:PORT]";
      return std::nullopt;
    }
  } else if (is_com_port(s)) {
    options.kind = SourceKind::kSerial;
  } else {
    options.kind = SourceKind::kLogFile;
  }
  return options;
}

}  // namespace orvek::feed
