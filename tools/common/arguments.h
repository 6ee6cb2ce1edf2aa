// The command line of the tools (the client and the feed read it alike):
// options ("--name VALUE", "--name=VALUE", "--flag") anywhere among the
// positionals, until a "--" after which everything is a positional. Plain
// C++; the text is UTF-8, as the Win32 side reads it from UTF-16.
#pragma once

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace orvek::tools {

class Arguments {
 public:
  explicit Arguments(std::span<const std::string> arguments)
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

  // Removes "--name VALUE" (or "--name=VALUE") and returns VALUE, or
  // nullptr when absent. A missing VALUE makes the list malformed. The
  // value may look like an option ("--capacity --5" is still a value).
  const char* take_option(const char* name) {
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
    next->taken = true;
    return arguments_[next->index].c_str();
  }
  // Removes "--name" and says whether it was there.
  bool take_flag(const char* name) {
    const char* value = nullptr;
    Token* token = find_option(name, &value);
    if (token == nullptr) return false;
    token->taken = true;
    if (value != nullptr)
      problem_ = std::string("--") + name + " takes no value";
    return true;
  }

  // Call after taking every known option: false when an unknown or
  // malformed option is left, or the positional count is outside [min,
  // max]; problem() then says which.
  bool finish(std::size_t min_positionals, std::size_t max_positionals) {
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
  Token* find_option(const char* name, const char** inline_value) {
    std::size_t name_length = std::strlen(name);
    for (Token& token : tokens_) {
      if (!token.option || token.taken) continue;
      const char* text = arguments_[token.index].c_str() + 2;
      if (std::strncmp(text, name, name_length) != 0) continue;
      if (text[name_length] == '\0' || text[name_length] == '=') {
        *inline_value =
            text[name_length] == '=' ? text + name_length + 1 : nullptr;
        return &token;
      }
    }
    return nullptr;
  }

  std::span<const std::string> arguments_;
  std::vector<Token> tokens_;
  std::vector<std::size_t> positionals_;
  std::string problem_;
};

// Decimal integer in [min, max], the whole text; false otherwise. strtoll
// would skip leading blanks and accept a tail; neither is a number a script
// meant to pass.
inline bool parse_integer(const char* text, std::int64_t min, std::int64_t max,
                          std::int64_t* value) {
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

// A finite real number, the whole text ("41.5", "-3e2"); false otherwise.
inline bool parse_real(const char* text, double* value) {
  if (text[0] == '\0' || std::isspace(static_cast<unsigned char>(text[0])))
    return false;
  char* end = nullptr;
  double parsed = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

}  // namespace orvek::tools
