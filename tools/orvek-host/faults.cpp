#include "faults.h"

#include <charconv>

#include "byte_text.h"

namespace orvek::host {
namespace {

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view next_word(std::string_view& text) {
  return take_until(text, ' ');
}

std::optional<std::uint32_t> parse_ms(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty())
    return std::nullopt;
  return value;
}

// Applies one action to the plan; an error text when it can't be read.
std::optional<std::string> apply_action(std::string_view action,
                                        std::string_view argument,
                                        FaultPlan& plan) {
  auto need_ms = [&](std::uint32_t& slot) -> std::optional<std::string> {
    auto ms = parse_ms(argument);
    if (!ms) return "expects a number of milliseconds";
    slot = *ms;
    return std::nullopt;
  };
  if (action == "delay") return need_ms(plan.delay_ms);
  if (action == "hold-reply") return need_ms(plan.hold_reply_ms);
  if (action == "hold-request") return need_ms(plan.hold_request_ms);
  if (action == "stall") return need_ms(plan.stall_ms);
  if (action == "no-reply" || action == "no-signal") {
    if (!argument.empty()) return "takes no argument";
    (action == "no-reply" ? plan.no_reply : plan.no_signal) = true;
    return std::nullopt;
  }
  if (action == "reply" || action == "reply-hex") {
    auto bytes = action == "reply" ? unescape_bytes(argument)
                                   : decode_hex(argument);
    if (!bytes) return "bad byte text";
    plan.reply = std::move(*bytes);
    return std::nullopt;
  }
  return "unknown action";
}

}  // namespace

FaultReading read_faults(std::string_view file_text,
                         std::string_view request_line) {
  FaultReading reading;
  std::size_t line_number = 0;
  while (!file_text.empty()) {
    const bool line_feed_follows = file_text.find('\n') != std::string_view::npos;
    std::string_view raw = take_line(file_text);
    ++line_number;
    std::string_view line = without_cr(raw);

    bool keep = true;
    std::string_view rest = line;
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (!rest.empty() && rest.front() != '#') {
      bool once = false;
      std::optional<std::string> when;
      std::string_view word = next_word(rest);
      if (word == "once") {
        once = true;
        word = next_word(rest);
      }
      std::string error;
      if (starts_with(word, "when=")) {
        when = unescape_bytes(word.substr(5));
        if (!when) error = "bad when= prefix";
        word = next_word(rest);
      }
      bool matches = !when || starts_with(request_line, *when);
      if (error.empty() && matches) {
        if (auto problem = apply_action(word, rest, reading.plan))
          error = *problem;
        else
          reading.applied.emplace_back(line);
      }
      if (!error.empty()) {
        reading.errors.push_back("line " + std::to_string(line_number) + " (" +
                                 std::string(line) + "): " + error);
      } else if (once && matches) {
        keep = false;
        reading.consumed_once = true;
      }
    }
    if (keep) {
      reading.remaining.append(raw);
      if (line_feed_follows) reading.remaining += '\n';
    }
  }
  return reading;
}

}  // namespace orvek::host
