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

TEST_F(DiskFreeTest, RecordIsLittleEndianSuccessThenCount) {
  const struct {
    std::uint64_t free_bytes;
    Record expected;
  } cases[] = {
      {k5GiB, {1, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {0x0123456789ABCDEF,
       {1, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
      {0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {~std::uint64_t{0},
       {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.free_bytes) + " free bytes");
    os.free_space[u"\\Storage Card\\maps"] = c.free_bytes;
    EXPECT_EQ(Query(u"\\Storage Card\\maps"), c.expected);
  }
}

TEST_F(DiskFreeTest, FailureKeepsTheLatestCount) {
  os.free_space[u"\\"] = k5GiB;
  Query(u"\\");
  EXPECT_EQ(Query(u"\\missing"),
            (Record{0, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}));
  // A later success replaces the count and the success word.
  os.free_space[u"\\"] = 7;
  EXPECT_EQ(Query(u"\\"), (Record{1, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(DiskFreeTest, FailureFirstGivesZeroCount) {
  os.free_space[u"\\"] = k5GiB;
  EXPECT_EQ(Query(u"\\missing"), Record{});
  EXPECT_EQ(Query(nullptr), Record{}) << "a null path goes to the platform";
  EXPECT_EQ(os.count(platform::fake::Op::DiskFreeSpace), 2u);
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
