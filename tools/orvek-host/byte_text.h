// Bytes as one line of printable text, and back: the log writes every
// request and reply this way, and the fault file spells exact replies so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvek::host {

// "F|0\n" becomes the ten characters F|0\n: printable ASCII stays, a
// backslash doubles, \n \r \t are named and every other byte is \xNN.
std::string escape_bytes(std::string_view bytes);

// The inverse of escape_bytes; also accepts \0 for a NUL byte. Nothing on a
// dangling or unknown escape.
std::optional<std::string> unescape_bytes(std::string_view text);

// Takes the bytes before the first `separator` off `text`, and the
// separator; all of `text` when it has none. take_line is for lines: a CR
// before the line feed stays. Empty `text` has nothing left.
std::string_view take_until(std::string_view& text, char separator);
inline std::string_view take_line(std::string_view& text) {
  return take_until(text, '\n');
}

// The line without a CR at its end: files written on Windows end lines so.
std::string_view without_cr(std::string_view line);

// "47 7C 0a" or "477C0A": pairs of hex digits, blanks between pairs allowed.
// Nothing on an odd digit count or a non-hex character.
std::optional<std::string> decode_hex(std::string_view text);

}  // namespace orvek::host
