// The fake keeps the platform's promises (the same contract runs against
// the Win32 backend under Wine); its virtual clock is pinned by the
// exchange tests' timings.
#include "platform/fake/fake_platform.h"
#include "tests/support/platform_contract.h"

namespace orvek {
namespace {

using platform::fake::FakePlatform;

TEST(FakePlatformTest, KeepsThePlatformContract) {
  FakePlatform os;
  os.add_directory(u"C:\\Contract");
  platform::Handle answering = os.add_window(u"Answering");
  platform::Handle busy = os.add_window(u"Busy");
  os.window_free_at = [&](platform::Handle window) {
    return window == busy ? UINT64_MAX : os.now_ms();
  };
  testing::ContractWorld world{
      os,
      u"C:\\Contract",
      [&](const std::u16string& path) { os.hold_file(path); },
      [&] { os.release_file(u"C:\\Contract\\contract.dat"); },
      [&](const std::u16string& name) { os.signal_event(name); },
      u"ContractEvent",
      [&](const std::u16string& name, bool die_holding) {
        if (die_holding)
          os.abandon_mutex(name);
        else
          os.hold_mutex(name);
      },
      [&] { os.hold_mutex(u"ContractEvent.lock", 0); },
      [&](std::uint32_t ms) { os.advance_ms(ms); },
      answering,
      busy};
  testing::RunPlatformContract(world);
  EXPECT_EQ(os.open_handle_count(), 0u);
}

}  // namespace
}  // namespace orvek
