// Exports of the map control API: thin calls into api/ on the Win32 backend.
#include "OrvekPORT/OrvekPORT.h"
#include "api/map_commands.h"
#include "api/moving_map.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "platform/win32/win32_platform.h"

using orvek::platform::win32_platform;
namespace api = orvek::api;

static_assert(ORVEKPORT_WAYPOINT_TEXT_SIZE == api::kWaypointTextSize);

extern "C" {

uint32_t ORVEKPORT_CALL OrvekGPSPort_NewPoint(double longitude, double latitude,
                                              double altitude,
                                              const char* text1,
                                              const char* text2,
                                              double realValue,
                                              int32_t intValue) {
  return api::NewPoint(win32_platform(), longitude, latitude, altitude, text1,
                       text2, realValue, intValue);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_MovingMapInit(void) {
  return api::MovingMapInit(win32_platform());
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_OpenFile(const char* fileName) {
  return api::OpenFile(win32_platform(), fileName);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_DeleteMobile(const char* mobileName) {
  return api::DeleteMobile(win32_platform(), mobileName);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_ExecCommand(int32_t command) {
  return api::ExecCommand(win32_platform(), command);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_SetViewportLen(int32_t len1,
                                                    int32_t len2) {
  return api::SetViewportLen(win32_platform(), len1, len2);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterWaypoint(const char* waypoint,
                                                    double value) {
  return api::CenterWaypoint(win32_platform(), waypoint, value);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterCoordinate(double value1,
                                                      double value2,
                                                      double value3) {
  return api::CenterCoordinate(win32_platform(), value1, value2, value3);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_ExportViewFile(const char* fileName) {
  return api::ExportViewFile(win32_platform(), fileName);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_New_Waypoint(const char* id,
                                                  const char* text,
                                                  double value1, double value2,
                                                  double value3,
                                                  const char* icon) {
  return api::NewWaypoint(win32_platform(), id, text, value1, value2, value3,
                          icon);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Delete_Waypoint(const char* waypoint) {
  return api::DeleteWaypoint(win32_platform(), waypoint);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_WaypointCount(int32_t* count) {
  return api::GetWaypointCount(win32_platform(), count);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_Waypoint(int32_t index, char* id,
                                                  char* text, double* value1,
                                                  double* value2,
                                                  double* value3, char* icon) {
  return api::GetWaypoint(win32_platform(), index, id, text, value1, value2,
                          value3, icon);
}

int32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapCount(void) {
  return api::GetMovingMapCount(win32_platform());
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapPosition(
    int32_t index, char* text1, double* value1, double* value2,
    double* value3, uint32_t textSize, char* text2) {
  return api::GetMovingMapPosition(win32_platform(), index, text1, value1,
                                   value2, value3, textSize, text2);
}

}  // extern "C"
