// Any texts and any doubles through every export that builds a request:
// each line that reaches the host has at most 199 bytes and ends in a line
// feed, a position sentence carries its right checksum, and a call refused
// with 11 or 12 sends nothing at all.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <string>

#include "api/map_commands.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "fuzz/fuzz_world.h"
#include "hostlink/envelopes.h"
#include "protocol/host_protocol.h"

using namespace orvek;

namespace {

// A caller's text: exactly its bytes and a NUL on the heap, or null.
struct Text {
  explicit Text(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange(0, 15) == 0) return;
    std::string bytes = in.ConsumeRandomLengthString(260);
    block = fuzz::Exact<char>(bytes.size() + 1);
    std::memcpy(block.get(), bytes.c_str(), bytes.size() + 1);
  }
  const char* get() const { return block.get(); }
  std::unique_ptr<char[]> block;
};

double AnyDouble(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>())
                          : in.ConsumeFloatingPointInRange(-1e6, 1e6);
}

// "$AAGGAM,...*CS\r\n": the XOR of the bytes between "$" and "*".
void CheckSentence(const std::string& line) {
  std::size_t star = line.rfind('*');
  fuzz::Check(line.rfind("E|$", 0) == 0 && star != std::string::npos &&
                  star + 5 == line.size(),
              "sentence framing");
  std::uint8_t sum = 0;
  for (std::size_t i = 3; i < star; ++i) sum ^= static_cast<std::uint8_t>(line[i]);
  char expected[3];
  std::snprintf(expected, sizeof expected, "%02X", sum);
  fuzz::Check(line.compare(star + 1, 2, expected) == 0, "sentence checksum");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  fuzz::LinkWorld world;
  platform::Platform& os = world.os;
  int which = in.ConsumeIntegralInRange(0, 11);
  Text a(in), b(in), c(in);
  double x = AnyDouble(in), y = AnyDouble(in), z = AnyDouble(in);
  std::int32_t n = in.ConsumeIntegral<std::int32_t>();

  StatusCode status = 0;
  switch (which) {
    case 0: status = api::NewPoint(os, x, y, z, a.get(), b.get(), AnyDouble(in), n); break;
    case 1: status = api::NewWaypoint(os, a.get(), b.get(), x, y, z, c.get()); break;
    case 2: status = api::DeleteWaypoint(os, a.get()); break;
    case 3: status = api::OpenFile(os, a.get()); break;
    case 4: status = api::DeleteMobile(os, a.get()); break;
    case 5: status = api::ExportViewFile(os, a.get()); break;
    case 6: status = api::ExecCommand(os, n); break;
    case 7: status = api::SetViewportLen(os, n, in.ConsumeIntegral<std::int32_t>()); break;
    case 8: status = api::CenterWaypoint(os, a.get(), x); break;
    case 9: status = api::CenterCoordinate(os, x, y, z); break;
    case 10: {
      char result[64];
      status = hostlink::GetString(os, a.get() ? a.get() : "", 64, result);
      break;
    }
    case 11: {
      std::u16string wide;
      for (char byte : std::string(a.get() ? a.get() : ""))
        wide += static_cast<char16_t>(static_cast<unsigned char>(byte) * 257);
      char16_t result[16];
      status = hostlink::StringProtocolW(os, wide.c_str(), 16, result);
      break;
    }
  }

  if (status == ORVEKPORT_E_TOO_LONG || status == ORVEKPORT_E_INVALID_ARGUMENT) {
    fuzz::Check(world.host.requests.empty(), "a refused request was sent");
    fuzz::Check(world.os.count(platform::fake::Op::CreateFile) == 0,
                "a refused request touched a file");
  } else {
    fuzz::Check(world.host.requests.size() == 1, "one request per call");
  }
  for (const std::string& line : world.host.requests) {
    fuzz::Check(line.size() <= protocol::kMaxRequestLine, "line over 199 bytes");
    fuzz::Check(!line.empty() && line.back() == '\n', "line without its line feed");
    if (which == 0) CheckSentence(line.substr(0, line.size() - 1));
  }
  world.CheckNothingHeld();
  return 0;
}
