// The device services on the fake platform: which source of the identifier
// wins, which hex digits are taken, what is cached, what GetPocketIDItvCe
// hands out, and the free-space record.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device/device_identifier.h"
#include "device/device_state.h"
#include "device/disk_free_space.h"
#include "platform/fake/fake_platform.h"

namespace orvek::device {
namespace {

using platform::fake::FakePlatform;
using platform::fake::Op;
using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, 12>;

constexpr char16_t kTool[] = u"\\windows\\CreateAssetFile.exe";
constexpr char16_t kAssetFile[] = u"\\windows\\cpqAssetData.dat";
constexpr char16_t kHwidKey[] = u"SOFTWARE\\Microsoft\\MSLicensing\\HardwareID";
constexpr char16_t kHwidValue[] = u"ClientHWID";
constexpr std::uint64_t k5GiB = 5368709120;

// Bytes 0, 1, 2, ...: byte i reads as the two hex digits of i.
Bytes Counting(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

// An asset file holding `text` as UTF-16LE at byte 976, behind filler that
// must not be read, with a zero unit after it when `terminated`.
std::string AssetFile(const std::u16string& text, bool terminated = true) {
  std::string file(976, 'x');
  for (char16_t unit : text) {
    file += static_cast<char>(unit & 0xFF);
    file += static_cast<char>(unit >> 8);
  }
  if (terminated) file += std::string(2, '\0');
  return file;
}

class DeviceTest : public ::testing::Test {
 protected:
  DeviceTest() {
    ResetDeviceState();
    os.add_directory(u"\\windows");
  }
  ~DeviceTest() override {
    // Processes, threads, files and keys are closed on every path.
    EXPECT_EQ(os.open_handle_count(), 0u) << os.describe_calls();
    ResetDeviceState();
  }

  // The asset tool exists; each run writes `contents`, or nothing.
  void InstallTool(std::optional<std::string> contents) {
    os.on_create_process = [this, contents](const std::u16string& path) {
      if (path != kTool) return false;
      if (contents) os.set_file(kAssetFile, *contents);
      return true;
    };
  }

  void SetClientHwid(Bytes value) {
    os.set_registry_value(kHwidKey, kHwidValue, std::move(value));
  }

  // The identifier as the caller gets it; its length must count the NUL.
  std::string CallPocketId() {
    std::uint32_t length = 0xDEADBEEF;
    const void* address = nullptr;
    EXPECT_EQ(PocketIdItvCe(os, &length, &address), 0u);
    EXPECT_EQ(address, PocketIdBuffer);
    std::string text = address ? static_cast<const char*>(address) : "<null>";
    EXPECT_EQ(length, text.size() + 1);
    return text;
  }

  FakePlatform os;
};

// The asset tool runs first; its text (64 bytes at 976, to the first zero
// unit, through the code page) wins unless empty. Then the DEVICE_ID record
// (even a short one), then ClientHWID, then the fixed text.
TEST_F(DeviceTest, FirstSourceThatYieldsWins) {
  enum From { kAsset, kRecord, kRegistry };
  struct Case {
    const char* name;
    std::optional<std::string> asset = std::nullopt;  // what the tool writes
    bool tool = true;
    std::optional<Bytes> record = Counting(28);
    std::optional<Bytes> client_hwid = Counting(20);
    bool hwid_key_without_value = false;
    std::optional<Op> fails = std::nullopt;
    std::string expected = "1461718191A";
    From from = kRecord;
  };
  const Case cases[] = {
      {.name = "asset text", .asset = AssetFile(u"abc"), .expected = "abc",
       .from = kAsset},
      {.name = "64 bytes without a zero unit",
       .asset = AssetFile(std::u16string(32, u'Z') + u"tail", false),
       .expected = std::string(32, 'Z'), .from = kAsset},
      {.name = "file ends inside the text", .asset = AssetFile(u"ab", false),
       .expected = "ab", .from = kAsset},
      {.name = "odd last byte", .asset = AssetFile(u"ab", false) + "c",
       .expected = "abc", .from = kAsset},
      {.name = "no form in the code page", .asset = AssetFile(u"a\u20ACb"),
       .expected = "a?b", .from = kAsset},
      {.name = "Latin-1 kept", .asset = AssetFile(u"\u00E9t\u00E9"),
       .expected = "\xE9t\xE9", .from = kAsset},
      {.name = "zero unit first", .asset = AssetFile(u"") + "abc"},
      {.name = "asset file ends at 976", .asset = std::string(976, 'x')},
      {.name = "tool writes no file"},
      {.name = "no tool", .tool = false},
      {.name = "CreateProcess fails", .asset = AssetFile(u"abc"),
       .fails = Op::CreateProcess},
      {.name = "CreateFile fails", .asset = AssetFile(u"abc"),
       .fails = Op::CreateFile},
      {.name = "SeekFile fails", .asset = AssetFile(u"abc"),
       .fails = Op::SeekFile},
      // A failing read leaves the buffer zero, which is an empty text.
      {.name = "ReadFile fails", .asset = AssetFile(u"abc"),
       .fails = Op::ReadFile},
      {.name = "WideToAnsi fails", .asset = AssetFile(u"abc"),
       .fails = Op::WideToAnsi},
      {.name = "20-byte record", .tool = false, .record = Counting(20),
       .expected = ""},
      {.name = "no record", .tool = false, .record = std::nullopt,
       .expected = "0460708090A", .from = kRegistry},
      {.name = "nothing readable", .tool = false, .record = std::nullopt,
       .client_hwid = std::nullopt, .expected = "QK508-316", .from = kRegistry},
      {.name = "ClientHWID key without the value", .tool = false,
       .record = std::nullopt, .client_hwid = std::nullopt,
       .hwid_key_without_value = true, .expected = "QK508-316",
       .from = kRegistry},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDeviceState();
    os = FakePlatform();
    os.add_directory(u"\\windows");
    if (c.tool) InstallTool(c.asset);
    os.device_id_record = c.record;
    if (c.client_hwid) SetClientHwid(*c.client_hwid);
    if (c.hwid_key_without_value) os.add_registry_key(kHwidKey);
    if (c.fails) os.fail(*c.fails);

    EXPECT_EQ(CallPocketId(), c.expected) << os.describe_calls();
    EXPECT_EQ(os.count(Op::DeviceId) != 0, c.from != kAsset);
    EXPECT_EQ(os.count(Op::RegOpenKey) != 0, c.from == kRegistry);
    for (const auto& id : os.details_of<Op::DeviceId>())
      EXPECT_EQ(id.bytes, 4096u);
    if (c.from == kRegistry) {
      // ClientHWID's names, widened first, are read into 2000 bytes; the
      // key is closed even when the value is missing.
      EXPECT_LT(os.index_of(Op::AnsiToWide, 1), os.index_of(Op::RegOpenKey));
      const auto opened = os.calls_of(Op::RegOpenKey).at(0);
      EXPECT_EQ(opened.text, kHwidKey);
      for (const auto& query : os.calls_of(Op::RegQueryValue)) {
        EXPECT_EQ(query.text, kHwidValue);
        EXPECT_EQ(query.detail_of<Op::RegQueryValue>().bytes, 2000u);
      }
      EXPECT_EQ(os.count(Op::RegCloseKey), opened.ok ? 1u : 0u);
    }
    if (c.tool && !c.asset && !c.fails) {
      EXPECT_EQ(os.file(kAssetFile), std::optional<std::string>(""))
          << "the open creates the missing file empty";
    }
    // Kept for good once not empty, and handed out without a call; empty,
    // the next call asks the asset tool again.
    InstallTool(AssetFile(u"later"));
    os.clear_calls();
    const std::string again = c.expected.empty() ? "later" : c.expected;
    EXPECT_EQ(CallPocketId(), again);
    EXPECT_EQ(os.calls().empty(), !c.expected.empty()) << os.describe_calls();
    EXPECT_EQ(os.open_handle_count(), 0u);
  }
}

TEST_F(DeviceTest, HexDigitsAtFixedPlaces) {
  // Counting bytes. A record's header is 20 bytes: byte 20 reads "14", then
  // "6" from byte 22 and "1718191A" from bytes 23 to 26. ClientHWID's first
  // 4 bytes are skipped: "04", "6", "0708090A".
  const struct {
    bool record;  // else ClientHWID
    std::size_t bytes;
    const char* expected;
  } cases[] = {
      {true, 0, ""},             {true, 20, ""},
      {true, 21, "14"},          {true, 22, "14"},
      {true, 23, "146"},         {true, 24, "14617"},
      {true, 26, "146171819"},   {true, 27, "1461718191A"},
      {true, 28, "1461718191A"}, {true, 4096, "1461718191A"},
      {true, 4097, "QK508-316"},  // does not fit in 4096 bytes
      {false, 0, "QK508-316"},   {false, 3, "QK508-316"},  // nothing to skip
      {false, 4, ""},            {false, 5, "04"},
      {false, 7, "046"},         {false, 10, "046070809"},
      {false, 11, "0460708090A"}, {false, 20, "0460708090A"},
      {false, 2000, "0460708090A"}, {false, 2001, "QK508-316"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.record ? "record" : "ClientHWID") + " of " +
                 std::to_string(c.bytes) + " bytes");
    ResetDeviceState();
    os = FakePlatform();
    if (c.record)
      os.device_id_record = Counting(c.bytes);
    else
      SetClientHwid(Counting(c.bytes));
    EXPECT_EQ(CallPocketId(), c.expected);
    EXPECT_EQ(os.open_handle_count(), 0u);
  }
}

// The tool is waited for without a limit before its file is opened, which
// is read at 976 for 64 bytes; what else happens in between, and in which
// order, is the code's own business (the fixture checks every handle is
// closed).
TEST_F(DeviceTest, AssetToolIsWaitedForBeforeTheFileIsRead) {
  InstallTool(AssetFile(u"abc"));
  ASSERT_STREQ(ReadAssetIdentifier(os).text, "abc");
  const auto started = os.calls_of(Op::CreateProcess).at(0);
  const auto waited = os.calls_of(Op::Wait).at(0);
  const auto opened = os.calls_of(Op::CreateFile).at(0);
  EXPECT_EQ(started.text, kTool);
  EXPECT_EQ(waited.handle, started.handle);
  EXPECT_EQ(waited.detail_of<Op::Wait>().timeout_ms, platform::kInfinite);
  EXPECT_LT(os.index_of(Op::Wait), os.index_of(Op::CreateFile));
  EXPECT_EQ(opened.text, kAssetFile);
  EXPECT_EQ(opened.detail_of<Op::CreateFile>().access, platform::kGenericRead);
  EXPECT_EQ(opened.detail_of<Op::CreateFile>().disposition,
            platform::Disposition::OpenAlways);
  EXPECT_EQ(os.details_of<Op::SeekFile>().at(0).offset, 976u);
  EXPECT_EQ(os.details_of<Op::ReadFile>().at(0).bytes, 64u);
  EXPECT_LT(os.index_of(Op::SeekFile), os.index_of(Op::ReadFile));
}

// GetPocketIDItvCe skips a null length or address as the free-space export
// does (each alone: see RecordOfEachCallInTurn), and rewrites the identifier
// from the cache on every call.
TEST_F(DeviceTest, PocketIdWithNullOutputs) {
  os.device_id_record = Counting(28);
  EXPECT_EQ(CallPocketId(), "1461718191A");
  std::memset(PocketIdBuffer, '#', sizeof(PocketIdBuffer));
  EXPECT_EQ(PocketIdItvCe(os, nullptr, nullptr), 0u);
  EXPECT_STREQ(PocketIdBuffer, "1461718191A");
}

// One call after another: a success writes 1 and the 64-bit count, low
// byte first; a failure writes 0 and keeps the latest count (0 if none).
// A null length or address is skipped.
TEST_F(DeviceTest, RecordOfEachCallInTurn) {
  os.free_space[u"\\Storage Card\\maps"] = k5GiB;
  os.free_space[u"\\pattern"] = 0x0123456789ABCDEF;
  os.free_space[u"\\empty"] = 0;
  os.free_space[u"\\all"] = ~std::uint64_t{0};
  const struct {
    const char16_t* path;
    Record expected;
    bool length = true, address = true;  // passed, not null
  } calls[] = {
      {u"\\missing", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      // A null path is passed on as it is.
      {nullptr, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false},
      {u"\\Storage Card\\maps",
       {1, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {u"\\missing",
       {0, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x00}},
      {u"\\pattern",
       {1, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
      {u"\\empty", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
      {u"\\all", {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       true, false},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.path ? platform::fake::utf8(c.path) : "null path");
    std::uint32_t length = 0;
    const void* address = nullptr;
    EXPECT_EQ(DiskFreeSpaceItvCe(os, c.path, c.length ? &length : nullptr,
                                 c.address ? &address : nullptr),
              0u);
    EXPECT_EQ(length, c.length ? 12u : 0u);
    EXPECT_EQ(address, c.address ? DiskSpaceRecord : nullptr);
    EXPECT_EQ(0, std::memcmp(DiskSpaceRecord, c.expected.data(), 12));
  }
  EXPECT_EQ(os.count(platform::fake::Op::DiskFreeSpace), std::size(calls));
}

}  // namespace
}  // namespace orvek::device
