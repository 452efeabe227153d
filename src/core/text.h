// Text helpers shared by every layer: numbers as the program writes and reads them,
// Windows-1252 at the file boundary, pick-list codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

// printf-style formatting into a std::string (no fixed buffers).
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The leading-integer rule: optional blanks, optional sign, digits; stops at the first
// other character; no digits gives 0. Saturates at the 64-bit limits.
int64_t LeadingInt(std::string_view text);

// Integers appended as "%lld", and as "%0<width>lld" (the sign, then zeros up to `width`
// characters): the one integer formatter of hot loops, without the locale or a temporary.
void AppendInt(std::string& out, int64_t value);
void AppendZeroPadded(std::string& out, int64_t value, int width);

// Two hexadecimal digits a byte ("0a1b"; "0A1B" when `upper`), and the value of one digit
// of either case (-1 for any other character).
void AppendHex(std::string& out, std::string_view bytes, bool upper = false);
int HexDigitValue(char c);

// A double written with a decimal point, as "%1.2lf" etc., with every '.' turned into ','
// (texts for other systems). And back: ',' read as '.'.
std::string CommaDecimal(std::string text);
// Accepts ',' or '.'; junk after the number ignored; no number, or one past the range of a
// double, gives 0.
double ParseDecimal(std::string_view text);

// Kilometres from metres as shown everywhere: metres * 0.001 with "%1.2lf".
std::string FormatKm(double metres);

// Equal but for the case of ASCII letters (names of tables, columns, settings).
bool EqualsNoCase(std::string_view a, std::string_view b);

// Removes trailing blanks (' ').
std::string_view TrimRight(std::string_view text);
std::string_view Trim(std::string_view text);

// Windows-1252 <-> UTF-8. Bytes undefined in 1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the C1 controls of the same value, so that every byte survives a round trip. A UTF-8
// character with no 1252 form becomes '?'; invalid UTF-8 bytes are taken as 1252.
std::string Cp1252ToUtf8(std::string_view bytes);
std::string Utf8ToCp1252(std::string_view text);

// True when `text` is well-formed UTF-8: no stray or missing continuation bytes, overlong
// forms, surrogates or values past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Number of characters (code points) of a UTF-8 text.
size_t Utf8Length(std::string_view text);

// Pick lists: entries that begin with a code in four digits ("%04d - %s").
std::string PickEntry(int code, std::string_view name);  // "%04d - %s"
// The code of the chosen text: the first four characters must be digits and their "%04d"
// form must begin an entry of the list. Nothing otherwise.
std::optional<int> PickCode(std::string_view chosen, const std::vector<std::string>& entries);
// The stop message for an invalid choice of `what` ("Codice Azienda", "Codice Ente",
// "Lotto di Gara", "Tipo Contesto", ...): "ATTENZIONE: Il <what> non è valido.\n\n"
// "Occorre selezionare un <what> presente nella lista.\n\n".
std::string PickInvalidMessage(std::string_view what);

}  // namespace kvt
