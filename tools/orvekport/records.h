// The host's waypoints and moving-map entries as the client reads them
// through the library, one record at a time: for get, list, export and
// import --replace alike. Plain C++.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "OrvekPORT/OrvekPORT.h"
#include "tools/orvekport/run.h"

namespace orvek::cli {

// Each text the host reads back fits its buffer with the NUL.
inline constexpr std::size_t kMaxReadableText = ORVEKPORT_WAYPOINT_TEXT_SIZE - 1;

// The fields of each record in the order the host sends them: the waypoint
// as "M" takes it, the moving-map entry as query "3,i" answers it.
inline constexpr const char* kWaypointFields[] = {
    "id", "description", "longitude", "latitude", "altitude", "icon"};
inline constexpr const char* kMobileFields[] = {
    "latitude", "longitude", "altitude", "name", "description"};

// Texts as the host gave them, in its code page.
struct HostRecord {
  std::string name, description, icon;  // a waypoint's id is its name
  double longitude = 0, latitude = 0, altitude = 0;
};

// The moving-map record's text buffers: --text-size, else 256 bytes.
inline constexpr std::int64_t kMaxTextSize = 1 << 20;
std::int64_t mobile_text_size(const Run& run);

// One waypoint (OrvekGPSPort_Get_Waypoint); the status of the query.
std::uint32_t read_waypoint(Run& run, std::int32_t index, HostRecord* record);
// One moving-map entry (OrvekGPSPort_GetMovingMapPosition) with text
// buffers of mobile_text_size() bytes; the status of the query.
std::uint32_t read_mobile(Run& run, std::int32_t index, HostRecord* record);

// A reader of record i, one of the two above.
using ReadRecord = std::uint32_t (*)(Run& run, std::int32_t index,
                                     HostRecord* record);

// Reads records 0 to count - 1 into *records in order, each call watched:
// nothing when all were read, else the exit code after the first failure
// has finished the report with a note of where (and `after_failure`);
// `on_failure` runs first, with *records holding those read before.
std::optional<int> read_records(Run& run, std::int32_t count,
                                std::span<const char* const> fields,
                                ReadRecord read,
                                const std::string& after_failure,
                                std::vector<HostRecord>* records,
                                const std::function<void()>& on_failure = {});

// OrvekGPSPort_GetMovingMapCount, watched: the count, or nothing after
// -1 has finished the report (exit 3) with what the host said, or why
// there was no answer, and `problem`.
std::optional<std::int32_t> count_mobiles(Run& run, const std::string& problem,
                                          int* exit_code);

// Why a text for a waypoint would not read back from the host (a comma
// splits the record; a text over kMaxReadableText bytes does not fit), or
// "". `what` names it, `shown` (when given) quotes it.
std::string unreadable(const std::string& what, const std::string& host_text,
                       const std::optional<std::string>& shown = std::nullopt);

}  // namespace orvek::cli
