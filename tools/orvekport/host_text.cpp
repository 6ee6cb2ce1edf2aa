#include "tools/orvekport/host_text.h"

#include <algorithm>

#include "tools/common/text.h"

namespace orvek::cli {
namespace {

// The code page number that means UTF-8 (Windows' CP_UTF8).
constexpr unsigned kUtf8CodePage = 65001;

}  // namespace

std::optional<std::string> HostText::to_host(const std::string& utf8,
                                             const char* what,
                                             std::string* problem) {
  if (std::optional<std::string> exact = system_.to_code_page(utf8))
    return exact;
  if (lossy_) return system_.to_code_page_lossy(utf8);
  // Each character it lacks once, the first few: a text may be any length.
  constexpr std::size_t kMissingShown = 8;
  std::vector<std::string> missing;
  bool more = false;
  for (std::size_t at = 0; at < utf8.size();) {
    std::size_t start = at;
    tools::next_code_point(utf8, &at);
    std::string one = utf8.substr(start, at - start);
    if (system_.to_code_page(one) ||
        std::find(missing.begin(), missing.end(), one) != missing.end())
      continue;
    if (missing.size() == kMissingShown) {
      more = true;
      break;
    }
    missing.push_back(one);
  }
  std::string listed;
  for (const std::string& one : missing)
    listed += (listed.empty() ? "'" : ", '") + one + "'";
  if (more) listed += ", ...";
  *problem = std::string(what) + " '" +
             tools::quoted_excerpt(utf8, tools::kExcerptBytes) +
             "' holds characters that the host's code page (" +
             std::to_string(system_.code_page()) + ") can't hold" +
             (listed.empty() ? "" : ": " + listed) +
             "; --lossy sends them as '?'";
  return std::nullopt;
}

std::string HostText::from_host(const std::string& bytes) {
  std::string shown = system_.from_code_page(bytes);
  std::string doubt = read_back_doubt(bytes, system_.code_page());
  std::string warning = "'" + visible(shown) + "' " + doubt;
  if (!doubt.empty() &&
      std::find(warnings_.begin(), warnings_.end(), warning) == warnings_.end())
    warnings_.push_back(warning);
  return shown;
}

std::string HostText::read_back_doubt(const std::string& bytes,
                                      unsigned code_page) {
  bool multibyte = std::any_of(bytes.begin(), bytes.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  if (!multibyte || code_page == kUtf8CodePage) return "";
  if (!system_.defines(code_page, bytes))
    return "holds bytes that the code page (" + std::to_string(code_page) +
           ") does not define: the host may write another code page";
  if (!tools::invalid_utf8_at(bytes))
    return "reads as UTF-8, not as the code page (" +
           std::to_string(code_page) + "): the host may write UTF-8";
  return "";
}

std::string visible(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else if (c == '\\')
      shown += "\\\\";
    else if (c < 0x20 || c == 0x7F) {
      shown += "\\x";
      shown += tools::kHexDigits[c >> 4];
      shown += tools::kHexDigits[c & 0xF];
    } else
      shown += static_cast<char>(c);
  }
  return shown;
}

}  // namespace orvek::cli
