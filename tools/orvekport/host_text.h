// Texts between the terminal and the host: UTF-8 on the command line and in
// the output, the host's ANSI code page on the link. Plain C++; the code
// page itself is the System's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/orvekport/seam.h"

namespace orvek::cli {

class HostText {
 public:
  // `lossy`: --lossy, send what the code page can't hold as its default
  // character instead of refusing the text.
  HostText(System& system, bool lossy) : system_(system), lossy_(lossy) {}

  // `utf8` in the code page for the host. A character that the code page
  // can't hold refuses the text (nothing is returned, *problem says which,
  // naming the text as `what`) unless lossy.
  std::optional<std::string> to_host(const std::string& utf8, const char* what,
                                     std::string* problem);
  // Host bytes as UTF-8. Bytes that may not be in the code page are shown
  // with a warning (warnings()).
  std::string from_host(const std::string& bytes);
  // Why bytes read back from the host may not be in `code_page` (bytes it
  // does not define, or a text that reads as UTF-8), or "" when they look
  // right.
  std::string read_back_doubt(const std::string& bytes, unsigned code_page);

  // Warnings gathered for the report that prints next, each once.
  std::vector<std::string>* warnings() { return &warnings_; }

 private:
  System& system_;
  bool lossy_;
  std::vector<std::string> warnings_;
};

// UTF-8 with CR, LF and other controls spelt out: "A|x\r\n" -> A|x\r\n.
std::string visible(const std::string& utf8);

}  // namespace orvek::cli
