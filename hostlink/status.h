// StatusCode and its named values, shared by every layer of the library.
#pragma once

#include <cstdint>

#include "OrvekPORT/OrvekPORT.h"

namespace orvek {

// 0 is success; the values and their meanings are the public header's.
using StatusCode = std::uint32_t;

inline constexpr StatusCode kOk = ORVEKPORT_OK;
inline constexpr StatusCode kNoHost = ORVEKPORT_E_NO_HOST;
inline constexpr StatusCode kRegistry = ORVEKPORT_E_REGISTRY;
inline constexpr StatusCode kCreateRequest = ORVEKPORT_E_CREATE_REQUEST;
inline constexpr StatusCode kWriteRequest = ORVEKPORT_E_WRITE_REQUEST;
inline constexpr StatusCode kTimeout = ORVEKPORT_E_TIMEOUT;
inline constexpr StatusCode kOpenReply = ORVEKPORT_E_OPEN_REPLY;
inline constexpr StatusCode kReadReply = ORVEKPORT_E_READ_REPLY;
inline constexpr StatusCode kNoResult = ORVEKPORT_E_NO_RESULT;
inline constexpr StatusCode kTooLong = ORVEKPORT_E_TOO_LONG;
inline constexpr StatusCode kInvalidArgument = ORVEKPORT_E_INVALID_ARGUMENT;
inline constexpr StatusCode kNoMemory = ORVEKPORT_E_NO_MEMORY;
inline constexpr StatusCode kBusy = ORVEKPORT_E_BUSY;

}  // namespace orvek
