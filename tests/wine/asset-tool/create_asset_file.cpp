// A stand-in for the device asset tool, for the Wine tests. It writes
// cpqAssetData.dat beside itself with the text of the environment variable
// ORVEK_TEST_ASSET_ID as UTF-16LE at byte 976 and a zero unit after it.
// Without that variable it writes nothing, like a tool that found no asset
// data. It inherits its environment from the process that starts it.
#include <windows.h>

#include <string>

#include "device/device_sources.h"
#include "tools/common/win_files.h"

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
  return orvek::tools::write_whole_file(OwnDirectory() + L"cpqAssetData.dat",
                                        contents)
             ? 0
             : 1;
}
