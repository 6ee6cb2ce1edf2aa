// Placeholder until the map control API lands: every export refuses.
#include "OrvekPORT/OrvekPORT.h"

extern "C" {
uint32_t ORVEKPORT_CALL OrvekGPSPort_NewPoint(double, double, double, const char*, const char*, double, int32_t) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_MovingMapInit(void) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_OpenFile(const char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_DeleteMobile(const char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExecCommand(int32_t) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_SetViewportLen(int32_t, int32_t) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterWaypoint(const char*, double) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterCoordinate(double, double, double) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_ExportViewFile(const char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_New_Waypoint(const char*, const char*, double, double, double, const char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_Delete_Waypoint(const char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_WaypointCount(int32_t*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_Waypoint(int32_t, char*, char*, double*, double*, double*, char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
int32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapCount(void) { return -1; }
uint32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapPosition(int32_t, char*, double*, double*, double*, uint32_t, char*) { return ORVEKPORT_E_INVALID_ARGUMENT; }
}
