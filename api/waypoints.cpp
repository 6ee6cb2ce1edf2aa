#include "api/waypoints.h"

#include "api/bounded_text.h"
#include "api/map_commands.h"
#include "api/number_format.h"
#include "api/record_fields.h"
#include "hostlink/discovery.h"
#include "hostlink/envelopes.h"
#include "protocol/host_protocol.h"

namespace orvek::api {

using namespace protocol;
namespace {

// The waypoint query's reply capacity and result buffer: room for the
// record of three numbers and three texts the host reads back.
constexpr std::uint32_t kWaypointCapacity = kReplyCapacity;
static_assert(kWaypointCapacity >= 3 * kWaypointTextSize,
              "a waypoint record holds its three texts");

}  // namespace

StatusCode NewWaypoint(platform::Platform& os, const char* id,
                       const char* text, double value1, double value2,
                       double value3, const char* icon) {
  // Composed straight into the room of a command body, so it can't overrun
  // whatever the texts and numbers are: a body that doesn't fit is refused.
  char buffer[kMaxCommandBody + 1];
  BoundedText body(buffer, sizeof(buffer));
  // M|a,b,2.100000,41.500000,120.000000,c
  body.append(id ? id : "")
      .append(",")
      .append(text ? text : "")
      .append(",")
      .append(FixedText(value1).view())
      .append(",")
      .append(FixedText(value2).view())
      .append(",")
      .append(FixedText(value3).view())
      .append(",")
      .append(icon ? icon : "");
  if (body.overflowed()) return ORVEKPORT_E_TOO_LONG;
  return hostlink::SendCommand(os, kNewWaypointCommand, body.c_str());
}

StatusCode DeleteWaypoint(platform::Platform& os, const char* waypoint) {
  return SendTextCommand(os, kDeleteWaypointCommand, waypoint);
}

StatusCode GetWaypointCount(platform::Platform& os, std::int32_t* count) {
  if (count == nullptr) return ORVEKPORT_E_INVALID_ARGUMENT;
  char result[kCountCapacity];
  StatusCode status =
      hostlink::GetString(os, kWaypointCountQuery, kCountCapacity, result);
  if (status != ORVEKPORT_OK) return status;
  *count = ParseCount(result);  // G|12
  return ORVEKPORT_OK;
}

StatusCode GetWaypoint(platform::Platform& os, std::int32_t index, char* id,
                       char* text, double* value1, double* value2,
                       double* value3, char* icon) {
  if (id == nullptr || text == nullptr || value1 == nullptr ||
      value2 == nullptr || value3 == nullptr || icon == nullptr)
    return ORVEKPORT_E_INVALID_ARGUMENT;
  char request_buffer[kFormattedBodyRoom];
  BoundedText request(request_buffer, sizeof(request_buffer));
  request.append(kWaypointRecordQuery)
      .append(DecimalText(index).view());  // F|2,5

  char result[kWaypointCapacity];
  StatusCode status =
      hostlink::GetString(os, request.c_str(), kWaypointCapacity, result);
  if (status != ORVEKPORT_OK) return status;

  // G|WP1,Harbour,2.100000,41.500000,120.000000,anchor
  RecordReader record(result);
  std::string_view field;
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD1;
  if ((status = CopyField(field, id, kWaypointTextSize)) != ORVEKPORT_OK)
    return status;
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD2;
  if ((status = CopyField(field, text, kWaypointTextSize)) != ORVEKPORT_OK)
    return status;
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD3;
  *value1 = ParseNumber(field);
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD4;
  *value2 = ParseNumber(field);
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD5;
  *value3 = ParseNumber(field);
  return CopyField(record.last(), icon, kWaypointTextSize);
}

}  // namespace orvek::api
