// StatusCode, shared by every layer of the library. The values are the
// public header's enumerators (ORVEKPORT_E_TIMEOUT and so on), used as they
// stand: the header's table is the only list of them.
#pragma once

#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"

namespace orvek {

// 0 is success.
using StatusCode = std::uint32_t;

}  // namespace orvek
