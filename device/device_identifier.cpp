#include "device/device_identifier.h"

#include <algorithm>
#include <cstring>

#include "device/device_sources.h"
#include "device/device_state.h"
#include "platform/unique_handle.h"

namespace orvek::device {
namespace {

// The asset read goes into a zeroed buffer twice the size of the read, so
// the text always ends within it.
constexpr std::size_t kAssetBufferBytes = 2 * kAssetIdBytes;
constexpr std::size_t kAssetBufferUnits = kAssetBufferBytes / 2;
// Three bytes a UTF-16 unit is the most any ANSI code page needs.
constexpr int kAssetAnsiBytes = 3 * kAssetIdBytes / 2 + 1;

// Room for the widened registry names, terminator included.
constexpr int kRegistryNameUnits = 64;

// The bytes a hardware source gave and where the identifier starts in their
// hex text.
struct HardwareBytes {
  const std::uint8_t* data;
  std::uint32_t count;
  std::size_t hex_start;
};

// Reads ClientHWID into `value` and gives its bytes after the first 4; false
// when the key does not open or the value is missing, too long or too short.
bool ReadClientHwid(platform::Platform& os,
                    std::uint8_t (&value)[kRegistryDataBytes],
                    HardwareBytes* bytes) {
  char16_t key_name[kRegistryNameUnits];
  char16_t value_name[kRegistryNameUnits];
  if (os.ansi_to_wide(kHardwareIdKey, key_name, kRegistryNameUnits) == 0 ||
      os.ansi_to_wide(kHardwareIdValue, value_name, kRegistryNameUnits) == 0)
    return false;
  platform::UniqueRegKey key(os);
  if (!os.reg_open_key(key_name, key.put())) return false;
  std::uint32_t size = kRegistryDataBytes;
  if (!os.reg_query_value(key.get(), value_name, value, &size)) return false;
  size = std::min(size, kRegistryDataBytes);
  if (size < kClientHwidSkippedBytes) return false;
  *bytes = {value + kClientHwidSkippedBytes, size - kClientHwidSkippedBytes,
            kClientHwidHexStart};
  return true;
}

// Copies up to `digits` digits of the "%02X" text of `bytes` (0x01, 0xAB
// reads "01AB"), starting at digit `from`, into `out`; returns how many.
std::size_t CopyHexDigits(const HardwareBytes& bytes, std::size_t from,
                          std::size_t digits, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::size_t total = 2 * std::size_t{bytes.count};
  std::size_t copied = 0;
  for (std::size_t i = from; i < total && copied < digits; ++i, ++copied) {
    std::uint8_t byte = bytes.data[i / 2];
    out[copied] = kDigits[i % 2 == 0 ? byte >> 4 : byte & 0x0F];
  }
  return copied;
}

DeviceIdText FromText(const char* text) {
  DeviceIdText id{};
  std::size_t length = std::strlen(text);
  if (length >= sizeof(id.text)) length = sizeof(id.text) - 1;
  std::memcpy(id.text, text, length);
  return id;
}

}  // namespace

DeviceIdText ReadAssetIdentifier(platform::Platform& os) {
  {  // The tool's process and thread are closed before its file is read.
    platform::UniqueObject process(os);
    platform::UniqueObject thread(os);
    if (!os.create_process(kAssetToolPath, process.put(), thread.put()))
      return {};
    os.wait(process.get(), platform::kInfinite);
  }

  // OPEN_ALWAYS: a tool that wrote nothing leaves an empty file behind.
  platform::UniqueFile file(
      os, os.create_file(kAssetFilePath, platform::kGenericRead,
                         platform::kFileShareRead,
                         platform::Disposition::OpenAlways));
  if (!file) return {};
  // Read from anywhere else, the file would give a wrong identifier.
  if (!os.seek_file(file.get(), kAssetIdOffset)) return {};
  std::uint8_t bytes[kAssetBufferBytes] = {};
  // A short read leaves zeros behind, so its outcome does not matter.
  std::uint32_t bytes_read = 0;
  os.read_file(file.get(), bytes, kAssetIdBytes, &bytes_read);
  file.reset();

  char16_t text[kAssetBufferUnits];
  for (std::size_t i = 0; i < kAssetBufferUnits; ++i)
    text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  char ansi[kAssetAnsiBytes];
  if (os.wide_to_ansi(text, ansi, kAssetAnsiBytes) == 0) return {};
  return FromText(ansi);
}

DeviceIdText ReadHardwareIdentifier(platform::Platform& os) {
  std::uint8_t record[kHardwareIdBufferBytes];
  std::uint8_t value[kRegistryDataBytes];
  HardwareBytes bytes{};
  std::uint32_t returned = 0;
  if (os.device_id(record, kHardwareIdBufferBytes, &returned)) {
    bytes = {record, std::min(returned, kHardwareIdBufferBytes),
             kDeviceIdHexStart};
  } else if (!ReadClientHwid(os, value, &bytes)) {
    return FromText(kFallbackDeviceId);
  }

  // The byte after the lead digits' byte and the high half of the next one
  // are left out: record bytes 01 23 45 67 89 AB CD give "01" + "56789ABCD".
  DeviceIdText id{};
  std::size_t length =
      CopyHexDigits(bytes, bytes.hex_start, kLeadDigits, id.text);
  CopyHexDigits(bytes, bytes.hex_start + kTailDigitsStart, kTailDigits,
                id.text + length);
  return id;
}

DeviceIdText GetDeviceIdentifier(platform::Platform& os) {
  if (CachedDeviceId.text[0] != '\0') return CachedDeviceId;
  DeviceIdText identifier = ReadAssetIdentifier(os);
  if (identifier.text[0] == '\0') identifier = ReadHardwareIdentifier(os);
  // Empty stays empty: the next call asks the sources again.
  CachedDeviceId = identifier;
  return identifier;
}

std::uint32_t PocketIdItvCe(platform::Platform& os, std::uint32_t* length,
                            const void** result) {
  DeviceIdText identifier = GetDeviceIdentifier(os);
  std::memcpy(PocketIdBuffer, identifier.text, sizeof(PocketIdBuffer));
  std::size_t bytes = std::strlen(PocketIdBuffer);
  StoreItvCeResult(length, result, static_cast<std::uint32_t>(bytes + 1),
                   PocketIdBuffer);
  return 0;
}

}  // namespace orvek::device
