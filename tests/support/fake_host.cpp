#include "tests/support/fake_host.h"

#include <algorithm>

namespace orvek::testing {
namespace {

// The host's side of the contract, written out here rather than taken from
// the library's own constants, so that a wrong number in the library makes
// this host deaf to it and the tests fail.
constexpr char16_t kRegistryKey[] = u"SOFTWARE\\OrvekGPS\\General";
constexpr char16_t kPathValue[] = u"Path_EXE";
constexpr char16_t kWindowClass[] = u"ORVEKPOCKETMAINW";
constexpr char16_t kEventName[] = u"EventOrvekAPI";
constexpr std::uint32_t kRequestMessage = 0x4522;
constexpr std::uintptr_t kPacketWparam = 15;
constexpr std::uintptr_t kMovingMapInitWparam = 2;

}  // namespace

FakeHost::FakeHost(platform::fake::FakePlatform& os, std::u16string directory)
    : os_(os), directory_(std::move(directory)) {
  os_.add_directory(directory_);
  os_.set_file(executable(), "MZ");
  os_.set_registry_string(kRegistryKey, kPathValue, executable());
  os_.on_post = [this](const platform::fake::PostedMessage& message) {
    on_post(message);
  };
  os_.window_free_at = [this](platform::Handle asked) {
    bool busy = asked == window && !pumps_while_delayed;
    return busy ? std::max(busy_until_ms_, os_.now_ms()) : os_.now_ms();
  };
  answer = [](const std::string& line) -> std::string {
    return line.rfind("F|", 0) == 0 ? "G|\n" : "A\n";
  };
}

void FakeHost::start(std::uint64_t after_ms) {
  // One host at a time: a second start replaces the first.
  if (window != platform::kNullHandle) os_.remove_window(window);
  window = os_.add_window(kWindowClass, os_.now_ms() + after_ms);
}

void FakeHost::launch_on_shell_open(std::uint64_t after_ms) {
  os_.on_shell_open = [this, after_ms](const std::u16string& path) {
    if (path != executable()) return false;
    start(after_ms);
    return true;
  };
}

void FakeHost::exit() {
  os_.remove_window(window);
  window = platform::kNullHandle;
  ++life_;
  busy_until_ms_ = 0;
}

void FakeHost::answer_always(std::string bytes) {
  answer = [bytes](const std::string&) { return bytes; };
}

void FakeHost::on_post(const platform::fake::PostedMessage& message) {
  if (message.window != window || message.message != kRequestMessage) return;
  if (message.wparam == kMovingMapInitWparam) {
    ++moving_map_inits;
    return;
  }
  if (message.wparam != kPacketWparam) return;
  std::uint64_t turn = std::max(os_.now_ms(), busy_until_ms_);
  busy_until_ms_ = turn + reply_delay_ms;
  if (turn == os_.now_ms())
    serve();
  else
    os_.at(turn, [this, life = life_] {
      if (life == life_) serve();
    });
}

// Reads the request as it stands now and answers after reply_delay_ms:
// reply file first, then the signal.
void FakeHost::serve() {
  std::string line = os_.file(request_path()).value_or("");
  requests.push_back(line);
  auto deliver = [this, reply = answer(line), write = write_reply,
                  hold = hold_reply_open, set = signal, life = life_] {
    if (life != life_) return;
    if (write) os_.set_file(reply_path(), reply);
    if (hold) os_.hold_file(reply_path());
    if (set) os_.signal_event(kEventName);
  };
  if (reply_delay_ms == 0)
    deliver();
  else
    os_.at(os_.now_ms() + reply_delay_ms, deliver);
}

}  // namespace orvek::testing
