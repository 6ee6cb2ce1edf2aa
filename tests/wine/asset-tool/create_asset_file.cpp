// A stand-in for the device asset tool, for the Wine tests. It writes
// cpqAssetData.dat beside itself with the text of the environment variable
// ORVEK_TEST_ASSET_ID as UTF-16LE at byte 976 and a zero unit after it.
// Without that variable it writes nothing, like a tool that found no asset
// data. It inherits its environment from the process that starts it.
#include <windows.h>

#include <string>

#include "device/device_sources.h"

namespace {

// Bytes before the identifier: not zero, so that a reader that looks in the
// wrong place finds text, not an empty one.
constexpr char kFiller = 'x';

std::wstring OwnDirectory() {
  wchar_t path[MAX_PATH];
  DWORD units = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, units);
  return directory.substr(0, directory.rfind(L'\\') + 1);
}

}  // namespace

int main() {
  wchar_t text[256];
  DWORD units = GetEnvironmentVariableW(L"ORVEK_TEST_ASSET_ID", text, 256);
  if (units == 0 || units >= 256) return 0;

  std::string contents(orvek::device::kAssetIdOffset, kFiller);
  for (DWORD i = 0; i <= units; ++i) {  // the terminator too
    contents += static_cast<char>(text[i] & 0xFF);
    contents += static_cast<char>(text[i] >> 8);
  }
  std::wstring path = OwnDirectory() + L"cpqAssetData.dat";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  BOOL ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()),
                      &written, nullptr);
  CloseHandle(file);
  return ok && written == contents.size() ? 0 : 1;
}
