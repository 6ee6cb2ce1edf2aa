// What the client's GPX files and the feed's track share: XML escaping of
// UTF-8 text and numbers written with every digit they hold.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace orvek::tools {

// UTF-8 for an element or a quoted attribute: the five markup characters
// as entities; controls that XML 1.0 can't carry (all below 0x20 but tab,
// line feed and carriage return) as '?', so the file stays well-formed.
inline std::string xml_escaped(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\t': case '\n': case '\r': out.push_back(c); break;
      default:
        out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    }
  }
  return out;
}

// The shortest decimal that reads back as the same double, without an
// exponent (xsd:decimal has none): -33.856784 stays -33.856784, 0.1 is
// "0.1", not 0.10000000000000001.
inline std::string gpx_number(double value) {
  char text[400];  // the longest fixed form of a double with its sign
  auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  if (error != std::errc{}) return "0";
  return std::string(text, end);
}

}  // namespace orvek::tools
