#include "tools/orvekport/records.h"

#include "tools/orvekport/advice.h"

namespace orvek::cli {

namespace {

constexpr std::int64_t kDefaultTextSize = 256;

}  // namespace

std::int64_t mobile_text_size(const Run& run) {
  std::int64_t size = kDefaultTextSize;
  if (const char* text = run.option("text-size"))
    tools::parse_integer(text, 0, kMaxTextSize, &size);
  return size;
}

std::uint32_t read_waypoint(Run& run, std::int32_t index, HostRecord* record) {
  char id[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  char text[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  char icon[ORVEKPORT_WAYPOINT_TEXT_SIZE] = "";
  HostRecord read;
  std::uint32_t status =
      run.library.Get_Waypoint(index, id, text, &read.longitude, &read.latitude,
                           &read.altitude, icon);
  read.name = id;
  read.description = text;
  read.icon = icon;
  *record = std::move(read);
  return status;
}

std::uint32_t read_mobile(Run& run, std::int32_t index, HostRecord* record) {
  std::int64_t text_size = mobile_text_size(run);
  // One byte more than told, so an empty buffer still reads as "".
  std::vector<char> name(static_cast<std::size_t>(text_size) + 1, '\0');
  std::vector<char> description(static_cast<std::size_t>(text_size) + 1, '\0');
  HostRecord read;
  std::uint32_t status = run.library.GetMovingMapPosition(
      index, name.data(), &read.longitude, &read.latitude, &read.altitude,
      static_cast<std::uint32_t>(text_size), description.data());
  read.name = name.data();
  read.description = description.data();
  *record = std::move(read);
  return status;
}

std::optional<int> read_records(Run& run, std::int32_t count,
                                std::span<const char* const> fields,
                                ReadRecord read,
                                const std::string& after_failure,
                                std::vector<HostRecord>* records,
                                const std::function<void()>& on_failure) {
  for (std::int32_t index = 0; index < count; ++index) {
    PacketWatch watch = run.watch();
    HostRecord record;
    std::uint32_t status = read(run, index, &record);
    if (status != ORVEKPORT_OK) {
      if (on_failure) on_failure();
      run.report.note("at index " + std::to_string(index) + " of " +
                      std::to_string(count) + after_failure);
      return run.finish(watch, status, {std::nullopt, fields});
    }
    records->push_back(std::move(record));
  }
  return std::nullopt;
}

std::optional<std::int32_t> count_mobiles(Run& run, const std::string& problem,
                                          int* exit_code) {
  PacketWatch watch = run.watch();
  std::int32_t count = run.library.GetMovingMapCount();
  if (count != -1) return count;
  if (std::optional<std::string> reply = watch.fresh_reply())
    run.report.host_answered(visible(run.text.from_host(*reply)));
  else if (!run.system.host_path())
    explain_link_status(ORVEKPORT_E_REGISTRY, run.system, run.report);
  else if (!run.system.host_window_open())
    explain_link_status(ORVEKPORT_E_NO_HOST, run.system, run.report);
  *exit_code = run.report.fail(problem);
  return std::nullopt;
}

std::string unreadable(const std::string& what, const std::string& host_text,
                       const std::optional<std::string>& shown) {
  if (host_text.find(',') != std::string::npos)
    return what + (shown ? " '" + *shown + "'" : "") +
           " holds a comma, which splits the record when it is read back";
  if (host_text.size() > kMaxReadableText)
    return what + " is " + std::to_string(host_text.size()) +
           " bytes; a waypoint reads back texts of at most " +
           std::to_string(kMaxReadableText);
  return "";
}

}  // namespace orvek::cli
