// The device exports under Wine: the identifier from a stand-in asset tool
// in C:\windows and from a ClientHWID value in the real registry, and the
// free space against GetDiskFreeSpaceExW. Wine has no KernelIoControl, so
// the registry is always the second source here.
//
// The identifier is worked out once per process, so only one test calls
// GetPocketIDItvCe in this program; the rows of sources ask a fresh process
// each time (this program again, running the disabled DeviceProbe test).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/win_process.h"
#include "wine_support.h"

namespace orvek::winetest {
namespace {

using Bytes = std::vector<BYTE>;

constexpr wchar_t kToolPath[] = L"C:\\windows\\CreateAssetFile.exe";
constexpr wchar_t kAssetFile[] = L"C:\\windows\\cpqAssetData.dat";
constexpr wchar_t kHwidKey[] = L"SOFTWARE\\Microsoft\\MSLicensing\\HardwareID";
constexpr wchar_t kHwidValue[] = L"ClientHWID";
// Read by the stand-in tool: the text it writes, or nothing when unset.
constexpr wchar_t kAssetIdVariable[] = L"ORVEK_TEST_ASSET_ID";

// The sources of one setup while in scope: the stand-in asset tool in
// C:\windows or none, the text it writes (null: no file), and the
// ClientHWID value or none. The tool, its file and the value go again.
struct Sources {
  Sources(bool tool, const wchar_t* asset_id, const Bytes* client_hwid) {
    Clear();
    SetEnvironmentVariableW(kAssetIdVariable, asset_id);
    std::wstring built = test_binary_dir() + L"\\CreateAssetFile.exe";
    ok = (!tool || CopyFileW(built.c_str(), kToolPath, FALSE)) &&
         (!client_hwid ||
          RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHwidKey, kHwidValue, REG_BINARY,
                          client_hwid->data(), client_hwid->size()) ==
              ERROR_SUCCESS);
  }
  ~Sources() { Clear(); }
  static void Clear() {
    DeleteFileW(kToolPath);
    DeleteFileW(kAssetFile);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kHwidKey);  // the value goes with it
    SetEnvironmentVariableW(kAssetIdVariable, nullptr);
  }
  bool ok = false;
};

// Run in a child process (see below): prints the identifier of a process
// that asks for the first time.
TEST(DeviceProbe, DISABLED_PrintsTheIdentifier) {
  std::uint32_t length = 0;
  const void* result = nullptr;
  ASSERT_EQ(GetPocketIDItvCe(0xFFFFFFFFu, "ignored", &length, &result), 0u);
  std::printf("\nidentifier: %u %s\n", static_cast<unsigned>(length),
              static_cast<const char*>(result));
}

// What a fresh process gets, run with C: as its current drive: "LENGTH
// TEXT", or "failed".
std::string RunProbe() {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  tools::ProcessRun run = tools::run_process(
      exe, L"--gtest_also_run_disabled_tests --gtest_filter=DeviceProbe.*",
      test_binary_dir(), 60000, L"C:\\");
  std::size_t start = run.out.find("\nidentifier: ");
  if (!run.finished || run.exit_code != 0 || start == std::string::npos)
    return "failed";
  start += 13;
  return run.out.substr(start, run.out.find_first_of("\r\n", start) - start);
}

TEST(DeviceIdWine, SourcesInOrderAndTheFirstAnswerKept) {
  Bytes counting(20);
  std::iota(counting.begin(), counting.end(), BYTE{0});
  // Value bytes 4..10 are 01 23 45 67 89 AB CD.
  const Bytes sample = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23,
                        0x45, 0x67, 0x89, 0xAB, 0xCD};
  const Bytes four(counting.begin(), counting.begin() + 4);
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
    Sources sources(c.tool, c.asset_id, c.client_hwid);
    ASSERT_TRUE(sources.ok) << "can't place the tool or write ClientHWID";
    EXPECT_EQ(RunProbe(), c.expected);
    if (c.tool && c.asset_id == nullptr) {
      WIN32_FILE_ATTRIBUTE_DATA data{};
      ASSERT_TRUE(
          GetFileAttributesExW(kAssetFile, GetFileExInfoStandard, &data))
          << "the library's open creates the missing file";
      EXPECT_EQ(data.nFileSizeLow, 0u);
    }
  }

  // In this process, through the import library: the tool runs on the
  // first call only. The library's paths are relative to the current drive.
  Sources sources(true, L"IN-PROCESS-7", nullptr);
  ASSERT_TRUE(sources.ok);
  wchar_t previous[MAX_PATH];
  ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  std::uint32_t length[2] = {};
  const void* result[2] = {};
  EXPECT_EQ(GetPocketIDItvCe(0xDEADBEEF, L"ignored", &length[0], &result[0]),
            0u);
  ASSERT_NE(result[0], nullptr);
  EXPECT_STREQ(static_cast<const char*>(result[0]), "IN-PROCESS-7");
  // Neither the tool nor its file is touched again: a run would write the
  // file anew, and the open would create it.
  ASSERT_TRUE(DeleteFileW(kAssetFile));
  SetEnvironmentVariableW(kAssetIdVariable, L"CHANGED");
  EXPECT_EQ(GetPocketIDItvCe(0, nullptr, &length[1], &result[1]), 0u);
  EXPECT_EQ(std::tie(length[1], result[1]), std::tie(length[0], result[0]));
  EXPECT_EQ(length[0], 13u);
  EXPECT_EQ(GetFileAttributesW(kAssetFile), INVALID_FILE_ATTRIBUTES);
  SetCurrentDirectoryW(previous);
}

TEST(DiskFreeWine, AgreesWithTheSystem) {
  // Others write to the same disk meanwhile: the answer must lie between
  // the system's answers just before and just after, give or take this.
  constexpr std::uint64_t kSlackBytes = 256ull << 20;
  struct Record {
    std::uint32_t success;
    std::uint64_t free_bytes;
    const void* address;
  };
  auto query = [](const std::wstring& path) {
    std::uint32_t length = 0;
    Record record{};
    EXPECT_EQ(GetDiskFreeSpaceItvCe(0xDEADBEEF, path.c_str(), &length,
                                    &record.address),
              0u);
    std::memcpy(&record.success, record.address, 4);  // both little-endian
    std::memcpy(&record.free_bytes,
                static_cast<const char*>(record.address) + 4, 8);
    return record;
  };
  Record latest{};
  for (const std::wstring& path : {std::wstring(L"C:\\"),
                                   std::wstring(L"C:\\windows"),
                                   test_binary_dir()}) {
    SCOPED_TRACE(to_ansi(path));
    ULARGE_INTEGER before{}, after{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(path.c_str(), &before, nullptr, nullptr));
    Record record = query(path);
    ASSERT_TRUE(GetDiskFreeSpaceExW(path.c_str(), &after, nullptr, nullptr));
    EXPECT_EQ(record.success, 1u);
    EXPECT_GE(record.free_bytes + kSlackBytes,
              std::min(before.QuadPart, after.QuadPart));
    EXPECT_LE(record.free_bytes,
              std::max(before.QuadPart, after.QuadPart) + kSlackBytes);
    EXPECT_TRUE(!latest.address || record.address == latest.address)
        << "one static record";
    latest = record;
  }

  Record missing = query(L"C:\\no such directory\\here");
  EXPECT_EQ(missing.address, latest.address);
  EXPECT_EQ(missing.success, 0u);
  EXPECT_EQ(missing.free_bytes, latest.free_bytes) << "kept from before";
}

}  // namespace
}  // namespace orvek::winetest
