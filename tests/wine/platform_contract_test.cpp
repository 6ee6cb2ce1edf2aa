// The Win32 backend keeps the same platform contract as the fake.
#include <windows.h>

#include <string>

#include "platform/win32/win32_platform.h"
#include "tests/support/platform_contract.h"

namespace {

std::u16string Utf16(const std::wstring& text) {
  return std::u16string(text.begin(), text.end());
}
const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

TEST(Win32PlatformTest, KeepsThePlatformContract) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring directory = std::wstring(temp) + L"orvek-contract-" +
                           std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);

  HANDLE held = INVALID_HANDLE_VALUE;
  std::u16string event_name =
      u"OrvekContract" + Utf16(std::to_wstring(GetCurrentProcessId()));
  orvek::testing::ContractWorld world{
      orvek::platform::win32_platform(),
      Utf16(directory),
      [&](const std::u16string& path) {
        held = CreateFileW(Wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
      },
      [&] { CloseHandle(held); },
      [&](const std::u16string& name) {
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(name));
        ASSERT_NE(event, nullptr);
        SetEvent(event);
        CloseHandle(event);
      },
      event_name};
  orvek::testing::RunPlatformContract(world);

  DeleteFileW((directory + L"\\contract.dat").c_str());
  RemoveDirectoryW(directory.c_str());
}

}  // namespace
