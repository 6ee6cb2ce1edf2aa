// Finding and starting the host application, and the state it leaves.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostlink/envelopes.h"
#include "protocol/host_protocol.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Op;

using DiscoveryTest = testing::FakeHostTest;

std::u16string Directory() { return hostlink::HostDirectory; }

TEST_F(DiscoveryTest, MissingKeyGivesRegistryStatus) {
  platform::fake::FakePlatform bare;  // no key at all
  EXPECT_EQ(hostlink::Init(bare), ORVEKPORT_E_REGISTRY);
  EXPECT_EQ(bare.count(Op::RegQueryValue), 0u);
}

// Path_EXE holds at most 99 characters; the packet files live where it
// has its last backslash.
TEST_F(DiscoveryTest, PathValueAndTheDirectoryCutFromIt) {
  auto dir = [](std::size_t length) {
    return u"C:\\" + std::u16string(length - 3, u'd');
  };
  const struct {
    std::u16string path;
    std::optional<std::u16string> directory;  // none: refused
  } cases[] = {
      {dir(97) + u"\\x", dir(97)},
      {dir(98) + u"\\x", std::nullopt},
      {dir(148) + u"\\x", std::nullopt},
      {u"C:\\A\\B\\orvek.exe", u"C:\\A\\B"},
      {u"orvek", u"orvek"},
      {u"C:\\Orvek\\", u"C:\\Orvek"},
      {u"\\orvek.exe", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::fake::utf8(c.path));
    hostlink::ResetHostLinkState();
    os.clear_calls();
    os.set_registry_string(protocol::kHostRegistryKey, protocol::kHostPathValue,
                           c.path);
    if (c.directory) os.add_directory(*c.directory);
    host.start();
    // The host listens in its own directory, so most of these end in a
    // time-out; only where the request went matters.
    StatusCode status = hostlink::Init(os);
    EXPECT_EQ(status == ORVEKPORT_E_REGISTRY, !c.directory);
    if (!c.directory) continue;
    EXPECT_EQ(Directory(), *c.directory);
    EXPECT_EQ(std::u16string(hostlink::HostExecutablePath), c.path);
    EXPECT_EQ(os.file(*c.directory + u"\\PACKETTX.DAT"), "F|0\n");
  }
}

// The host is found by its window, else started from the registered path
// (a program file only) and its window looked for every 100 ms, 100 times;
// then comes the handshake "0". A query waits for all that and is sent only
// when it succeeds. (Once a window is known, a query goes straight to the
// host: every ConnectedHostTest row sends only its own line.)
TEST_F(DiscoveryTest, FindOrStartHandshakeThenQuery) {
  platform::fake::FakePlatform* o = nullptr;  // each case's own world
  testing::FakeHost* h = nullptr;
  auto path = [&](const char16_t* value) {
    o->set_registry_string(protocol::kHostRegistryKey, protocol::kHostPathValue,
                           value);
  };
  const struct {
    const char* name;
    std::function<void()> setup;
    StatusCode status;
    std::size_t sleeps, shell_opens;
    std::uint64_t elapsed_ms;
  } cases[] = {
      {"running", [&] { h->start(); }, ORVEKPORT_OK, 0, 0, 0},
      {"launch fails", [&] { o->on_shell_open = [](auto&) { return false; }; },
       ORVEKPORT_E_NO_HOST, 0, 1, 0},
      {"window at once", [&] { h->launch_on_shell_open(0); }, ORVEKPORT_OK, 1,
       1, 100},
      {"window in the third sleep", [&] { h->launch_on_shell_open(250); },
       ORVEKPORT_OK, 3, 1, 300},
      {"window at the last poll", [&] { h->launch_on_shell_open(10'000); },
       ORVEKPORT_OK, 100, 1, 10'000},
      {"window too late", [&] { h->launch_on_shell_open(10'001); },
       ORVEKPORT_E_NO_HOST, 100, 1, 10'000},
      {"path is a folder",
       [&] { h->launch_on_shell_open(0); path(u"C:\\Orvek"); },
       ORVEKPORT_E_NO_HOST, 0, 0, 0},
      {"program file missing",
       [&] { h->launch_on_shell_open(0); path(u"C:\\Orvek\\gone.exe"); },
       ORVEKPORT_E_NO_HOST, 0, 0, 0},
      {"no registry value",
       [&] {
         h->start();
         o->remove_registry_value(protocol::kHostRegistryKey,
                                  protocol::kHostPathValue);
       },
       ORVEKPORT_E_REGISTRY, 0, 0, 0},
      {"handshake times out", [&] { h->start(); h->signal = false; },
       ORVEKPORT_E_TIMEOUT, 0, 0, 3000},
      {"handshake refused",
       [&] { h->start(); h->answer_always("A|not a query reply\n"); },
       ORVEKPORT_E_READ_REPLY, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hostlink::ResetHostLinkState();
    platform::fake::FakePlatform fresh;
    testing::FakeHost fresh_host(fresh);
    o = &fresh;
    h = &fresh_host;
    c.setup();
    char result[100] = "untouched";
    EXPECT_EQ(hostlink::GetString(fresh, "4", 100, result), c.status);
    EXPECT_EQ(fresh.count(Op::Sleep), c.sleeps);
    for (const auto& sleep : fresh.details_of<Op::Sleep>())
      EXPECT_EQ(sleep.ms, 100u);
    const bool looked = c.status != ORVEKPORT_E_REGISTRY;
    EXPECT_EQ(fresh.count(Op::FindWindow), looked ? c.sleeps + 1 : 0);
    EXPECT_EQ(fresh.count(Op::ShellOpen), c.shell_opens);
    for (const auto& open : fresh.calls_of(Op::ShellOpen))
      EXPECT_EQ(open.text, fresh_host.executable());
    EXPECT_EQ(fresh.now_ms(), c.elapsed_ms);
    const bool found = hostlink::HostWindow != platform::kNullHandle;
    std::vector<std::string> sent;
    if (found) sent.push_back("F|0\n");
    if (c.status == ORVEKPORT_OK) {
      sent.push_back("F|4\n");
      EXPECT_STREQ(result, "\n");
      // The handshake follows the lookup that found the window; its reply
      // is read in 20 bytes.
      EXPECT_GT(fresh.index_of(Op::PostMessage),
                fresh.index_of(Op::FindWindow, c.sleeps));
      EXPECT_EQ(testing::ReadSizes(fresh, fresh_host.reply_path()).at(0), 20u);
    } else {
      EXPECT_STREQ(result, "untouched");
    }
    EXPECT_EQ(fresh_host.requests, sent);
    EXPECT_EQ(found, looked && c.status != ORVEKPORT_E_NO_HOST);
    if (looked && c.shell_opens + c.sleeps > 0) {
      EXPECT_EQ(Directory(), u"C:\\Orvek");  // refreshed all the same
    }
    EXPECT_EQ(testing::LeakedHandles(fresh), 0u);
  }
}

// Every Init reads the registry, looks the window up and shakes hands
// again; the reply event and the lock are made once.
// A registry failure leaves the link as it was; a lookup that finds nothing
// forgets the window known.
TEST_F(DiscoveryTest, EveryInitStartsOver) {
  host.start();
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::FindWindow), 2u);
  EXPECT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(os.count(Op::CreateEvent), 1u);
  EXPECT_EQ(os.count(Op::CreateMutex), 1u);

  os.set_registry_string(protocol::kHostRegistryKey, protocol::kHostPathValue,
                         std::u16string(120, u'x'));
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_REGISTRY);
  EXPECT_EQ(hostlink::HostWindow, host.window);
  EXPECT_EQ(Directory(), host.directory());
  EXPECT_EQ(std::u16string(hostlink::HostExecutablePath), host.executable());

  os.set_registry_string(protocol::kHostRegistryKey, protocol::kHostPathValue,
                         host.executable());
  host.exit();
  os.on_shell_open = [](const std::u16string&) { return false; };
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_NO_HOST);
  EXPECT_EQ(hostlink::HostWindow, platform::kNullHandle);
}

}  // namespace
}  // namespace orvek
