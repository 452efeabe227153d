#include "core/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kvt {

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return out;
}

void AppendInt(std::string& out, int64_t value) {
  char digits[24];  // a 64-bit integer in decimal with its sign
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void AppendZeroPadded(std::string& out, int64_t value, int width) {
  char digits[24];
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  const size_t length =
      static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
  if (value < 0) {
    out += '-';
    --width;
  }
  if (width > static_cast<int>(length)) out.append(static_cast<size_t>(width) - length, '0');
  out.append(digits, length);
}

namespace {
constexpr char kHexDigits[] = "0123456789abcdef0123456789ABCDEF";
}  // namespace

void AppendHex(std::string& out, std::string_view bytes, bool upper) {
  const char* digits = kHexDigits + (upper ? 16 : 0);
  out.reserve(out.size() + bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {
bool IsBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
}  // namespace

int64_t LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate towards the sign so that INT64_MIN itself is reachable.
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (!negative) {
      if (value > (kMax - digit) / 10) return kMax;
      value = value * 10 + digit;
    } else {
      if (value < (kMin + digit) / 10) return kMin;
      value = value * 10 - digit;
    }
  }
  return value;
}

std::string CommaDecimal(std::string text) {
  std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

double ParseDecimal(std::string_view text) {
  // strtod needs a terminated text and follows the C locale, which we never change.
  std::string copy(text);
  std::replace(copy.begin(), copy.end(), ',', '.');
  size_t start = 0;
  while (start < copy.size() && IsBlank(copy[start])) ++start;
  // Only plain decimal notation: no hexadecimal, infinity or NaN forms from a file.
  size_t end = start;
  if (end < copy.size() && (copy[end] == '+' || copy[end] == '-')) ++end;
  bool digits = false;
  while (end < copy.size() && copy[end] >= '0' && copy[end] <= '9') ++end, digits = true;
  if (end < copy.size() && copy[end] == '.') {
    ++end;
    while (end < copy.size() && copy[end] >= '0' && copy[end] <= '9') ++end, digits = true;
  }
  if (!digits) return 0.0;
  copy.resize(end);
  // Digits past the range of a double would read as an infinity: junk like any other.
  const double value = std::strtod(copy.c_str() + start, nullptr);
  return std::isfinite(value) ? value : 0.0;
}

std::string FormatKm(double metres) {
  return Format("%1.2lf", metres * 0.001);
}

std::string_view TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::string_view Trim(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  return TrimRight(text.substr(start));
}

namespace {

// Code points of 0x80..0x9F in Windows-1252; the five undefined bytes map to the C1 control
// of the same value so that every byte survives a round trip.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Cp1252ToCodePoint(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
  return b;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The 1252 byte of a code point, or nothing.
std::optional<unsigned char> CodePointToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

// Decodes one well-formed UTF-8 sequence at text[i]; sets `length` (0 when malformed).
char32_t DecodeUtf8(std::string_view text, size_t i, size_t& length) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  length = 0;
  size_t need;
  char32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + need >= text.size()) return 0;  // truncated sequence
  for (size_t k = 1; k <= need; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if ((need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  length = need + 1;
  return cp;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, Cp1252ToCodePoint(b));
    }
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += text[i++];
      continue;
    }
    size_t length = 0;
    const char32_t cp = DecodeUtf8(text, i, length);
    if (length == 0) {
      out += text[i++];  // not UTF-8: taken as a 1252 byte
      continue;
    }
    auto byte = CodePointToCp1252(cp);
    out += byte ? static_cast<char>(*byte) : '?';
    i += length;
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    DecodeUtf8(text, i, length);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::string PickEntry(int code, std::string_view name) {
  return Format("%04d - %.*s", code, static_cast<int>(name.size()), name.data());
}

std::optional<int> PickCode(std::string_view chosen, const std::vector<std::string>& entries) {
  if (chosen.size() < 4) return std::nullopt;
  for (size_t i = 0; i < 4; ++i) {
    if (chosen[i] < '0' || chosen[i] > '9') return std::nullopt;
  }
  const int code = static_cast<int>(LeadingInt(chosen.substr(0, 4)));
  const std::string prefix = Format("%04d", code);
  for (const std::string& entry : entries) {
    if (entry.compare(0, prefix.size(), prefix) == 0) return code;
  }
  return std::nullopt;
}

std::string PickInvalidMessage(std::string_view what) {
  std::string w(what);
  return "ATTENZIONE: Il " + w + " non è valido.\n\n" + "Occorre selezionare un " + w +
         " presente nella lista.\n\n";
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace kvt
