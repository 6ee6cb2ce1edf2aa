// Load and unload of the library into a process. The cached device
// identifier is the only state that needs it; everything else starts zero
// and is left for the process to end.
#include <windows.h>

#include "device/device_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    orvek::device::ClearCachedDeviceId();
  else if (reason == DLL_PROCESS_DETACH)
    orvek::device::ReleaseCachedDeviceId();
  return TRUE;
}
