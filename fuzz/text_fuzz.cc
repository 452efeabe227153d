// Windows-1252 <-> UTF-8 and the number readers every file parser relies on. Properties:
// every byte string survives 1252 -> UTF-8 -> 1252 and gives valid UTF-8 of one character a
// byte; UTF-8 made from 1252 text converts back to it; the leading-integer rule agrees with
// a plain reference; a decimal read from a file is always a finite number.
#include <cmath>
#include <string>

#include "core/text.h"
#include "fuzz_util.h"

namespace kvt::fuzz {
namespace {

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF), written apart from
// the program's own decoder so that the two check each other.
bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const size_t need = b >= 0xC2 && b <= 0xDF   ? 1
                        : b >= 0xE0 && b <= 0xEF ? 2
                        : b >= 0xF0 && b <= 0xF4 ? 3
                                                 : 0;
    if (need == 0 || i + need >= s.size()) return false;
    char32_t cp = b & (0x3F >> need);
    for (size_t k = 1; k <= need; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += need + 1;
  }
  return true;
}

// The leading-integer rule spelled out with a wide accumulator.
int64_t ReferenceLeadingInt(std::string_view t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  __int128 v = 0;
  const __int128 limit = static_cast<__int128>(INT64_MAX) + 1;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    v = v * 10 + (t[i] - '0');
    if (v > limit) v = limit;
  }
  if (negative) return static_cast<int64_t>(-v);
  return v > INT64_MAX ? INT64_MAX : static_cast<int64_t>(v);
}

}  // namespace
}  // namespace kvt::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  const std::string_view bytes = AsText(data, size);

  Check(kvt::IsValidUtf8(bytes) == IsUtf8(bytes), "well-formed UTF-8 is told wrongly", bytes);
  const std::string utf8 = kvt::Cp1252ToUtf8(bytes);
  Check(IsUtf8(utf8), "1252 text converts to invalid UTF-8", bytes);
  Check(kvt::Utf8Length(utf8) == bytes.size(), "1252 text changes its length in UTF-8", bytes);
  Check(kvt::Utf8ToCp1252(utf8) == bytes, "1252 text does not survive a round trip", bytes);

  // The input taken as UTF-8: what is converted to 1252 comes back from it unchanged.
  const std::string cp1252 = kvt::Utf8ToCp1252(bytes);
  Check(kvt::Utf8ToCp1252(kvt::Cp1252ToUtf8(cp1252)) == cp1252,
        "UTF-8 text converted to 1252 does not survive a round trip", bytes);
  if (IsUtf8(bytes) && cp1252.find('?') == std::string::npos)
    Check(kvt::Cp1252ToUtf8(cp1252) == bytes, "UTF-8 text with a 1252 form is changed", bytes);

  Check(kvt::LeadingInt(bytes) == ReferenceLeadingInt(bytes), "the leading integer is wrong",
        bytes);
  Check(std::isfinite(kvt::ParseDecimal(bytes)), "a decimal reads as a number that is not finite",
        bytes);
  return 0;
}
