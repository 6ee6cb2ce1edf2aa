// A scripted host application on the fake platform: it owns a window of the
// host class, reads each request line from the request file when the packet
// message arrives, and answers as the test says, when the test says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostlink/host_link_state.h"
#include "platform/fake/fake_platform.h"

namespace orvek::testing {

// Handles still open besides the reply event and the exchange lock, which
// live for ever.
inline std::size_t LeakedHandles(const platform::fake::FakePlatform& os) {
  auto kept = [](platform::Handle handle) {
    return handle != platform::kNullHandle ? 1u : 0u;
  };
  return os.open_handle_count() - kept(hostlink::ReplyEvent) -
         kept(hostlink::ExchangeLock.load());
}

class FakeHost {
 public:
  // Installs the host at `directory`: its directory exists and the registry
  // names `directory`\orvek.exe. The window exists only once start() ran.
  explicit FakeHost(platform::fake::FakePlatform& os,
                    std::u16string directory = u"C:\\Orvek");

  // Shows the host window `after_ms` from now.
  void start(std::uint64_t after_ms = 0);
  // Makes the shell start the host, its window appearing `after_ms` later.
  void launch_on_shell_open(std::uint64_t after_ms);
  // The host exits: its window is gone and nobody answers.
  void exit();

  // The answer to each request line (line feed included). By default a
  // command gets "A\n" and a query "G|\n".
  std::function<std::string(const std::string& line)> answer;
  // Every later request gets exactly these bytes.
  void answer_always(std::string bytes);

  // Faults. Like the real host, it serves one request at a time: a message
  // that arrives while an answer is delayed waits, and its request file is
  // read only when its turn comes. While an answer is delayed its thread is
  // busy and takes no message sent to it either, unless it answers from a
  // timer (`pumps_while_delayed`), as the emulator's `delay` does.
  std::uint32_t reply_delay_ms = 0;  // answer this long after the read
  bool pumps_while_delayed = false;
  bool write_reply = true;           // false: the reply file is not written
  bool signal = true;                // false: the event is never set
  bool hold_reply_open = false;      // the reply file stays open, unshared

  std::vector<std::string> requests;  // every request line, as read
  int moving_map_inits = 0;
  platform::Handle window = platform::kNullHandle;

  const std::u16string& directory() const { return directory_; }
  std::u16string executable() const { return directory_ + u"\\orvek.exe"; }
  std::u16string request_path() const { return directory_ + u"\\PACKETTX.DAT"; }
  std::u16string reply_path() const { return directory_ + u"\\PACKETRX.DAT"; }

 private:
  void on_post(const platform::fake::PostedMessage& message);
  void serve();
  std::uint64_t busy_until_ms_ = 0;
  // Counts the host's lives: what a host scheduled dies with it.
  int life_ = 0;

  platform::fake::FakePlatform& os_;
  std::u16string directory_;
};

}  // namespace orvek::testing
