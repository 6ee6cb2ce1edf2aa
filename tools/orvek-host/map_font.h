// A 5x7 pixel font for the map's labels: digits, letters (lower case drawn
// as upper case) and a little punctuation; anything else is a hollow box.
#pragma once

#include <cstdint>

namespace orvek::host {

inline constexpr int kGlyphWidth = 5, kGlyphHeight = 7;

// Seven rows of five bits, the high bit leftmost.
const uint8_t* glyph_rows(char c);

}  // namespace orvek::host
