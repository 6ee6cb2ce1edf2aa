// Argument handling shared by the command files of the client.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvek::cli {

// Options that apply to every command. main takes them out of the argument
// list wherever they stand (before a "--"), so a command never sees them.
struct GlobalOptions {
  bool json = false;      // --json: one JSON object on stdout
  bool lossy = false;     // --lossy: send what the code page can't hold as '?'
  bool show = false;      // --show: print the request line that was sent
  bool no_start = false;  // --no-start: fail rather than start the host
  bool force = false;     // --force: send what would be refused as suspect
};
const GlobalOptions& global_options();

// Takes the global options out of `arguments` (the command line after the
// program name) and records them; returns the rest in order. The first
// "--" ends the global options too.
std::vector<std::string> take_global_options(
    std::vector<std::string> arguments);

// The command line after the program name as UTF-8, read as UTF-16 from the
// system so that no character is lost to the ANSI code page.
std::vector<std::string> utf8_command_line();

// A command's arguments split into options ("--name VALUE", "--flag") and
// positionals. "--" ends the options, so a positional may begin with "--".
class Arguments {
 public:
  explicit Arguments(std::span<const std::string> arguments);

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
  const char* operator[](std::size_t i) const {
    return arguments_[positionals_[i]].c_str();
  }

 private:
  struct Token {
    std::size_t index;
    bool option;  // "--something" before any "--"
    bool taken;
  };
  Token* find_option(const char* name, const char** inline_value);

  std::span<const std::string> arguments_;
  std::vector<Token> tokens_;
  std::vector<std::size_t> positionals_;
  std::string problem_;
};

// Decimal integer in [min, max], the whole text; false otherwise.
bool parse_integer(const char* text, std::int64_t min, std::int64_t max,
                   std::int64_t* value);
// A finite real number, the whole text ("41.5", "-3e2"); false otherwise.
bool parse_real(const char* text, double* value);
// Why a position is off the globe (longitude outside -180..180, latitude
// outside -90..90), or "" when it is on it. The library sends any finite
// number; the client refuses these unless --force.
std::string off_globe(double longitude, double latitude);
// args[i] as a 32-bit integer; false with "not a 32-bit integer: ..." in
// *problem.
bool int_at(const Arguments& args, std::size_t i, std::int32_t* value,
            std::string* problem);

}  // namespace orvek::cli
