// The device exports under Wine: the identifier from a stand-in asset tool
// in C:\windows and from a ClientHWID value in the real registry, and the
// free space against GetDiskFreeSpaceExW. Wine has no KernelIoControl, so
// the registry is always the second source here.
//
// The identifier is worked out once per process, so only one test calls
// GetPocketIDItvCe in this program; the others run device-probe.exe, a
// fresh process each time.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/win_process.h"
#include "wine_support.h"

namespace {

using orvek::winetest::test_binary_dir;
using Bytes = std::vector<BYTE>;

constexpr wchar_t kToolPath[] = L"C:\\windows\\CreateAssetFile.exe";
constexpr wchar_t kAssetFile[] = L"C:\\windows\\cpqAssetData.dat";
constexpr wchar_t kHwidKey[] = L"SOFTWARE\\Microsoft\\MSLicensing\\HardwareID";
constexpr wchar_t kHwidValue[] = L"ClientHWID";
// Read by the stand-in tool: the text it writes, or nothing when unset.
constexpr wchar_t kAssetIdVariable[] = L"ORVEK_TEST_ASSET_ID";

bool Exists(const wchar_t* path) {
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The stand-in asset tool in C:\windows while in scope, its file removed
// before and after.
class PlacedAssetTool {
 public:
  PlacedAssetTool() {
    DeleteFileW(kAssetFile);
    std::wstring built = test_binary_dir() + L"\\CreateAssetFile.exe";
    ok_ = CopyFileW(built.c_str(), kToolPath, FALSE) != FALSE;
  }
  ~PlacedAssetTool() {
    DeleteFileW(kToolPath);
    DeleteFileW(kAssetFile);
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// An environment variable of this process (and so of its children) while in
// scope; null unsets it.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

// ClientHWID holds `value` while in scope (none at all when null); keys
// that did not exist before are removed again.
class ScopedClientHwid {
 public:
  explicit ScopedClientHwid(const Bytes* value) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHwidKey, kHwidValue);
    if (value == nullptr) {
      ok_ = true;
      return;
    }
    ok_ = Create(L"SOFTWARE\\Microsoft\\MSLicensing") && Create(kHwidKey);
    HKEY key = nullptr;
    ok_ = ok_ && RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHwidKey, 0, KEY_SET_VALUE,
                               &key) == ERROR_SUCCESS;
    if (key == nullptr) return;
    ok_ = RegSetValueExW(key, kHwidValue, 0, REG_BINARY, value->data(),
                         static_cast<DWORD>(value->size())) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~ScopedClientHwid() {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kHwidKey, kHwidValue);
    for (auto key = created_.rbegin(); key != created_.rend(); ++key)
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, key->c_str());
  }
  bool ok() const { return ok_; }

 private:
  bool Create(const std::wstring& path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    if (disposition == REG_CREATED_NEW_KEY) created_.push_back(path);
    return true;
  }

  bool ok_ = false;
  std::vector<std::wstring> created_;
};

// Runs device-probe.exe with C: as its current drive and gives its output
// line ("LENGTH TEXT"), or nothing when it fails or hangs.
std::optional<std::string> RunProbe() {
  orvek::tools::ProcessRun run = orvek::tools::run_process(
      test_binary_dir() + L"\\device-probe.exe", L"", test_binary_dir(),
      60000, L"C:\\");
  if (!run.finished || run.exit_code != 0) return std::nullopt;
  std::string output = run.out;
  output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

Bytes Counting(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>(i);
  return bytes;
}

TEST(DeviceIdWine, SourcesInAFreshProcess) {
  const Bytes counting = Counting(20);
  // Value bytes 4..10 are 01 23 45 67 89 AB CD.
  const Bytes sample = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23,
                        0x45, 0x67, 0x89, 0xAB, 0xCD};
  const Bytes four = Counting(4);
  const struct {
    const char* name;
    bool tool;
    const wchar_t* asset_id;  // what the tool writes; null: nothing
    const Bytes* client_hwid;
    const char* expected;
  } cases[] = {
      {"asset text", true, L"PROBE-ASSET-01", &counting, "15 PROBE-ASSET-01"},
      {"tool writes no file", true, nullptr, &counting, "12 0460708090A"},
      {"no tool: ClientHWID", false, nullptr, &sample, "12 0156789ABCD"},
      {"no ClientHWID", false, nullptr, nullptr, "10 QK508-316"},
      {"ClientHWID of 4 bytes", false, nullptr, &four, "1 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<PlacedAssetTool> tool;
    if (c.tool) {
      tool.emplace();
      ASSERT_TRUE(tool->ok()) << "can't place the asset tool";
    }
    ScopedVariable asset_id(kAssetIdVariable, c.asset_id);
    ScopedClientHwid client_hwid(c.client_hwid);
    ASSERT_TRUE(client_hwid.ok()) << "can't write ClientHWID";

    EXPECT_EQ(RunProbe(), std::optional<std::string>(c.expected));
    if (c.tool && c.asset_id == nullptr) {
      WIN32_FILE_ATTRIBUTE_DATA data{};
      ASSERT_TRUE(GetFileAttributesExW(kAssetFile, GetFileExInfoStandard, &data))
          << "the library's open creates the missing file";
      EXPECT_EQ(data.nFileSizeLow, 0u);
    }
  }
  EXPECT_FALSE(Exists(kToolPath));
  EXPECT_FALSE(Exists(kAssetFile));
}

// The one call of GetPocketIDItvCe in this process, and so the first.
TEST(DeviceIdWine, AssetToolRunsOnTheFirstCallOnly) {
  PlacedAssetTool tool;
  ASSERT_TRUE(tool.ok());
  ScopedVariable asset_id(kAssetIdVariable, L"IN-PROCESS-7");
  // The library's paths are relative to the current drive.
  wchar_t previous[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));

  std::uint32_t length = 0;
  const void* result = nullptr;
  EXPECT_EQ(GetPocketIDItvCe(0xDEADBEEF, L"ignored", &length, &result), 0u);
  ASSERT_NE(result, nullptr);
  EXPECT_STREQ(static_cast<const char*>(result), "IN-PROCESS-7");
  EXPECT_EQ(length, 13u);

  // Neither the tool nor its file is touched again: a run would write the
  // file anew, and the open would create it.
  ASSERT_TRUE(DeleteFileW(kAssetFile));
  ScopedVariable other_id(kAssetIdVariable, L"CHANGED");
  std::uint32_t length_again = 0;
  const void* result_again = nullptr;
  EXPECT_EQ(GetPocketIDItvCe(0, nullptr, &length_again, &result_again), 0u);
  EXPECT_EQ(result_again, result);
  EXPECT_EQ(length_again, 13u);
  EXPECT_STREQ(static_cast<const char*>(result_again), "IN-PROCESS-7");
  EXPECT_FALSE(Exists(kAssetFile));
  EXPECT_EQ(GetPocketIDItvCe(0, nullptr, nullptr, nullptr), 0u);

  SetCurrentDirectoryW(previous);
}

struct DiskRecord {
  std::uint32_t success;
  std::uint64_t free_bytes;
};

DiskRecord QueryDisk(const wchar_t* path, const void** address) {
  std::uint32_t length = 0;
  EXPECT_EQ(GetDiskFreeSpaceItvCe(0xDEADBEEF, path, &length, address), 0u);
  EXPECT_EQ(length, 12u);
  const auto* bytes = static_cast<const unsigned char*>(*address);
  auto word = [bytes](int offset) {
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
           std::uint32_t{bytes[offset + 2]} << 16 |
           std::uint32_t{bytes[offset + 3]} << 24;
  };
  return {word(0), word(4) | std::uint64_t{word(8)} << 32};
}

TEST(DiskFreeWine, AgreesWithTheSystem) {
  // Others write to the same disk meanwhile: the answer must lie between
  // the system's answers just before and just after, give or take this.
  constexpr std::uint64_t kSlackBytes = 256ull << 20;
  const std::wstring paths[] = {L"C:\\", L"C:\\windows", test_binary_dir()};
  const void* first_address = nullptr;
  DiskRecord latest{};
  for (const std::wstring& path : paths) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    ULARGE_INTEGER before{}, after{}, total{}, total_free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(path.c_str(), &before, &total, &total_free));
    const void* address = nullptr;
    latest = QueryDisk(path.c_str(), &address);
    ASSERT_TRUE(GetDiskFreeSpaceExW(path.c_str(), &after, &total, &total_free));
    EXPECT_EQ(latest.success, 1u);
    EXPECT_GE(latest.free_bytes + kSlackBytes,
              std::min(before.QuadPart, after.QuadPart));
    EXPECT_LE(latest.free_bytes,
              std::max(before.QuadPart, after.QuadPart) + kSlackBytes);
    if (first_address == nullptr) first_address = address;
    EXPECT_EQ(address, first_address) << "one static record";
  }

  const void* address = nullptr;
  DiskRecord missing = QueryDisk(L"C:\\no such directory\\here", &address);
  EXPECT_EQ(address, first_address);
  EXPECT_EQ(missing.success, 0u);
  EXPECT_EQ(missing.free_bytes, latest.free_bytes) << "kept from before";
}

}  // namespace
