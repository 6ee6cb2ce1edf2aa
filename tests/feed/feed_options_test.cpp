// The feed's command line: which source a text names, and what is refused.
#include <gtest/gtest.h>

#include "feed_options.h"

namespace orvek::feed {
namespace {

struct OptionsCase {
  std::vector<std::string> args;
  bool ok;
  SourceKind kind;
  const char* host;
  uint16_t port;
};

TEST(FeedOptions, SourcesAndRefusals) {
  const OptionsCase cases[] = {
      {{"logs/garmin15x.log"}, true, SourceKind::kLogFile, "", 0},
      {{"com5"}, true, SourceKind::kSerial, "", 0},
      {{"COM255", "--baud", "9600"}, true, SourceKind::kSerial, "", 0},
      // Not a port: a file that happens to start with COM.
      {{"COM5.log"}, true, SourceKind::kLogFile, "", 0},
      {{"COM0"}, true, SourceKind::kLogFile, "", 0},
      {{"tcp://127.0.0.1:10110"}, true, SourceKind::kTcp, "127.0.0.1", 10110},
      {{"gpsd://localhost"}, true, SourceKind::kGpsd, "localhost", 2947},
      {{"gpsd://127.0.0.1:29470"}, true, SourceKind::kGpsd, "127.0.0.1", 29470},
      {{"tcp://127.0.0.1"}, false, SourceKind::kTcp, "", 0},
      {{"tcp://:10110"}, false, SourceKind::kTcp, "", 0},
      {{"gpsd://host:70000"}, false, SourceKind::kGpsd, "", 0},
      {{"gpsd://host:0"}, false, SourceKind::kGpsd, "", 0},
      {{}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "b.log"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--speed", "0"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--speed", "nan"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--speed"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--name", "A,B"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--name", "A*"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--name", std::string(41, 'N')}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--idle-timeout", "0"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--frobnicate"}, false, SourceKind::kLogFile, "", 0},
      {{"-V"}, false, SourceKind::kLogFile, "", 0},
      // After "--" a name that looks like an option is the source.
      {{"--fast", "--", "-V"}, true, SourceKind::kLogFile, "", 0},
      {{"a.log", "--count", "0"}, false, SourceKind::kLogFile, "", 0},
      {{"a.log", "--duration", "1.5"}, false, SourceKind::kLogFile, "", 0},
      {{"--loop", "--count", "3", "--duration", "60", "a.log"}, true,
       SourceKind::kLogFile, "", 0},
  };
  for (const OptionsCase& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    std::string error;
    auto options = parse_feed_options(c.args, &error);
    ASSERT_EQ(options.has_value(), c.ok) << error;
    if (!options) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(options->kind, c.kind);
    EXPECT_EQ(options->host, c.host);
    EXPECT_EQ(options->port, c.port);
  }
}

}  // namespace
}  // namespace orvek::feed
