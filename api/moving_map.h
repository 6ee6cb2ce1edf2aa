// The host's moving-map entries: how many, and where each one is.
#pragma once

#include <cstdint>

#include "hostlink/status.h"
#include "platform/platform.h"

namespace orvek::api {

// Query "2": the count (see ParseCount), or -1 for any failure of the query.
std::int32_t GetMovingMapCount(platform::Platform& os);

// Query "3,index", answered with the record "f1,f2,f3,f4,f5": f1 goes to
// *value2, f2 to *value1, f3 to *value3 (numbers, see ParseNumber), f4 to
// text1 and f5 (to a comma or the end) to text2, in that order, each once
// the comma after it is found. Nothing is trimmed.
// 5 to 8 when the comma after field 1 to 4 is missing; 11 when a text field
// needs more than `textSize` bytes with its NUL. What was stored before a
// failure stays. 12 null out-parameter; 13 no memory; a failed query returns
// its status and writes nothing.
StatusCode GetMovingMapPosition(platform::Platform& os, std::int32_t index,
                                char* text1, double* value1, double* value2,
                                double* value3, std::uint32_t textSize,
                                char* text2);

}  // namespace orvek::api
