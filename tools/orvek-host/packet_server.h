// The emulator's side of a packet exchange: read the request file, ask the
// model (or the fault file) for the reply, write the reply file, close both
// and set EventOrvekAPI.
//
// Requests are read the moment their message arrives, since the next one
// replaces the request file, and answered strictly in arrival order. A
// delayed reply waits on a window timer, never in a Sleep, so the message
// loop keeps reading requests and the log keeps being written meanwhile.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "faults.h"
#include "host_log.h"
#include "tools/common/host_log_format.h"
#include "host_model.h"
#include "tools/common/win_handle.h"

namespace orvek::host {

class PacketServer {
 public:
  // The timer id it uses on `window`; WM_TIMER with it goes to on_timer().
  static constexpr UINT_PTR kTimerId = 1;

  PacketServer(HWND window, const std::wstring& directory, HostModel& model,
               HostLog& log);
  ~PacketServer() { KillTimer(window_, kTimerId); }
  PacketServer(const PacketServer&) = delete;
  PacketServer& operator=(const PacketServer&) = delete;

  // WM_PORT_REQUEST with PORT_WPARAM_PACKET.
  void on_packet_request();
  void on_timer();

 private:
  struct PendingReply {
    ULONGLONG due_ms;
    std::string bytes;
    FaultPlan plan;
  };
  // A packet file kept open on purpose (hold-reply, hold-request).
  struct HeldFile {
    tools::FileHandle file;
    ULONGLONG release_ms;
    const char* name;
  };

  std::string read_request(tools::FileHandle* still_open);
  FaultReading read_fault_file(const std::string& request_line);
  void deliver(const PendingReply& reply);
  void run_due_work();
  void arm_timer();

  HWND window_;
  std::wstring request_path_;
  std::wstring reply_path_;
  std::wstring fault_path_;
  HostModel& model_;
  HostLog& log_;
  tools::ObjectHandle reply_event_;
  std::deque<PendingReply> queue_;
  std::vector<HeldFile> held_;
};

}  // namespace orvek::host
