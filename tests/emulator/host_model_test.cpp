// The emulator's answers, fault file and log grammar, natively: every
// integration test under Wine trusts them, so their rules are pinned here,
// each case a request line and the reply the host must give.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "byte_text.h"
#include "faults.h"
#include "host_model.h"
#include "tools/common/host_log_format.h"

namespace orvek::host {
namespace {

// The library's request of -3.5, 40.25, 650 m, "A", "B", 1.5, 2: the
// sentence ends in CR LF, the request line in its own line feed.
constexpr char kFix[] =
    "E|$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64\r\n\n";

struct Step {
  const char* request;  // the request file's content
  const char* reply;
};

// Runs `steps` in order on one model, each reply checked with its step.
void run(HostModel& model, const std::vector<Step>& steps) {
  for (const Step& step : steps)
    EXPECT_EQ(model.answer(step.request), step.reply) << step.request;
}

TEST(HostModel, AnswersCommandsAndQueriesByTheirLetter) {
  HostModel model;
  run(model, {
      {"F|0\n", "G|orvek-host 3"},
      // Waypoints: the description is everything between the id and the
      // three numbers, commas included; an id again replaces.
      {"M|WP1,Gate, north,2.500000,41.000000,12.000000,flag\n", "A|created"},
      {"M|WP2,,1,2,3,\n", "A|created"},
      {"M|WP1,Gate 3,2.5,41,12,anchor\n", "A|replaced"},
      {"F|4\n", "G|2"},
      {"F|2,0\n", "G|WP1,Gate 3,2.500000,41.000000,12.000000,anchor"},
      {"F|2,2\n", "E|no waypoint 2"},
      {"F|2,-1\n", "E|no waypoint -1"},
      {"F|2,x\n", "E|bad index"},
      {"M|WP3,x,2.5x,41,12,i\n", "E|three numbers expected before the icon"},
      {"M|WP3,41,12,i\n", "E|six fields expected"},
      {"N|WP2\n", "A|deleted"},
      {"N|WP2\n", "E|no waypoint WP2"},
      // The view.
      {"L|WP1,2.500000\n", "A|centred"},
      {"F|centre\n", "G|L|WP1,2.500000"},
      {"L|NOPE,2\n", "E|no waypoint NOPE"},
      {"O|2.1,41.5,0\n", "A|centred"},
      {"O|2.1,41.5\n", "E|three numbers expected"},
      {"K|320,-240\n", "A|viewport"},
      {"K|320\n", "E|two lengths expected"},
      {"I|-1\n", "A|executed"},
      {"I|1.5\n", "E|command number expected"},
      {"D|\n", "E|empty file name"},
      {"D|\\maps\\a b.map\n", "A|opened"},
      {"F|opened\n", "G|\\maps\\a b.map"},
      // A fix moves the mobile its field 17 names, described by field 18.
      {kFix, "A|fix 1"},
      {"F|2\n", "G|1"},
      {"F|3,0\n", "G|40.250000,-3.500000,650.000000,A,B"},
      {"F|lastfix\n",
       "G|$AAGGAM,,4015.000,N,330.000,W,1,5,0,650,m,,,,,,,A,B,1.500000,2*64"},
      {"E|$AAGGAM,,4015.000,N,330.000,W*00\r\n\n", "E|bad checksum, expected 09"},
      {"E|$AAGGAM,,4015.000,N,330.000,W*09\n", "E|no *checksum and CR LF at the end"},
      {"F|fixes\n", "G|1"},
      {"H|A\n", "A|deleted"},
      {"H|A\n", "E|no mobile A"},
      {"F|3,0\n", "E|no mobile 0"},
      // Anything else is a raw request, echoed byte for byte.
      {"Gr\xFC\xDF" "e\n", "R|Gr\xFC\xDF" "e"},
      {"Z|1\n", "R|Z|1"},
      {"\n", "R|"},
      {"F|nope\n", "E|unknown query nope"},
  });
}

TEST(HostModel, SeedsMobilesAndNamesTheLinesItCantRead) {
  HostModel model;
  std::vector<std::string> problems = model.seed_mobiles(
      "# latitude,longitude,altitude,name,description\r\n"
      "48.5,2.25,35,truck,red, big\r\n"
      "\n"
      "48.5,x,35,car,blue\n"
      "1,2,3,,no name\n"
      "1,2,3,bike,\n");
  EXPECT_EQ(problems, (std::vector<std::string>{"line 4: 48.5,x,35,car,blue",
                                                "line 5: 1,2,3,,no name"}));
  run(model, {{"F|2\n", "G|2"},
              {"F|3,0\n", "G|48.500000,2.250000,35.000000,truck,red, big"},
              {"F|3,1\n", "G|1.000000,2.000000,3.000000,bike,"}});
}

TEST(FaultFile, AppliesMatchingLinesAndUsesUpOnceLines) {
  const char file[] =
      "# comment\n"
      "once when=F|3, delay 3500\r\n"
      "when=M| reply E|no\\x20room\\n\n"
      "no-signal\n"
      "once stall 200\n"
      "hold-reply 1x\n"
      "bogus 1\n";
  FaultReading query = read_faults(file, "F|3,0\n");
  EXPECT_EQ(query.plan.delay_ms, 3500u);
  EXPECT_TRUE(query.plan.no_signal);
  EXPECT_EQ(query.plan.stall_ms, 200u);
  EXPECT_FALSE(query.plan.reply);
  EXPECT_EQ(query.applied, (std::vector<std::string>{
                               "once when=F|3, delay 3500", "no-signal",
                               "once stall 200"}));
  ASSERT_EQ(query.errors.size(), 2u);
  EXPECT_EQ(query.errors[0],
            "line 6 (hold-reply 1x): expects a number of milliseconds");
  EXPECT_EQ(query.errors[1], "line 7 (bogus 1): unknown action");
  // The once lines that applied go; the rest stays as it was, CR and all.
  ASSERT_TRUE(query.consumed_once);
  EXPECT_EQ(query.remaining,
            "# comment\n"
            "when=M| reply E|no\\x20room\\n\n"
            "no-signal\n"
            "hold-reply 1x\n"
            "bogus 1\n");

  FaultReading command = read_faults(file, "M|WP1,x,1,2,3,i\n");
  EXPECT_EQ(command.plan.reply, "E|no room\n");
  EXPECT_EQ(command.plan.delay_ms, 0u);  // its when= does not match

  FaultReading empty = read_faults("reply\nreply-hex 47 7C 0a\n", "F|0\n");
  EXPECT_EQ(empty.plan.reply, "G|\n");  // the later line wins
  EXPECT_FALSE(read_faults("reply-hex 4\n", "").plan.reply);
  EXPECT_FALSE(read_faults("once\n", "").errors.empty());
}

TEST(ByteText, EscapesEveryByteToPrintableTextAndBack) {
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) every_byte += static_cast<char>(byte);
  std::string text = escape_bytes(every_byte);
  for (char c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << text;
  EXPECT_EQ(unescape_bytes(text), every_byte);
  EXPECT_EQ(escape_bytes("F|0\n\\\t\xE9"), "F|0\\n\\\\\\t\\xE9");
  for (const char* bad : {"\\", "\\q", "\\x4", "\\xZZ"})
    EXPECT_FALSE(unescape_bytes(bad)) << bad;
}

TEST(HostLogFormat, LinesReadBackAsTheyWereWritten) {
  // Event, detail, whether the blank is written without a detail, the line.
  const std::tuple<const char*, const char*, bool, const char*> cases[] = {
      {"recv", "F|0\\n", true, "14:02:31.207 recv F|0\\n\n"},
      {"send", "", true, "14:02:31.207 send \n"},  // an empty reply
      {"signal", "", false, "14:02:31.207 signal\n"},
      {"start", "pid 32 in C:\\h w", false, "14:02:31.207 start pid 32 in C:\\h w\n"},
  };
  for (const auto& [event, detail, blank, line] : cases) {
    EXPECT_EQ(log_line("14:02:31.207", event, detail, blank), line);
    std::optional<LogLine> read = read_log_line(std::string_view(line).substr(0, std::strlen(line) - 1));
    ASSERT_TRUE(read) << line;
    EXPECT_EQ(read->time, "14:02:31.207");
    EXPECT_EQ(read->event, event);
    EXPECT_EQ(read->detail, detail);
  }
  EXPECT_FALSE(read_log_line(""));
  EXPECT_FALSE(read_log_line("14:02:31.207"));
}

}  // namespace
}  // namespace orvek::host
