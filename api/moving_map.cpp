#include "api/moving_map.h"

#include "api/bounded_text.h"
#include "api/map_commands.h"
#include "api/number_format.h"
#include "api/record_fields.h"
#include "hostlink/discovery.h"
#include "platform/scratch_buffer.h"
#include "protocol/host_protocol.h"

namespace orvek::api {
namespace {

// The record may be longer than one text field by this much: the three
// numbers and the commas around them.
constexpr std::uint32_t kRecordSpare = 100;
// Keeps textSize + kRecordSpare, and the ten spare bytes that the query
// adds to it, inside 32 bits; a reply can't come near this anyway.
constexpr std::uint32_t kMaxRecordCapacity = 0x7FFFFFFF;
// The record's buffer lies on the stack up to the library's own reply
// capacity (a text size of up to 900 bytes), on the heap above.
constexpr std::size_t kRecordStackBytes = protocol::kReplyCapacity;
static_assert(kRecordStackBytes > kRecordSpare,
              "a record of some text fits on the stack");

}  // namespace

std::int32_t GetMovingMapCount(platform::Platform& os) {
  char result[kCountCapacity];
  if (hostlink::GetString(os, protocol::kMobileCountQuery, kCountCapacity,
                          result) != ORVEKPORT_OK)
    return -1;
  return ParseCount(result);  // G|3
}

StatusCode GetMovingMapPosition(platform::Platform& os, std::int32_t index,
                                char* text1, double* value1, double* value2,
                                double* value3, std::uint32_t textSize,
                                char* text2) {
  if (text1 == nullptr || text2 == nullptr || value1 == nullptr ||
      value2 == nullptr || value3 == nullptr)
    return ORVEKPORT_E_INVALID_ARGUMENT;
  std::uint32_t capacity = textSize < kMaxRecordCapacity - kRecordSpare
                               ? textSize + kRecordSpare
                               : kMaxRecordCapacity;
  platform::ScratchBuffer<kRecordStackBytes> result(os, capacity);
  if (!result) return ORVEKPORT_E_NO_MEMORY;

  char request_buffer[kFormattedBodyRoom];
  BoundedText request(request_buffer, sizeof(request_buffer));
  request.append(protocol::kMobileRecordQuery)
      .append(DecimalText(index).view());  // F|3,7
  StatusCode status =
      hostlink::GetString(os, request.c_str(), capacity, result.get());
  if (status != ORVEKPORT_OK) return status;

  // G|41.5,2.1,120,Boat 1,moored -> value2 41.5, value1 2.1, value3 120
  RecordReader record(result.get());
  std::string_view field;
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD1;
  *value2 = ParseNumber(field);
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD2;
  *value1 = ParseNumber(field);
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD3;
  *value3 = ParseNumber(field);
  if (!record.next(field)) return ORVEKPORT_E_NO_COMMA_AFTER_FIELD4;
  if ((status = CopyField(field, text1, textSize)) != ORVEKPORT_OK)
    return status;
  return CopyField(record.last(), text2, textSize);
}

}  // namespace orvek::api
