// Argument handling shared by the command files of the client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/orvekport/command.h"

namespace orvekport_cli {

// Options that apply to every command. main takes them out of the argument
// list wherever they stand, so a command never sees them.
struct GlobalOptions {
  bool no_init = false;  // --no-init: skip OrvekGPSPort_Init
};
const GlobalOptions& global_options();

// Takes the global options out of argv[1] to argv[argc - 1], keeping the
// order of the rest, and records them; returns the new argc. main only.
int take_global_options(int argc, char** argv);

// The arguments after the command name as UTF-16, read from the wide command
// line with the same rule main applies to argv: element i is the wide form
// of the command's argv[i]. Needed wherever non-ASCII text must survive,
// since argv holds the ANSI code page's lossy form.
std::vector<std::wstring> wide_arguments();

// A command's arguments split into options ("--name VALUE", "--flag") and
// positionals. "--" ends the options, so a positional may begin with "--".
class Arguments {
 public:
  Arguments(int argc, char** argv);

  // Removes "--name VALUE" (or "--name=VALUE") and returns VALUE, or
  // nullptr when absent. A missing VALUE makes the list malformed.
  const char* take_option(const char* name);
  // Removes "--name" and says whether it was there.
  bool take_flag(const char* name);

  // Call after taking every known option: false when an unknown or
  // malformed option is left, or the positional count is outside [min, max];
  // problem() then says which.
  bool finish(std::size_t min_positionals, std::size_t max_positionals);
  const std::string& problem() const { return problem_; }

  std::size_t size() const { return positionals_.size(); }
  const char* operator[](std::size_t i) const { return argv_[positionals_[i]]; }
  // The index in the command's argv of positional i (for wide_arguments).
  std::size_t argv_index(std::size_t i) const { return positionals_[i]; }

 private:
  struct Token {
    std::size_t index;
    bool option;  // "--something" before any "--"
    bool taken;
  };
  Token* find_option(const char* name, const char** inline_value);

  char** argv_;
  std::vector<Token> tokens_;
  std::vector<std::size_t> positionals_;
  std::string problem_;
};

// Decimal integer in [min, max], the whole text; false otherwise.
bool parse_integer(const char* text, std::int64_t min, std::int64_t max,
                   std::int64_t* value);
// A finite real number, the whole text ("41.5", "-3e2"); false otherwise.
bool parse_real(const char* text, double* value);

// Prints "orvekport: PROBLEM" and the command's usage to stderr; returns the
// usage exit code, 2.
int usage_error(const Command& command, const char* problem);

// Writes UTF-16 text to stdout: as wide text to a console, as UTF-8 to a
// pipe or file, so that scripts read what the host wrote.
void print_wide(const std::wstring& text);

// Exit code of a command line that can't be run (never a status code).
inline constexpr int kUsageExit = 2;

}  // namespace orvekport_cli
