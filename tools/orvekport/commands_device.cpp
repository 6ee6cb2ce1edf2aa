// Commands of the device services: device-id and disk-free. Neither needs
// the host application, so neither runs OrvekGPSPort_Init.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"

namespace orvekport_cli {
namespace {

// Exit code of a free-space query that the system refused.
constexpr int kQueryFailedExit = 1;

int run_device_id(int argc, char** argv);
int run_disk_free(int argc, char** argv);

constexpr Command kCommands[] = {
    {"device-id", "device-id",
     "Prints the device identifier (GetPocketIDItvCe) and its length with\n"
     "the NUL. The first call in a process runs \\windows\\CreateAssetFile.exe\n"
     "of the current drive when it exists; each run is a new process.",
     run_device_id},
    {"disk-free", "disk-free PATH",
     "Prints the bytes free to this user on the volume that holds PATH\n"
     "(GetDiskFreeSpaceItvCe), also in KiB, MiB, GiB or TiB. Exit code 1\n"
     "when the system can't answer for PATH (it does not exist, say).",
     run_disk_free},
};

// 5368709120 gives "5.00 GiB"; below 1 KiB the bytes as they are.
std::string human_size(std::uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB",
                                       "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double size = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (size >= 1024 && unit + 1 < std::size(kUnits)) {
    size /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f %s", size, kUnits[unit]);
  return text;
}

std::uint32_t read_le32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
         static_cast<std::uint32_t>(bytes[3]) << 24;
}

// ANSI text as UTF-16.
std::wstring widen(const char* text) {
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (units <= 1) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
  wide.resize(wide.size() - 1);
  return wide;
}

int run_device_id(int argc, char** argv) {
  Arguments args(argc, argv);
  if (!args.finish(0, 0))
    return usage_error(kCommands[0], args.problem().c_str());
  std::uint32_t length = 0;
  const void* result = nullptr;
  GetPocketIDItvCe(0, nullptr, &length, &result);
  const char* identifier = static_cast<const char*>(result);
  if (identifier == nullptr || identifier[0] == '\0') {
    std::printf("device id: none (no source gave one; length %u)\n",
                static_cast<unsigned>(length));
    return 0;
  }
  std::printf("device id: %s (%u bytes with the NUL)\n", identifier,
              static_cast<unsigned>(length));
  return 0;
}

int run_disk_free(int argc, char** argv) {
  const Command& self = kCommands[1];
  Arguments args(argc, argv);
  if (!args.finish(1, 1)) return usage_error(self, args.problem().c_str());
  // The path as UTF-16, so that names outside the ANSI code page survive.
  std::vector<std::wstring> wide = wide_arguments();
  std::wstring path = args.argv_index(0) < wide.size()
                          ? wide[args.argv_index(0)]
                          : widen(args[0]);

  std::uint32_t length = 0;
  const void* result = nullptr;
  GetDiskFreeSpaceItvCe(0, path.c_str(), &length, &result);
  // Copied at once: the record is the library's, rewritten by the next call.
  unsigned char record[12] = {};
  if (result != nullptr && length == sizeof(record))
    std::memcpy(record, result, sizeof(record));

  if (read_le32(record) != 1) {
    print_wide(L"disk-free: the free space of '" + path +
               L"' can't be queried\n");
    return kQueryFailedExit;
  }
  std::uint64_t free_bytes =
      read_le32(record + 4) | std::uint64_t{read_le32(record + 8)} << 32;
  print_wide(L"free on the volume of '" + path + L"': " +
             std::to_wstring(free_bytes) + L" bytes (" +
             widen(human_size(free_bytes).c_str()) + L")\n");
  return 0;
}

}  // namespace

std::span<const Command> device_commands() { return kCommands; }

}  // namespace orvekport_cli
