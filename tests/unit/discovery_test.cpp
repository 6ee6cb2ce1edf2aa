// Finding and starting the host application, and the state it leaves.
#include <string>

#include "hostlink/envelopes.h"
#include "hostlink/host_protocol.h"
#include "tests/support/host_link_fixture.h"

namespace orvek {
namespace {

using platform::fake::Op;

using DiscoveryTest = testing::FakeHostTest;

std::u16string Directory() { return hostlink::HostDirectory; }

TEST_F(DiscoveryTest, RegistryIsReadBeforeTheWindowIsLookedFor) {
  host.start();
  os.remove_registry_value(hostlink::kHostRegistryKey, hostlink::kHostPathValue);
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_REGISTRY);
  EXPECT_EQ(os.count(Op::FindWindow), 0u);
  EXPECT_EQ(hostlink::HostWindow, platform::kNullHandle);
  EXPECT_EQ(os.count(Op::RegOpenKey), os.count(Op::RegCloseKey));
  EXPECT_EQ(os.open_handle_count(), 0u);
}

TEST_F(DiscoveryTest, MissingKeyGivesRegistryStatus) {
  platform::fake::FakePlatform bare;  // no key at all
  EXPECT_EQ(hostlink::Init(bare), ORVEKPORT_E_REGISTRY);
  EXPECT_EQ(bare.count(Op::RegQueryValue), 0u);
}

TEST_F(DiscoveryTest, PathValueHoldsAtMost99Characters) {
  struct Case {
    std::size_t length;
    bool accepted;
  };
  for (Case c : {Case{98, true}, Case{99, true}, Case{100, false},
                 Case{150, false}}) {
    hostlink::ResetHostLinkState();
    std::u16string directory = u"C:\\";
    directory.append(c.length - directory.size() - 2, u'd');  // "\x" follows
    host.start();
    os.add_directory(directory);
    os.set_registry_string(hostlink::kHostRegistryKey, hostlink::kHostPathValue,
                           directory + u"\\x");
    // The host listens in its own directory, so an accepted path ends in a
    // time-out here; only the registry verdict matters.
    StatusCode status = hostlink::Init(os);
    EXPECT_EQ(status == ORVEKPORT_E_REGISTRY, !c.accepted)
        << "length " << c.length;
    if (c.accepted) {
      EXPECT_EQ(Directory(), directory) << "length " << c.length;
    }
  }
}

TEST_F(DiscoveryTest, DirectoryIsThePathCutAtItsLastBackslash) {
  struct Case {
    std::u16string path;
    std::u16string directory;
  };
  for (const Case& c : {Case{u"C:\\Orvek\\orvek.exe", u"C:\\Orvek"},
                        Case{u"C:\\A\\B\\orvek.exe", u"C:\\A\\B"},
                        Case{u"orvek", u"orvek"},
                        Case{u"C:\\Orvek\\", u"C:\\Orvek"},
                        Case{u"\\orvek.exe", u""}}) {
    hostlink::ResetHostLinkState();
    os.clear_calls();
    os.set_registry_string(hostlink::kHostRegistryKey, hostlink::kHostPathValue,
                           c.path);
    os.add_directory(c.directory);
    host.start();
    hostlink::Init(os);
    std::string label = platform::fake::utf8(c.path);
    EXPECT_EQ(Directory(), c.directory) << label;
    EXPECT_EQ(std::u16string(hostlink::HostExecutablePath), c.path) << label;
    ASSERT_GE(os.calls_of(Op::CreateFile).size(), 1u) << label;
    EXPECT_EQ(os.calls_of(Op::CreateFile)[0].text, c.directory + u"\\PACKETTX.DAT")
        << label;
  }
}

TEST_F(DiscoveryTest, RunningHostNeedsNoLaunchAndOneHandshake) {
  host.start();
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(hostlink::HostWindow, host.window);
  EXPECT_EQ(os.count(Op::ShellOpen), 0u);
  EXPECT_EQ(os.count(Op::Sleep), 0u);
  EXPECT_EQ(host.requests, std::vector<std::string>{"F|0\n"});
  EXPECT_EQ(LeakedHandles(), 0u);
}

TEST_F(DiscoveryTest, FailedLaunchGivesNoHostAtOnce) {
  os.on_shell_open = [](const std::u16string&) { return false; };
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_NO_HOST);
  EXPECT_EQ(os.count(Op::Sleep), 0u);
  EXPECT_EQ(os.now_ms(), 0u);
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(Directory(), host.directory());  // refreshed all the same
}

TEST_F(DiscoveryTest, LaunchStartsTheRegisteredExecutable) {
  host.launch_on_shell_open(0);
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  ASSERT_EQ(os.count(Op::ShellOpen), 1u);
  EXPECT_EQ(os.calls_of(Op::ShellOpen)[0].text, host.executable());
}

TEST_F(DiscoveryTest, PathThatIsNoProgramFileStartsNothing) {
  host.launch_on_shell_open(0);
  for (std::u16string path : {std::u16string(u"C:\\Orvek"),  // a folder
                              std::u16string(u"C:\\Orvek\\gone.exe")}) {
    os.clear_calls();
    os.set_registry_string(hostlink::kHostRegistryKey, hostlink::kHostPathValue,
                           path);
    EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_NO_HOST) << platform::fake::utf8(path);
    EXPECT_EQ(os.count(Op::ShellOpen), 0u) << platform::fake::utf8(path);
    EXPECT_EQ(os.now_ms(), 0u) << platform::fake::utf8(path);
  }
}

TEST_F(DiscoveryTest, PollingStopsAtTheLookupThatFindsTheWindow) {
  host.launch_on_shell_open(250);  // appears during the third sleep
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::Sleep), 3u);
  EXPECT_EQ(os.count(Op::FindWindow), 4u);  // one before the launch
  long launch = os.index_of(Op::ShellOpen);
  long handshake = os.index_of(Op::PostMessage);
  EXPECT_LT(launch, os.index_of(Op::Sleep));
  EXPECT_GT(handshake, os.index_of(Op::FindWindow, 3));
  EXPECT_EQ(os.calls_of(Op::PostMessage)[0].time_ms, 300u);
  for (const auto& sleep : os.details_of<Op::Sleep>()) EXPECT_EQ(sleep.ms, 100u);
}

TEST_F(DiscoveryTest, GivesUpAfterOneHundredPolls) {
  host.launch_on_shell_open(10'001);
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_NO_HOST);
  EXPECT_EQ(os.count(Op::Sleep), 100u);
  EXPECT_EQ(os.count(Op::FindWindow), 101u);
  EXPECT_EQ(os.now_ms(), 10'000u);
  EXPECT_EQ(hostlink::HostWindow, platform::kNullHandle);
  EXPECT_EQ(Directory(), host.directory());
}

TEST_F(DiscoveryTest, WindowAtTheLastPollStillCounts) {
  host.launch_on_shell_open(10'000);
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::Sleep), 100u);
}

TEST_F(DiscoveryTest, EveryInitLooksUpAgainAndRepeatsTheHandshake) {
  host.start();
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  ASSERT_EQ(hostlink::Init(os), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::FindWindow), 2u);
  EXPECT_EQ(host.requests.size(), 2u);
  // The reply event, the lock and the owed-answer mark, each made once.
  EXPECT_EQ(os.count(Op::CreateEvent), 1u);
  EXPECT_EQ(os.count(Op::CreateMutex), 1u);
  EXPECT_EQ(os.count(Op::MapShared), 1u);
}

TEST_F(DiscoveryTest, LookupReplacesAKnownWindowEvenWithNull) {
  Connect();
  host.exit();
  os.on_shell_open = [](const std::u16string&) { return false; };
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_NO_HOST);
  EXPECT_EQ(hostlink::HostWindow, platform::kNullHandle);
}

TEST_F(DiscoveryTest, RegistryFailureLeavesTheLinkAsItWas) {
  Connect();
  platform::Handle window = hostlink::HostWindow;
  os.set_registry_string(hostlink::kHostRegistryKey, hostlink::kHostPathValue,
                         std::u16string(120, u'x'));
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_REGISTRY);
  EXPECT_EQ(hostlink::HostWindow, window);
  EXPECT_EQ(Directory(), host.directory());
  EXPECT_EQ(std::u16string(hostlink::HostExecutablePath), host.executable());
}

TEST_F(DiscoveryTest, FailedHandshakeKeepsTheLinkAndIsNotRepeated) {
  host.start();
  host.answer_always("A|not a query reply\n");
  EXPECT_EQ(hostlink::Init(os), ORVEKPORT_E_READ_REPLY);
  EXPECT_EQ(hostlink::HostWindow, host.window);

  // The query envelope sees a known window and goes straight to its query.
  os.clear_calls();
  char result[100];
  EXPECT_EQ(hostlink::GetString(os, "4", 100, result), ORVEKPORT_E_READ_REPLY);
  EXPECT_EQ(os.count(Op::RegOpenKey), 0u);
  EXPECT_EQ(host.requests.back(), "F|4\n");
}

TEST_F(DiscoveryTest, QueryRunsDiscoveryFirstOnlyWhileNoWindowIsKnown) {
  host.start();
  host.answer = [](const std::string& line) -> std::string {
    return line == "F|4\n" ? "G|7\n" : "G|\n";
  };
  char result[100];
  ASSERT_EQ(hostlink::GetString(os, "4", 100, result), ORVEKPORT_OK);
  EXPECT_STREQ(result, "7\n");
  EXPECT_EQ(host.requests, (std::vector<std::string>{"F|0\n", "F|4\n"}));

  ASSERT_EQ(hostlink::GetString(os, "4", 100, result), ORVEKPORT_OK);
  EXPECT_EQ(os.count(Op::RegOpenKey), 1u);
  EXPECT_EQ(host.requests.size(), 3u);
}

// Discovery fails in each of its ways; the query itself is never sent and
// its result buffer stays as it was.
class FailedDiscoveryTest : public testing::FakeHostTest {
 protected:
  void ExpectQueryStopped(StatusCode expected) {
    char result[100] = "untouched";
    EXPECT_EQ(hostlink::GetString(os, "4", 100, result), expected);
    EXPECT_STREQ(result, "untouched");
    for (const std::string& line : host.requests) EXPECT_NE(line, "F|4\n");
  }
};

TEST_F(FailedDiscoveryTest, NoRegistryValue) {
  host.start();
  os.remove_registry_value(hostlink::kHostRegistryKey, hostlink::kHostPathValue);
  ExpectQueryStopped(ORVEKPORT_E_REGISTRY);
}

TEST_F(FailedDiscoveryTest, NoWindow) {
  ExpectQueryStopped(ORVEKPORT_E_NO_HOST);
}

TEST_F(FailedDiscoveryTest, HandshakeTimesOut) {
  host.start();
  host.signal = false;
  ExpectQueryStopped(ORVEKPORT_E_TIMEOUT);
  EXPECT_EQ(os.now_ms(), 3000u);
}

}  // namespace
}  // namespace orvek
