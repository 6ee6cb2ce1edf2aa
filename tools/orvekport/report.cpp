#include "tools/orvekport/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "tools/common/orvekport_status.h"
#include "tools/common/text.h"

namespace orvek::cli {
namespace {

using tools::kHexDigits;

// The shortest text that reads back as the same double: "41.5", "1e+300".
std::string shortest(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof(text), value);
  return std::string(text, result.ptr);
}

std::string json_fields(const Fields& fields) {
  std::string out = "{";
  for (const Field& field : fields) {
    if (out.size() > 1) out += ",";
    out += json_string(field.key) + ":" + field.json;
  }
  return out + "}";
}

}  // namespace

std::string json_string(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

Field text_field(std::string key, const std::string& utf8) {
  return {std::move(key), json_string(utf8), utf8};
}

Field real_field(std::string key, double value) {
  // JSON has no infinity or NaN: those become null, text keeps the word.
  std::string text = shortest(value);
  return {std::move(key), std::isfinite(value) ? text : "null", text};
}

Field integer_field(std::string key, std::int64_t value) {
  std::string text = std::to_string(value);
  return {std::move(key), text, text};
}

void Report::add_bare(Field field) {
  bare_key_ = field.key;
  fields_.push_back(std::move(field));
}

void Report::add_list(std::string key, const std::vector<Fields>& items,
                      std::vector<std::string> lines) {
  lists_.push_back({std::move(key), items, std::move(lines)});
}

int Report::finish(std::uint32_t status) {
  print(status, static_cast<int>(status), "", nullptr);
  return static_cast<int>(status);
}

int Report::fail(const std::string& problem) {
  print(std::nullopt, kExitNoStatus, problem, nullptr);
  return kExitNoStatus;
}

int Report::refuse(const std::string& problem, const char* usage) {
  print(std::nullopt, kExitUsage, problem, usage);
  return kExitUsage;
}

void Report::print(std::optional<std::uint32_t> status, int exit_code,
                   const std::string& problem, const char* usage) {
  if (warnings_ != nullptr) {
    for (std::string& line : *warnings_) notes_.push_back(std::move(line));
    warnings_->clear();
  }
  if (status && status_name_.empty()) {
    status_name_ = orvekport_status_name(*status);
    status_meaning_ = orvekport_status_meaning(*status);
  }
  if (json_) {
    std::string out = "{\"command\":" + json_string(command_);
    out += ",\"exit_code\":" + std::to_string(exit_code);
    if (status) {
      out += ",\"status\":" + std::to_string(*status);
      out += ",\"status_name\":" + json_string(status_name_);
      out += ",\"status_meaning\":" + json_string(status_meaning_);
    } else {
      out += ",\"status\":null";
    }
    if (!problem.empty()) out += ",\"error\":" + json_string(problem);
    out += ",\"fields\":" + json_fields(fields_);
    for (const auto& [key, items, lines] : lists_) {
      out += "," + json_string(key) + ":[";
      for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + json_fields(items[i]);
      out += "]";
    }
    if (sent_) out += ",\"sent\":" + json_string(*sent_);
    if (host_answer_) out += ",\"host_answer\":" + json_string(*host_answer_);
    out += ",\"notes\":[";
    for (std::size_t i = 0; i < notes_.size(); ++i)
      out += (i ? "," : "") + json_string(notes_[i]);
    system_.write_out(out + "]}\n");
    return;
  }

  std::string out;
  if (sent_) out += "sent: " + *sent_ + "\n";
  for (const Field& field : fields_)
    out += field.key == bare_key_ ? field.text + "\n"
                                  : field.key + ": " + field.text + "\n";
  for (const auto& [key, items, lines] : lists_) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i < lines.size()) {
        out += lines[i] + "\n";
        continue;
      }
      out += key + "[" + std::to_string(i) + "]:";
      for (const Field& field : items[i])
        out += " " + field.key + "=" + field.text;
      out += "\n";
    }
  }
  system_.write_out(out);

  std::string err;
  if (status) {
    err += "status: " + status_name_ + " (" + std::to_string(*status) +
           "): " + status_meaning_ + "\n";
  }
  if (!problem.empty()) err += "orvekport: " + problem + "\n";
  if (host_answer_) err += "  host answered: " + *host_answer_ + "\n";
  for (const std::string& line : notes_) err += "  " + line + "\n";
  if (usage) err += "usage: orvekport " + std::string(usage) + "\n";
  system_.write_err(err);
}

}  // namespace orvek::cli
