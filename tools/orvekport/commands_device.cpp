// Commands of the device services: device-id and disk-free. Neither needs
// the host application, so neither runs OrvekGPSPort_Init.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/win_text.h"
#include "tools/orvekport/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/report.h"

namespace orvek::cli {
namespace {

int run_device_id(std::span<const std::string> arguments);
int run_disk_free(std::span<const std::string> arguments);

constexpr Command kCommands[] = {
    {"device-id", "device-id",
     "Prints the device identifier (GetPocketIDItvCe) and its length with\n"
     "the NUL. The first call in a process runs "
     "\\windows\\CreateAssetFile.exe\n"
     "of the current drive when it exists; each run is a new process.",
     run_device_id},
    {"disk-free", "disk-free PATH",
     "Prints the bytes free to this user on the volume that holds PATH\n"
     "(GetDiskFreeSpaceItvCe), also in KiB, MiB, GiB or TiB. Exit code 3\n"
     "when the system can't answer for PATH (it does not exist, say).",
     run_disk_free},
};

// 5368709120 gives "5.00 GiB"; below 1 KiB the bytes as they are.
std::string human_size(std::uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB",
                                       "TiB", "PiB", "EiB"};
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

int run_device_id(std::span<const std::string> arguments) {
  const Command& self = kCommands[0];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(0, 0)) return report.refuse(args.problem(), self.usage);
  std::uint32_t length = 0;
  const void* result = nullptr;
  std::uint32_t status = GetPocketIDItvCe(0, nullptr, &length, &result);
  const char* identifier = static_cast<const char*>(result);
  report.add_bare(
      text_field("device_id",
                 identifier != nullptr
                     ? tools::narrow(CP_UTF8, tools::widen(CP_ACP, identifier))
                     : ""));
  report.add(integer_field("length", length));
  if (identifier == nullptr || identifier[0] == '\0')
    report.note("no source gave an identifier");
  return report.finish(status);
}

int run_disk_free(std::span<const std::string> arguments) {
  const Command& self = kCommands[1];
  Report report(self.name);
  Arguments args(arguments);
  if (!args.finish(1, 1)) return report.refuse(args.problem(), self.usage);
  std::wstring path = tools::widen(CP_UTF8, args[0]);

  std::uint32_t length = 0;
  const void* result = nullptr;
  std::uint32_t status =
      GetDiskFreeSpaceItvCe(0, path.c_str(), &length, &result);
  // Copied at once: the record is the library's, rewritten by the next call.
  unsigned char record[12] = {};
  if (result != nullptr && length == sizeof(record))
    std::memcpy(record, result, sizeof(record));
  report.add(text_field("path", args[0]));
  if (read_le32(record) != 1)
    return report.fail("the free space of '" + std::string(args[0]) +
                       "' can't be queried: check that the path exists");
  std::uint64_t free_bytes =
      read_le32(record + 4) | std::uint64_t{read_le32(record + 8)} << 32;
  report.add(
      integer_field("free_bytes", static_cast<std::int64_t>(free_bytes)));
  report.add(text_field("free", human_size(free_bytes)));
  return report.finish(status);
}

}  // namespace

std::span<const Command> device_commands() { return kCommands; }

}  // namespace orvek::cli
