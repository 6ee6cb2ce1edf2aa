// What one run of the client tells: the fields it read, the status of the
// call, what the host answered and what to do about a failure. Printed as
// text (fields on stdout, the rest on stderr) or, with --json, as one JSON
// object on stdout; either way the exit code follows the table below.
// Plain C++: it writes through the System of seam.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/seam.h"

namespace orvek::cli {

// Exit codes. A failed call exits with its status (1, 4 and up), which the
// DLL never makes 2 or 3.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;     // bad command line or refused input
inline constexpr int kExitNoStatus = 3;  // failed, with no status to give

// One named value, kept both as JSON and as text.
struct Field {
  std::string key;
  std::string json;
  std::string text;
};
using Fields = std::vector<Field>;

Field text_field(std::string key, const std::string& utf8);
Field real_field(std::string key, double value);
Field integer_field(std::string key, std::int64_t value);

// A JSON string literal of UTF-8 text, escaped.
std::string json_string(const std::string& utf8);

class Report {
 public:
  // `command` as the user typed it: "waypoint get". Printed to `system`'s
  // console, as JSON when `json`; the lines in `warnings` (texts read back
  // that look garbled, gathered by code that has no report at hand) are
  // shown by the report that prints next.
  Report(std::string command, System& system, bool json,
         std::vector<std::string>* warnings)
      : command_(std::move(command)),
        system_(system),
        json_(json),
        warnings_(warnings) {}

  void add(Field field) { fields_.push_back(std::move(field)); }
  // The one field of a command whose text output is the bare value.
  void add_bare(Field field);
  // A list of records ("waypoints": [...]). In text output each record is
  // a line of key=value pairs, or the given line when `lines` has one.
  void add_list(std::string key, const std::vector<Fields>& items,
                std::vector<std::string> lines = {});
  // A line saying what happened or what to do, shown after the status.
  void note(std::string line) { notes_.push_back(std::move(line)); }
  void host_answered(std::string utf8) { host_answer_ = std::move(utf8); }
  void sent(std::string utf8) { sent_ = std::move(utf8); }
  // A name and meaning for the status other than the table's: the parse
  // statuses share their numbers with the exchange's.
  void rename_status(std::string name, std::string meaning) {
    status_name_ = std::move(name);
    status_meaning_ = std::move(meaning);
  }

  // Prints and returns the exit code: `status` itself.
  int finish(std::uint32_t status);
  // A failure with no status (exit 3), `problem` saying what failed.
  int fail(const std::string& problem);
  // A command line or input refused before any call (exit 2).
  int refuse(const std::string& problem, const char* usage = nullptr);

 private:
  void print(std::optional<std::uint32_t> status, int exit_code,
             const std::string& problem, const char* usage);

  std::string command_;
  System& system_;
  bool json_;
  std::vector<std::string>* warnings_;
  Fields fields_;
  std::string bare_key_;
  struct List {
    std::string key;
    std::vector<Fields> items;
    std::vector<std::string> lines;
  };
  std::vector<List> lists_;
  std::vector<std::string> notes_;
  std::optional<std::string> host_answer_;
  std::optional<std::string> sent_;
  std::string status_name_;
  std::string status_meaning_;
};

}  // namespace orvek::cli
