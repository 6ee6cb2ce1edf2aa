// Any reply bytes, any capacity, through every export that reads a reply:
// nothing is read or written past a caller's buffer, a result is always
// terminated inside it, and nothing stays open.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "api/moving_map.h"
#include "api/waypoints.h"
#include "fuzz/fuzz_world.h"
#include "hostlink/envelopes.h"

using namespace orvek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  int which = in.ConsumeIntegralInRange(0, 5);
  std::uint32_t capacity = in.ConsumeIntegralInRange<std::uint32_t>(0, 1100);
  std::int32_t index = in.ConsumeIntegral<std::int32_t>();
  fuzz::LinkWorld world;
  world.host.answer_always(in.ConsumeRemainingBytesAsString());
  platform::Platform& os = world.os;

  switch (which) {
    case 0: {
      auto result = fuzz::Exact<char>(capacity);
      if (hostlink::GetString(os, "4", capacity, result.get()) == 0)
        fuzz::Check(capacity >= 2 && memchr(result.get(), 0, capacity - 1),
                    "query result unterminated or too long");
      break;
    }
    case 1: {
      auto count = fuzz::Exact<std::int32_t>(1);
      api::GetWaypointCount(os, count.get());
      break;
    }
    case 2: {
      constexpr std::size_t kText = ORVEKPORT_WAYPOINT_TEXT_SIZE;
      auto id = fuzz::Exact<char>(kText), text = fuzz::Exact<char>(kText),
           icon = fuzz::Exact<char>(kText);
      auto values = fuzz::Exact<double>(3);
      if (api::GetWaypoint(os, index, id.get(), text.get(), &values[0],
                           &values[1], &values[2], icon.get()) == 0)
        fuzz::Check(memchr(icon.get(), 0, kText), "icon unterminated");
      break;
    }
    case 3:
      api::GetMovingMapCount(os);
      break;
    case 4: {
      auto text1 = fuzz::Exact<char>(capacity), text2 = fuzz::Exact<char>(capacity);
      auto values = fuzz::Exact<double>(3);
      if (api::GetMovingMapPosition(os, index, text1.get(), &values[0],
                                    &values[1], &values[2], capacity,
                                    text2.get()) == 0)
        fuzz::Check(memchr(text2.get(), 0, capacity), "text2 unterminated");
      break;
    }
    case 5: {
      auto result = fuzz::Exact<char16_t>(capacity);
      if (hostlink::StringProtocolW(os, u"x", static_cast<std::int32_t>(capacity),
                                    result.get()) == 0 &&
          capacity > 0)
        fuzz::Check(
            std::char_traits<char16_t>::find(result.get(), capacity, u'\0'),
            "raw reply unterminated");
      break;
    }
  }
  world.CheckNothingHeld();
  return 0;
}
