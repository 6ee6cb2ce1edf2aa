// The free-space record on the fake platform: its byte layout, and what a
// failed query leaves in it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "device/device_state.h"
#include "device/disk_free_space.h"
#include "platform/fake/fake_platform.h"

namespace orvek::device {
namespace {

using platform::fake::FakePlatform;
using Record = std::array<std::uint8_t, 12>;

constexpr std::uint64_t k5GiB = 5368709120;

class DiskFreeTest : public ::testing::Test {
 protected:
  DiskFreeTest() { ResetDeviceState(); }
  ~DiskFreeTest() override { ResetDeviceState(); }

  // Queries `path` and gives the record as the caller sees it.
  Record Query(const char16_t* path) {
    std::uint32_t length = 0xDEADBEEF;
    const void* address = nullptr;
    EXPECT_EQ(DiskFreeSpaceItvCe(os, path, &length, &address), 0u);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(address, DiskSpaceRecord);
    Record record{};
    if (address) std::memcpy(record.data(), address, record.size());
    return record;
  }

  FakePlatform os;
};

// One call after another: a success writes 1 and the 64-bit count, low
// byte first; a failure writes 0 and keeps the latest count (0 if none).
TEST_F(DiskFreeTest, RecordOfEachCallInTurn) {
  os.free_space[u"\\Storage Card\\maps"] = k5GiB;
  os.free_space[u"\\pattern"] = 0x0123456789ABCDEF;
  os.free_space[u"\\empty"] = 0;
  os.free_space[u"\\all"] = ~std::uint64_t{0};
  const struct {
    const char16_t* path;
    Record expected;
  } calls[] = {
      {u"\\missing", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {nullptr, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // passed on as it is
      {u"\\Storage Card\\maps",
       {1, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {u"\\missing",
       {0, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {u"\\pattern",
       {1, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
      {u"\\empty", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {u"\\all", {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.path ? platform::fake::utf8(c.path) : "null path");
    EXPECT_EQ(Query(c.path), c.expected);
  }
  EXPECT_EQ(os.count(platform::fake::Op::DiskFreeSpace), std::size(calls));
}

TEST_F(DiskFreeTest, NullOutputsAreSkipped) {
  os.free_space[u"\\"] = 3;
  std::uint32_t length = 0;
  const void* address = nullptr;
  EXPECT_EQ(DiskFreeSpaceItvCe(os, u"\\", nullptr, &address), 0u);
  EXPECT_EQ(address, DiskSpaceRecord);
  EXPECT_EQ(DiskFreeSpaceItvCe(os, u"\\", &length, nullptr), 0u);
  EXPECT_EQ(length, 12u);
  EXPECT_EQ(DiskFreeSpaceItvCe(os, u"\\", nullptr, nullptr), 0u);
  EXPECT_EQ(DiskSpaceRecord[0], 1);
  EXPECT_EQ(DiskSpaceRecord[4], 3);
}

}  // namespace
}  // namespace orvek::device
