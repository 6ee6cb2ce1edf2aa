// Exports of the map control API: thin calls into api/ on the Win32 backend.
#include "OrvekPORT/OrvekPORT.h"
#include "api/map_commands.h"
#include "api/moving_map.h"
#include "api/position_sentence.h"
#include "api/waypoints.h"
#include "platform/win32/win32_platform.h"

using orvek::platform::win32_platform;
namespace api = orvek::api;


extern "C" {

uint32_t ORVEKPORT_CALL OrvekGPSPort_NewPoint(double longitude_deg,
                                              double latitude_deg,
                                              double altitude_m,
                                              const char* name,
                                              const char* description,
                                              double extra_real,
                                              int32_t extra_integer) {
  return api::NewPoint(win32_platform(), longitude_deg, latitude_deg,
                       altitude_m, name, description, extra_real,
                       extra_integer);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_MovingMapInit(void) {
  return api::MovingMapInit(win32_platform());
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_OpenFile(const char* file_name) {
  return api::OpenFile(win32_platform(), file_name);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_DeleteMobile(const char* mobile_name) {
  return api::DeleteMobile(win32_platform(), mobile_name);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_ExecCommand(int32_t command_number) {
  return api::ExecCommand(win32_platform(), command_number);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_SetViewportLen(int32_t width,
                                                    int32_t height) {
  return api::SetViewportLen(win32_platform(), width, height);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterWaypoint(const char* waypoint_id,
                                                    double scale) {
  return api::CenterWaypoint(win32_platform(), waypoint_id, scale);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_CenterCoordinate(double longitude_deg,
                                                      double latitude_deg,
                                                      double scale) {
  return api::CenterCoordinate(win32_platform(), longitude_deg, latitude_deg,
                               scale);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_ExportViewFile(const char* file_name) {
  return api::ExportViewFile(win32_platform(), file_name);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_New_Waypoint(const char* id,
                                                  const char* description,
                                                  double longitude_deg,
                                                  double latitude_deg,
                                                  double altitude_m,
                                                  const char* icon) {
  return api::NewWaypoint(win32_platform(), id, description, longitude_deg,
                          latitude_deg, altitude_m, icon);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Delete_Waypoint(const char* id) {
  return api::DeleteWaypoint(win32_platform(), id);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_WaypointCount(int32_t* count) {
  return api::GetWaypointCount(win32_platform(), count);
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_Get_Waypoint(int32_t index, char* id,
                                                  char* description,
                                                  double* longitude_deg,
                                                  double* latitude_deg,
                                                  double* altitude_m,
                                                  char* icon) {
  return api::GetWaypoint(win32_platform(), index, id, description,
                          longitude_deg, latitude_deg, altitude_m, icon);
}

int32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapCount(void) {
  return api::GetMovingMapCount(win32_platform());
}

uint32_t ORVEKPORT_CALL OrvekGPSPort_GetMovingMapPosition(
    int32_t index, char* name, double* longitude_deg, double* latitude_deg,
    double* altitude_m, uint32_t text_size, char* description) {
  return api::GetMovingMapPosition(win32_platform(), index, name,
                                   longitude_deg, latitude_deg, altitude_m,
                                   text_size, description);
}

}  // extern "C"
