// A fake platform with a scripted host application installed, and the host
// link state reset before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hostlink/discovery.h"
#include "hostlink/host_link_state.h"
#include "platform/fake/fake_platform.h"
#include "tests/support/fake_host.h"

namespace orvek::testing {

// One call of the library on a connected host: the request line it must
// send ("": none, and no file touched), its status, what it stored (as the
// call's wrapper renders it into FakeHostTest::out), the host's answer
// (none: the host's default) and the size of the reply read (0: unchecked).
struct HostCase {
  std::function<StatusCode()> call;
  std::string line = "";
  StatusCode status = ORVEKPORT_OK;
  std::string out = "";
  std::optional<std::string> answer = std::nullopt;
  std::uint64_t reply_bytes = 0;
};

// The platform calls made so far, by name: "Wait CreateFile ...".
inline std::string OpNames(const platform::fake::FakePlatform& os) {
  std::string names;
  for (const platform::fake::Call& call : os.calls())
    names += std::string(names.empty() ? "" : " ") +
             platform::fake::op_name(call.op);
  return names;
}

// The sizes asked of every read of the file at `path`, in order.
inline std::vector<std::uint64_t> ReadSizes(
    const platform::fake::FakePlatform& os, const std::u16string& path) {
  std::vector<platform::Handle> opened;
  std::vector<std::uint64_t> sizes;
  for (const platform::fake::Call& call : os.calls()) {
    if (call.op == platform::fake::Op::CreateFile && call.ok &&
        platform::fake::normalise(call.text) == platform::fake::normalise(path))
      opened.push_back(call.handle);
    if (call.op == platform::fake::Op::ReadFile &&
        std::find(opened.begin(), opened.end(), call.handle) != opened.end())
      sizes.push_back(call.detail_of<platform::fake::Op::ReadFile>().bytes);
  }
  return sizes;
}

class FakeHostTest : public ::testing::Test {
 protected:
  FakeHostTest() : host(os) { hostlink::ResetHostLinkState(); }
  ~FakeHostTest() override {
    EXPECT_EQ(os.live_block_count(), 0u) << "heap blocks kept after a call";
    hostlink::ResetHostLinkState();
  }

  void ExpectRows(const std::vector<HostCase>& rows) {
    const auto default_answer = host.answer;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const HostCase& c = rows[i];
      SCOPED_TRACE(::testing::Message()
                   << "row " << i << ", line \"" << c.line << "\", answer \""
                   << c.answer.value_or("(default)") << "\"");
      host.answer = default_answer;
      if (c.answer) host.answer_always(*c.answer);
      host.requests.clear();
      os.clear_calls();
      out.clear();
      EXPECT_EQ(c.call(), c.status);
      EXPECT_EQ(out, c.out);
      if (c.line.empty()) {
        EXPECT_TRUE(host.requests.empty());
        EXPECT_EQ(os.count(platform::fake::Op::CreateFile), 0u);
      } else {
        EXPECT_EQ(host.requests, std::vector<std::string>{c.line});
      }
      if (c.reply_bytes != 0) {
        for (std::uint64_t bytes : ReadSizes(os, host.reply_path()))
          EXPECT_EQ(bytes, c.reply_bytes);
      }
      EXPECT_EQ(LeakedHandles(os), 0u);
    }
    host.answer = default_answer;
  }

  platform::fake::FakePlatform os;
  FakeHost host;
  std::string out;  // what a HostCase's call stored, rendered
};

// The same, with the host started and the link set up before each test;
// what that recorded is forgotten, so that a test sees only its own calls
// and requests.
class ConnectedHostTest : public FakeHostTest {
 protected:
  void SetUp() override {
    host.start();
    ASSERT_EQ(hostlink::Init(os), 0u) << os.describe_calls();
    os.clear_calls();
    host.requests.clear();
  }
};

}  // namespace orvek::testing
