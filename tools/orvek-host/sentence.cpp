#include "sentence.h"

#include <cstdlib>

#include "tools/common/hemisphere.h"

namespace orvek::host {
namespace {

constexpr std::string_view kIdentifier = "$AAGGAM,";
// "*", two hex digits, CR, LF.
constexpr std::size_t kTrailerLength = 5;

int upper_hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

CheckedSentence check_sentence(std::string_view sentence) {
  CheckedSentence checked;
  if (sentence.substr(0, kIdentifier.size()) != kIdentifier) {
    checked.error = "not a $AAGGAM sentence";
    return checked;
  }
  if (sentence.size() < kIdentifier.size() + kTrailerLength ||
      sentence.substr(sentence.size() - 2) != "\r\n" ||
      sentence[sentence.size() - kTrailerLength] != '*') {
    checked.error = "no *checksum and CR LF at the end";
    return checked;
  }
  std::string_view body =
      sentence.substr(1, sentence.size() - 1 - kTrailerLength);
  int high = upper_hex_value(sentence[sentence.size() - 4]);
  int low = upper_hex_value(sentence[sentence.size() - 3]);
  if (high < 0 || low < 0) {
    checked.error = "checksum is not two upper-case hex digits";
    return checked;
  }
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  if (sum != static_cast<unsigned>(high * 16 + low)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    checked.error = std::string("bad checksum, expected ") + kHex[sum >> 4] +
                    kHex[sum & 0xF];
    return checked;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = body.find(',', start);
    checked.fields.emplace_back(body.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return checked;
}

std::optional<double> decimal_degrees(std::string_view degrees_minutes,
                                      std::string_view hemisphere) {
  std::optional<double> sign = tools::hemisphere_sign(hemisphere);
  if (!sign) return std::nullopt;
  // The minutes are always the last six characters: "MM.mmm".
  std::size_t point = degrees_minutes.find('.');
  if (point == std::string_view::npos || point < 2 ||
      degrees_minutes.size() != point + 4)
    return std::nullopt;
  std::string text(degrees_minutes);
  char* end = nullptr;
  double packed = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || packed < 0) return std::nullopt;
  double whole_degrees = static_cast<double>(static_cast<long long>(packed / 100));
  return *sign * (whole_degrees + (packed - whole_degrees * 100) / 60.0);
}

}  // namespace orvek::host
