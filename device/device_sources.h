// Where the device identifier comes from: the names, places and sizes that
// the device services share with the platform and its tools. The stand-in
// asset tool of the Wine tests includes this too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvek::device {

// The device asset tool, started without arguments and waited for, and the
// file it writes. Both paths are relative to the current drive, as on the
// device, where there is only one.
inline constexpr char16_t kAssetToolPath[] = u"\\windows\\CreateAssetFile.exe";
inline constexpr char16_t kAssetFilePath[] = u"\\windows\\cpqAssetData.dat";

// The identifier is UTF-16LE text in the 64 bytes at byte 976 of the asset
// file, ending at its first zero unit or after 32 units.
inline constexpr std::uint32_t kAssetIdOffset = 976;
inline constexpr std::uint32_t kAssetIdBytes = 64;

// The platform's DEVICE_ID record (20-byte header, then data) is read into
// this many bytes; more than any record a device returns.
inline constexpr std::uint32_t kHardwareIdBufferBytes = 4096;

// Where the platform keeps a licensing hardware id (HKEY_LOCAL_MACHINE). The
// names are 8-bit text, widened through the ANSI code page when used.
inline constexpr char kHardwareIdKey[] =
    "SOFTWARE\\Microsoft\\MSLicensing\\HardwareID";
inline constexpr char kHardwareIdValue[] = "ClientHWID";
// A larger ClientHWID value counts as unreadable.
inline constexpr std::uint32_t kRegistryDataBytes = 2000;
// ClientHWID's first 4 bytes are not part of the id; a shorter value
// counts as unreadable.
inline constexpr std::uint32_t kClientHwidSkippedBytes = 4;

// Where the 11-digit identifier starts in the hex text of each source: after
// DEVICE_ID's 20-byte header, or at the first byte kept of ClientHWID. The
// identifier is 2 lead digits from there and 9 tail digits from 5 further
// on.
inline constexpr std::size_t kDeviceIdHexStart = 40;
inline constexpr std::size_t kClientHwidHexStart = 0;
inline constexpr std::size_t kLeadDigits = 2;
inline constexpr std::size_t kTailDigitsStart = 5;
inline constexpr std::size_t kTailDigits = 9;

// The identifier of a device on which no source can be read.
inline constexpr char kFallbackDeviceId[] = "QK508-316";

}  // namespace orvek::device
