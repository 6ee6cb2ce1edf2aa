#include "api/map_commands.h"

#include "api/bounded_text.h"
#include "api/number_format.h"
#include "hostlink/discovery.h"
#include "hostlink/envelopes.h"
#include "hostlink/packet_exchange.h"
#include "protocol/host_protocol.h"

namespace orvek::api {
namespace {

// Sends a body composed in kFormattedBodyRoom bytes, or refuses it whole.
StatusCode SendFormatted(platform::Platform& os, const char* letter,
                         const BoundedText& body) {
  if (body.overflowed()) return ORVEKPORT_E_TOO_LONG;
  return hostlink::SendCommand(os, letter, body.c_str());
}

}  // namespace

StatusCode MovingMapInit(platform::Platform& os) {
  if (StatusCode status = hostlink::EnsureHostWindow(os);
      status != ORVEKPORT_OK)
    return status;
  // Fire and forget: a window that has closed meanwhile is not looked up
  // again.
  hostlink::PostMovingMapInit(os);
  return ORVEKPORT_OK;
}

StatusCode SendTextCommand(platform::Platform& os, const char* letter,
                           const char* text) {
  if (text == nullptr) return ORVEKPORT_E_INVALID_ARGUMENT;
  // A text over 196 bytes is refused by the exchange, before any file.
  return hostlink::SendCommand(os, letter, text);
}

StatusCode OpenFile(platform::Platform& os, const char* fileName) {
  return SendTextCommand(os, protocol::kOpenFileCommand, fileName);
}

StatusCode DeleteMobile(platform::Platform& os, const char* mobileName) {
  return SendTextCommand(os, protocol::kDeleteMobileCommand, mobileName);
}

StatusCode ExportViewFile(platform::Platform& os, const char* fileName) {
  return SendTextCommand(os, protocol::kExportViewCommand, fileName);
}

StatusCode ExecCommand(platform::Platform& os, std::int32_t command) {
  char buffer[kFormattedBodyRoom];
  BoundedText body(buffer, sizeof(buffer));
  body.append(DecimalText(command).view());  // I|12
  return SendFormatted(os, protocol::kExecCommand, body);
}

StatusCode SetViewportLen(platform::Platform& os, std::int32_t len1,
                          std::int32_t len2) {
  char buffer[kFormattedBodyRoom];
  BoundedText body(buffer, sizeof(buffer));
  // K|320,-240
  body.append(DecimalText(len1).view()).append(",").append(
      DecimalText(len2).view());
  return SendFormatted(os, protocol::kViewportCommand, body);
}

StatusCode CenterWaypoint(platform::Platform& os, const char* waypoint,
                          double value) {
  if (waypoint == nullptr) return ORVEKPORT_E_INVALID_ARGUMENT;
  char buffer[kFormattedBodyRoom];
  BoundedText body(buffer, sizeof(buffer));
  // L|WP1,2.500000
  body.append(waypoint).append(",").append(FixedText(value).view());
  return SendFormatted(os, protocol::kCenterWaypointCommand, body);
}

StatusCode CenterCoordinate(platform::Platform& os, double value1,
                            double value2, double value3) {
  char buffer[kFormattedBodyRoom];
  BoundedText body(buffer, sizeof(buffer));
  // O|2.100000,41.500000,0.000000
  body.append(FixedText(value1).view())
      .append(",")
      .append(FixedText(value2).view())
      .append(",")
      .append(FixedText(value3).view());
  return SendFormatted(os, protocol::kCenterCoordinateCommand, body);
}

}  // namespace orvek::api
