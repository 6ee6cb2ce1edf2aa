#include "tools/orvekport/arguments.h"

#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cctype>

#include "tools/common/win_text.h"

namespace orvekport_cli {
namespace {

GlobalOptions options;

bool is_global_option(const char* argument) {
  return std::strcmp(argument, "--no-init") == 0;
}
bool is_global_option(const wchar_t* argument) {
  return std::wcscmp(argument, L"--no-init") == 0;
}

// Owner of CommandLineToArgvW's block, which LocalFree releases.
struct WideArgv {
  int count = 0;
  wchar_t** values = CommandLineToArgvW(GetCommandLineW(), &count);
  ~WideArgv() {
    if (values != nullptr) LocalFree(values);
  }
};

}  // namespace

const GlobalOptions& global_options() { return options; }

int take_global_options(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (is_global_option(argv[i]))
      options.no_init = true;
    else
      argv[kept++] = argv[i];
  }
  return kept;
}

std::vector<std::wstring> wide_arguments() {
  WideArgv argv;
  std::vector<std::wstring> after_name;
  bool name_seen = false;
  for (int i = 1; argv.values != nullptr && i < argv.count; ++i) {
    if (is_global_option(argv.values[i])) continue;
    if (name_seen)
      after_name.emplace_back(argv.values[i]);
    else
      name_seen = true;
  }
  return after_name;
}

Arguments::Arguments(int argc, char** argv) : argv_(argv) {
  bool options_ended = false;
  for (int i = 0; i < argc; ++i) {
    bool terminator = !options_ended && std::strcmp(argv[i], "--") == 0;
    bool option = !options_ended && !terminator &&
                  std::strncmp(argv[i], "--", 2) == 0;
    tokens_.push_back({static_cast<std::size_t>(i), option, terminator});
    options_ended = options_ended || terminator;
  }
}

Arguments::Token* Arguments::find_option(const char* name,
                                         const char** inline_value) {
  std::size_t name_length = std::strlen(name);
  for (Token& token : tokens_) {
    if (!token.option || token.taken) continue;
    const char* text = argv_[token.index] + 2;
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
  return argv_[next->index];
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
      problem_ = std::string("unknown option ") + argv_[token.index];
    if (!token.option) positionals_.push_back(token.index);
  }
  if (!problem_.empty()) return false;
  if (positionals_.size() < min_positionals) {
    problem_ = "missing argument";
    return false;
  }
  if (positionals_.size() > max_positionals) {
    problem_ = std::string("unexpected argument ") +
               argv_[positionals_[max_positionals]];
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

int usage_error(const Command& command, const char* problem) {
  std::fprintf(stderr, "orvekport: %s\nusage: orvekport %s\n", problem,
               command.usage);
  return kUsageExit;
}

void print_wide(const std::wstring& text) {
  std::fflush(stdout);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(out, &mode)) {
    DWORD written = 0;
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written,
                  nullptr);
    return;
  }
  std::string utf8 = orvek::tools::narrow(CP_UTF8, text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace orvekport_cli
