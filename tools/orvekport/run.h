// One run of the client: the runner finds the row of command.h that the
// command line names, takes its options, counts its positionals and
// refuses (exit 2) what does not fit, then runs its function with a Run,
// which sets up what the row needs of the host, makes its calls and
// reports them. Plain C++ over the seam (seam.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/common/arguments.h"
#include "tools/orvekport/command.h"
#include "tools/orvekport/host_text.h"
#include "tools/orvekport/report.h"
#include "tools/orvekport/seam.h"

namespace orvek::cli {

// Options that mean the same for every command; they may stand anywhere
// before a "--", so the runner takes them out before a command sees its
// arguments.
struct GlobalOptions {
  bool json = false;      // --json: one JSON object on stdout
  bool lossy = false;     // --lossy: send what the code page can't hold as '?'
  bool show = false;      // --show: print the request line that was sent
  bool no_start = false;  // --no-start: fail rather than start the host
  bool force = false;     // --force: send what would be refused as suspect
};
// Takes the global options out of `arguments` (the command line after the
// program name); the first "--" ends them.
GlobalOptions take_global_options(std::vector<std::string>* arguments);

// Runs the command line after the program name (UTF-8); returns the exit
// code, having printed what the run tells.
int run_client(std::vector<std::string> arguments, Library& library,
               System& system);

// A limit a request must fit, for the message of E_TOO_LONG.
struct Limit {
  std::string what;                   // "the body of command D"
  std::optional<std::size_t> length;  // how long it is, when the client knows
  std::size_t max = 0;                // how long it may be
};

// What the report of a call can say beyond its status.
struct CallFacts {
  std::optional<Limit> limit;
  // The record's fields in reply order, for the parse statuses (5 and up,
  // "no comma after field n") of a query that splits its result.
  std::span<const char* const> record;
};

// The host's packet files as they were before a call, so that what the
// host wrote during it can be told apart: a file counts as the call's when
// its bytes or its write time changed (file times tick too coarsely to tell
// a handshake just before from the call by time alone). Calls are
// serialised, so the files still hold the call's request and reply.
class PacketWatch {
 public:
  // Watches the reply, and the request too when `request_too` (--show).
  PacketWatch(System& system, bool request_too);
  std::optional<std::string> fresh_reply() const { return changed(reply_); }
  std::optional<std::string> fresh_request() const { return changed(request_); }

 private:
  struct FileState {
    std::string path;
    std::optional<std::uint64_t> written;
    std::optional<std::string> bytes;
  };
  FileState state(const std::string& path) const;
  std::optional<std::string> changed(const FileState& before) const;

  System& system_;
  FileState request_;
  FileState reply_;
};

class Run {
 public:
  Run(Library& library, System& system, const GlobalOptions& options,
      const Command& command, const Action& action, std::string words);

  Library& library;
  System& system;
  const GlobalOptions& options;
  HostText text;
  Report report;

  // Takes the row's options and counts its positionals; false when the
  // report has refused the command line.
  bool take_arguments(std::span<const std::string> arguments, int* exit_code);

  // The positionals, and the options by name: a value (null when absent)
  // or a flag.
  std::size_t size() const { return arguments_->size(); }
  const char* operator[](std::size_t i) const { return (*arguments_)[i]; }
  const char* option(const char* name) const;
  bool flag(const char* name) const { return option(name) != nullptr; }

  // A command line or input refused before any call (exit 2), with the
  // usage line or without.
  int refuse_usage(const std::string& problem);
  int refuse(const std::string& problem) { return report.refuse(problem); }
  // `utf8` for the host (HostText::to_host), or nothing with *exit_code
  // set to the refusal's.
  std::optional<std::string> for_host(const std::string& utf8, const char* what,
                                      int* exit_code);
  // args[i] as a number; false with the refusal's exit code in *exit_code.
  bool real_at(std::size_t i, double* value, int* exit_code);
  bool int_at(std::size_t i, std::int32_t* value, int* exit_code);

  // What the row needs of the host (command.h), done once: 0, or the exit
  // code of the failure, whose report is finished.
  int prepare_host();
  PacketWatch watch() { return PacketWatch(system, options.show); }
  // Finishes the report with the status of a call that `watch` saw: what
  // the host answered when its answer is why the call failed, the request
  // read back (--show), and what to do. Returns the exit code.
  int finish(const PacketWatch& watch, std::uint32_t status,
             const CallFacts& facts = {});
  // The common case of one call: the host's need, the call, its report.
  template <typename Call>
  int call(const CallFacts& facts, Call call) {
    if (int exit_code = prepare_host(); exit_code != 0) return exit_code;
    PacketWatch seen = watch();
    return finish(seen, call(), facts);
  }

 private:
  bool explain_parse_status(std::uint32_t status,
                            const std::optional<std::string>& reply,
                            std::span<const char* const> record);

  const Command& command_;
  const Action& action_;
  std::optional<tools::Arguments> arguments_;
  std::map<std::string, const char*> taken_;
  bool host_prepared_ = false;
};

// Asks done() every 20 ms, on the System's clock, until it says true (true)
// or `timeout_ms` have passed (false); done() is asked once more at the end.
template <typename Done>
bool poll_until(System& system, Done done, std::uint32_t timeout_ms) {
  constexpr std::uint32_t kPollStepMs = 20;
  for (std::uint64_t start = system.now_ms();; system.sleep_ms(kPollStepMs)) {
    if (done()) return true;
    if (system.now_ms() - start >= timeout_ms) return done();
  }
}

// Why a position is off the globe (longitude outside -180..180, latitude
// outside -90..90), or "" when it is on it. The library sends any finite
// number; the client refuses these unless --force.
std::string off_globe(double longitude, double latitude);
// The length of `value` as "%f" writes it.
std::size_t fixed_length(double value);

}  // namespace orvek::cli
