// Commands of the device services: device-id and disk-free. Neither needs
// the host application, so neither runs OrvekGPSPort_Init.
#include <cstdio>
#include <cstring>
#include <string>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/common/text.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {
namespace {

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

int run_device_id(Run& run) {
  std::uint32_t length = 0;
  const void* result = nullptr;
  std::uint32_t status = run.library.GetPocketIDItvCe(&length, &result);
  const char* identifier = static_cast<const char*>(result);
  run.report.add_bare(text_field(
      "device_id",
      identifier != nullptr ? run.system.from_code_page(identifier) : ""));
  run.report.add(integer_field("length", length));
  if (identifier == nullptr || identifier[0] == '\0')
    run.report.note("no source gave an identifier");
  return run.report.finish(status);
}

int run_disk_free(Run& run) {
  std::u16string path = tools::utf16_of(run[0]);
  std::uint32_t length = 0;
  const void* result = nullptr;
  std::uint32_t status =
      run.library.GetDiskFreeSpaceItvCe(path.c_str(), &length, &result);
  // Copied at once: the record is the library's, rewritten by the next call.
  unsigned char record[12] = {};
  if (result != nullptr && length == sizeof(record))
    std::memcpy(record, result, sizeof(record));
  run.report.add(text_field("path", run[0]));
  if (read_le32(record) != 1)
    return run.report.fail("the free space of '" + std::string(run[0]) +
                           "' can't be queried: check that the path exists");
  std::uint64_t free_bytes =
      read_le32(record + 4) | std::uint64_t{read_le32(record + 8)} << 32;
  run.report.add(
      integer_field("free_bytes", static_cast<std::int64_t>(free_bytes)));
  run.report.add(text_field("free", human_size(free_bytes)));
  return run.report.finish(status);
}


constexpr Command kCommands[] = {
    {"device-id", "device-id",
     "Prints the device identifier (GetPocketIDItvCe) and its length with\n"
     "the NUL. The first call in a process runs "
     "\\windows\\CreateAssetFile.exe\n"
     "of the current drive when it exists; each run is a new process.",
     {nullptr, 0, 0, {}, HostNeed::kNone, run_device_id}},
    {"disk-free", "disk-free PATH",
     "Prints the bytes free to this user on the volume that holds PATH\n"
     "(GetDiskFreeSpaceItvCe), also in KiB, MiB, GiB or TiB. Exit code 3\n"
     "when the system can't answer for PATH (it does not exist, say).",
     {nullptr, 1, 1, {}, HostNeed::kNone, run_disk_free}},
};

}  // namespace

std::span<const Command> device_commands() { return kCommands; }

}  // namespace orvek::cli
