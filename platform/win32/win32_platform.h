// The Win32 backend of the platform layer, used by OrvekPORT.dll.
#pragma once

#include "platform/platform.h"

namespace orvek::platform {

// The process-wide Win32 backend; it holds no state of its own.
Platform& win32_platform();

}  // namespace orvek::platform
