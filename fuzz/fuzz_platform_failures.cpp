// Platform calls failing once, several times or for good during random
// exports, with a host that answers late or not at all: every call returns
// with nothing left open and the lock free, and once the platform and the
// host behave again, Init brings the link back and a query gets its answer.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "api/moving_map.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "fuzz/fuzz_world.h"
#include "hostlink/envelopes.h"

using namespace orvek;
using platform::fake::Op;

namespace {

// Every call the link makes, but ReleaseMutex: a lock that can't be let go
// stays with its thread whatever the library does.
constexpr Op kOps[] = {
    Op::RegOpenKey, Op::RegQueryValue, Op::FindWindow,   Op::ShellOpen,
    Op::PostMessage, Op::CreateFile,   Op::WriteFile,    Op::ReadFile,
    Op::FileAttributes, Op::CreateEvent, Op::ResetEvent, Op::Wait,
    Op::FileWriteTime, Op::CreateMutex, Op::WindowOwner, Op::SendNullMessage,
    Op::WideToAnsi, Op::AnsiToWide,
};

// `own_answers`: a query that returns 0 must carry its own answer. Only a
// failed wait for the reply (or an event that can't be made) may break
// that: the exchange then reads the reply file as it stands.
void CallAnExport(platform::Platform& os, int which, bool own_answers) {
  char text[64], text2[64];
  double v1, v2, v3;
  std::int32_t count;
  char16_t wide[32];
  switch (which) {
    case 0: hostlink::Init(os); break;
    case 1:
      if (hostlink::GetString(os, "0", 20, text) == 0 && own_answers)
        fuzz::Check(std::string(text) == "F|0\n", "an answer not the query's own");
      break;
    case 2: api::NewPoint(os, 2.5, 41.5, 10, "A", "B", 1, 2); break;
    case 3: api::GetMovingMapPosition(os, 0, text, &v1, &v2, &v3, 64, text2); break;
    case 4: api::GetWaypointCount(os, &count); break;
    case 5: hostlink::StringProtocolW(os, u"raw", 32, wide); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  fuzz::LinkWorld world;
  // The host names each request in its answer: "G|F|0\n", "A|E|...".
  world.host.answer = [](const std::string& line) {
    return (line.rfind("F|", 0) == 0 ? "G|" : "A|") + line;
  };
  world.host.launch_on_shell_open(in.ConsumeIntegralInRange(0, 12000));

  // A host that takes messages while its answer is delayed, or one that
  // is busy then.
  world.host.pumps_while_delayed = in.ConsumeBool();
  // A scripted failure stays until it has fired, maybe in a later round.
  bool waits_may_fail = false;
  for (int round = in.ConsumeIntegralInRange(1, 8); round > 0; --round) {
    Op op = kOps[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kOps) - 1)];
    world.os.fail(op, in.ConsumeIntegralInRange(0, 3), in.ConsumeIntegralInRange(-1, 3));
    // A host that answers from its message loop does so within the time
    // the library waits for a late answer, as the header assumes.
    world.host.reply_delay_ms =
        in.ConsumeBool()
            ? in.ConsumeIntegralInRange(0, world.host.pumps_while_delayed ? 6000 : 9000)
            : 0;
    world.host.signal = in.ConsumeIntegralInRange(0, 7) != 0;
    if (in.ConsumeIntegralInRange(0, 7) == 0) world.host.exit();
    waits_may_fail |= op == Op::Wait || op == Op::CreateEvent;
    CallAnExport(world.os, in.ConsumeIntegralInRange(0, 5), !waits_may_fail);
    world.CheckNothingHeld();
  }

  for (Op op : kOps) world.os.fail(op, 0, 0);
  world.host.reply_delay_ms = 0;
  world.host.signal = true;
  // Every late answer has come by now, even behind a backlog of requests
  // that a busy host had queued.
  world.os.advance_ms(200000);
  // An answer that the host never signalled stays owed while its window
  // lives: its user restarts the host, and the link must come back then.
  std::string record =
      world.os.file(world.host.directory() + u"\\OrvekPORT.link").value_or("");
  if (!record.empty() && record[0] != 0) world.host.exit();
  if (world.host.window == platform::kNullHandle) world.host.start();
  world.os.clear_calls();
  StatusCode status = hostlink::Init(world.os);
  if (status != 0) {
    std::fprintf(stderr, "Init: %u\n%s", status, world.os.describe_calls().c_str());
    fuzz::Fail("Init does not bring the link back");
  }
  char result[32];
  fuzz::Check(hostlink::GetString(world.os, "0", sizeof result, result) == 0,
              "the link fails after recovery");
  fuzz::Check(std::string(result) == "F|0\n", "the answer is not the query's own");
  world.CheckNothingHeld();
  return 0;
}
