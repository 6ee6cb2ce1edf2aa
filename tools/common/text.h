// Text for the tools' portable code, which the native tests build too:
// UTF-8 and UTF-16 (the Win32 conversions through a code page are in
// win_text.h), hexadecimal digits, excerpts. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvek::tools {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The code point that starts at `text[*at]`, moving *at past it; nothing,
// with *at moved one byte on, when the bytes there are no well-formed UTF-8
// (overlong forms, surrogates and values over U+10FFFF included).
inline std::optional<char32_t> next_code_point(std::string_view text,
                                               std::size_t* at) {
  auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[i]);
  };
  unsigned char lead = byte(*at);
  std::size_t length = lead < 0x80   ? 1
                       : lead < 0xC2 ? 0
                       : lead < 0xE0 ? 2
                       : lead < 0xF0 ? 3
                       : lead < 0xF5 ? 4
                                     : 0;
  if (length == 0 || *at + length > text.size()) {
    ++*at;
    return std::nullopt;
  }
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(*at + i) & 0xC0) != 0x80) {
      ++*at;
      return std::nullopt;
    }
    value = value << 6 | (byte(*at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    ++*at;
    return std::nullopt;
  }
  *at += length;
  return value;
}

// Where the first byte that is not well-formed UTF-8 stands, or nothing.
inline std::optional<std::size_t> invalid_utf8_at(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t start = at;
    if (!next_code_point(text, &at)) return start;
  }
  return std::nullopt;
}

inline void append_utf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-8 as UTF-16; a byte that is no UTF-8 becomes U+FFFD.
inline std::u16string utf16_of(std::string_view utf8) {
  std::u16string out;
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = next_code_point(utf8, &at).value_or(U'\uFFFD');
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
inline std::string utf8_of(std::u16string_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() &&
        utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = U'\uFFFD';
    }
    append_utf8(&out, c);
  }
  return out;
}

// How much of a text a message quotes: about a line's worth, whatever the
// text's length.
inline constexpr std::size_t kExcerptBytes = 60;

// `utf8` cut to at most `max_bytes` on a character's boundary, with "..."
// after it when anything was cut: for quoting what may be any length.
inline std::string quoted_excerpt(std::string_view utf8, std::size_t max_bytes) {
  if (utf8.size() <= max_bytes) return std::string(utf8);
  std::size_t end = max_bytes;
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
    --end;
  return std::string(utf8.substr(0, end)) + "...";
}

}  // namespace orvek::tools
