#include "tools/orvekport/arguments.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/common/win_text.h"

namespace orvek::cli {
namespace {

GlobalOptions options;

// Owner of CommandLineToArgvW's block, which LocalFree releases.
struct WideArgv {
  int count = 0;
  wchar_t** values = CommandLineToArgvW(GetCommandLineW(), &count);
  ~WideArgv() {
    if (values != nullptr) LocalFree(values);
  }
  WideArgv() = default;
  WideArgv(const WideArgv&) = delete;
  WideArgv& operator=(const WideArgv&) = delete;
};

// Sets the option `argument` names; false when it names none.
bool take_global(const std::string& argument) {
  if (argument == "--json") return options.json = true;
  if (argument == "--lossy") return options.lossy = true;
  if (argument == "--show") return options.show = true;
  if (argument == "--no-start") return options.no_start = true;
  if (argument == "--force") return options.force = true;
  return false;
}

}  // namespace

const GlobalOptions& global_options() { return options; }

std::vector<std::string> take_global_options(
    std::vector<std::string> arguments) {
  std::vector<std::string> kept;
  bool ended = false;
  for (std::string& argument : arguments) {
    ended = ended || argument == "--";
    if (ended || !take_global(argument)) kept.push_back(std::move(argument));
  }
  return kept;
}

std::vector<std::string> utf8_command_line() {
  WideArgv argv;
  std::vector<std::string> arguments;
  for (int i = 1; argv.values != nullptr && i < argv.count; ++i)
    arguments.push_back(tools::narrow(CP_UTF8, argv.values[i]));
  return arguments;
}

Arguments::Arguments(std::span<const std::string> arguments)
    : arguments_(arguments) {
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& text = arguments[i];
    bool terminator = !options_ended && text == "--";
    bool option = !options_ended && !terminator && text.starts_with("--");
    tokens_.push_back({i, option, terminator});
    options_ended = options_ended || terminator;
  }
}

Arguments::Token* Arguments::find_option(const char* name,
                                         const char** inline_value) {
  std::size_t name_length = std::strlen(name);
  for (Token& token : tokens_) {
    if (!token.option || token.taken) continue;
    const char* text = arguments_[token.index].c_str() + 2;
    if (std::strncmp(text, name, name_length) != 0) continue;
    if (text[name_length] == '\0') {
      *inline_value = nullptr;
      return &token;
    }
    if (text[name_length] == '=') {
      *inline_value = text + name_length + 1;
      return &token;
    }
  }
  return nullptr;
}

const char* Arguments::take_option(const char* name) {
  const char* value = nullptr;
  Token* token = find_option(name, &value);
  if (token == nullptr) return nullptr;
  token->taken = true;
  if (value != nullptr) return value;
  Token* next = token + 1;
  if (next == tokens_.data() + tokens_.size() || next->taken) {
    problem_ = std::string("--") + name + " needs a value";
    return nullptr;
  }
  // The value may look like an option ("--capacity --5" is still a value).
  next->taken = true;
  return arguments_[next->index].c_str();
}

bool Arguments::take_flag(const char* name) {
  const char* value = nullptr;
  Token* token = find_option(name, &value);
  if (token == nullptr) return false;
  token->taken = true;
  if (value != nullptr) problem_ = std::string("--") + name + " takes no value";
  return true;
}

bool Arguments::finish(std::size_t min_positionals,
                       std::size_t max_positionals) {
  positionals_.clear();
  for (const Token& token : tokens_) {
    if (token.taken) continue;
    if (token.option && problem_.empty())
      problem_ = "unknown option " + arguments_[token.index];
    if (!token.option) positionals_.push_back(token.index);
  }
  if (!problem_.empty()) return false;
  if (positionals_.size() < min_positionals) {
    problem_ = "missing argument";
    return false;
  }
  if (positionals_.size() > max_positionals) {
    problem_ =
        "unexpected argument " + arguments_[positionals_[max_positionals]];
    return false;
  }
  return true;
}

bool parse_integer(const char* text, std::int64_t min, std::int64_t max,
                   std::int64_t* value) {
  // strtoll would skip leading blanks and accept a tail; neither is a number
  // a script meant to pass.
  if (text[0] == '\0' || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno == ERANGE || *end != '\0' || parsed < min || parsed > max)
    return false;
  *value = parsed;
  return true;
}

bool parse_real(const char* text, double* value) {
  if (text[0] == '\0' || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  char* end = nullptr;
  double parsed = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

std::string off_globe(double longitude, double latitude) {
  auto text = [](double value) {
    char out[32];
    std::snprintf(out, sizeof out, "%g", value);
    return std::string(out);
  };
  std::string why;
  if (!(longitude >= -180 && longitude <= 180))
    why = "longitude " + text(longitude) + " is outside -180..180";
  if (!(latitude >= -90 && latitude <= 90))
    why += (why.empty() ? "latitude " : ", latitude ") +
           text(latitude) + " is outside -90..90";
  if (!why.empty()) why += "; --force sends it all the same";
  return why;
}

bool int_at(const Arguments& args, std::size_t i, std::int32_t* value,
            std::string* problem) {
  std::int64_t parsed = 0;
  if (parse_integer(args[i], INT32_MIN, INT32_MAX, &parsed)) {
    *value = static_cast<std::int32_t>(parsed);
    return true;
  }
  *problem = std::string("not a 32-bit integer: ") + args[i];
  return false;
}

}  // namespace orvek::cli
