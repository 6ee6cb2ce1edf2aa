// Exports of the host link: thin calls into hostlink/ on the Win32 backend.
#include "OrvekPORT/OrvekPORT.h"
#include "OrvekPORT/wide_text.h"
#include "hostlink/discovery.h"
#include "hostlink/envelopes.h"
#include "platform/win32/win32_platform.h"

using orvek::platform::win32_platform;

extern "C" {

uint32_t ORVEKPORT_CALL OrvekGPSPort_Version(void) {
  return orvek::hostlink::kInterfaceVersion;
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Init(void) {
  return orvek::hostlink::Init(win32_platform());
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_GetString(const char* request,
                                               uint32_t capacity,
                                               char* result) {
  return orvek::hostlink::GetString(win32_platform(), request, capacity,
                                    result);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_StringProtocolW(const wchar_t* request,
                                                     int32_t capacity,
                                                     wchar_t* result) {
  return orvek::hostlink::StringProtocolW(win32_platform(), utf16(request),
                                          capacity, utf16(result));
}

}  // extern "C"
