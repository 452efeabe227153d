#include "core/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace kvt {
namespace {

TEST(Text, LeadingIntegerRule) {
  EXPECT_EQ(LeadingInt("42"), 42);
  EXPECT_EQ(LeadingInt("  42abc"), 42);
  EXPECT_EQ(LeadingInt("-7"), -7);
  EXPECT_EQ(LeadingInt("12 34"), 12);
  EXPECT_EQ(LeadingInt(""), 0);
  EXPECT_EQ(LeadingInt("- 3"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(LeadingInt("-99999999999999999999"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(LeadingInt("-9223372036854775808"), std::numeric_limits<int64_t>::min());
}

TEST(Text, IntegersAndHexDigitsAppended) {
  std::string out = "x";
  AppendInt(out, std::numeric_limits<int64_t>::min());
  AppendInt(out, 0);
  EXPECT_EQ(out, "x-92233720368547758080");
  out.clear();
  AppendZeroPadded(out, 7, 2);
  AppendZeroPadded(out, -7, 4);  // the sign counts in the width, as "%04d"
  AppendZeroPadded(out, 12345, 4);
  AppendZeroPadded(out, std::numeric_limits<int64_t>::min(), 2);
  EXPECT_EQ(out, "07-00712345-9223372036854775808");
  out.clear();
  AppendHex(out, std::string_view("\0\x0a\xff", 3));
  AppendHex(out, std::string_view("\xab", 1), true);
  EXPECT_EQ(out, "000affAB");
  EXPECT_EQ(HexDigitValue('f'), 15);
  EXPECT_EQ(HexDigitValue('A'), 10);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue('g'), -1);
}

TEST(Text, DecimalCommaBothWaysAndKilometres) {
  EXPECT_EQ(CommaDecimal(Format("%1.2lf", 12.5)), "12,50");
  EXPECT_EQ(CommaDecimal("1.234.5"), "1,234,5");
  EXPECT_DOUBLE_EQ(ParseDecimal("12,50"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDecimal("12.5"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDecimal(" -3.25xyz"), -3.25);
  EXPECT_DOUBLE_EQ(ParseDecimal(".5"), 0.5);
  // Only plain decimals: no exponent surprises, no infinities from a file.
  EXPECT_DOUBLE_EQ(ParseDecimal("abc"), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("inf"), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("0x10"), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("1e5"), 1);
  // Nor from more digits than a double holds (they used to read as an infinity).
  EXPECT_DOUBLE_EQ(ParseDecimal(std::string(400, '9')), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("-1" + std::string(309, '0') + ",5"), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("0," + std::string(400, '0') + "1"), 0);
  EXPECT_DOUBLE_EQ(ParseDecimal("1" + std::string(300, '0')), 1e300);
  EXPECT_EQ(FormatKm(12345), "12.35");
  EXPECT_EQ(FormatKm(999), "1.00");
  EXPECT_EQ(FormatKm(5), "0.01");
  EXPECT_EQ(FormatKm(125), "0.12");  // 0.125 is stored just below: printf rounds the value
  EXPECT_EQ(FormatKm(1234567), "1234.57");
}

TEST(Text, FormatHasNoLengthLimit) {
  const std::string long_text(5000, 'x');
  EXPECT_EQ(Format("<%s>", long_text.c_str()).size(), 5002u);
  EXPECT_EQ(Format("%04d - %s", 7, "ATM"), "0007 - ATM");
}

TEST(Text, TrimsRemoveBlanksOnly) {
  EXPECT_EQ(TrimRight("  ab  "), "  ab");
  EXPECT_EQ(Trim("  ab  "), "ab");
  EXPECT_EQ(Trim("\tab\t"), "\tab\t");
  EXPECT_EQ(Trim("    "), "");
}

TEST(Text, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  EXPECT_EQ(Utf8Length(utf8), 256u);

  EXPECT_EQ(Cp1252ToUtf8("Citt\xE0"), "Città");
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "€");
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(Utf8ToCp1252("Città € Perù"), "Citt\xE0 \x80 Per\xF9");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??");
  // Bytes that are not UTF-8 are taken as they are.
  EXPECT_EQ(Utf8ToCp1252("Citt\xE0 "), "Citt\xE0 ");
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "\xC3");
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");  // an overlong '/'
  EXPECT_EQ(Utf8Length("Città"), 5u);
}

TEST(Text, TellsWellFormedUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("Città € \U0010FFFF"));
  EXPECT_TRUE(IsValidUtf8(Cp1252ToUtf8("Citt\xE0 \x81\x9D")));
  for (const char* bad : {"Citt\xE0", "\xAA", "\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "a\xC3(b"}) {
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  }
}

TEST(Text, PickListCodes) {
  const std::vector<std::string> entries = {PickEntry(7, "ATM"), PickEntry(123, "Ferrovie Nord"),
                                            PickEntry(4500, "Navigazione")};
  EXPECT_EQ(entries[0], "0007 - ATM");
  EXPECT_EQ(entries[1], "0123 - Ferrovie Nord");
  EXPECT_EQ(PickCode("0007 - ATM", entries), 7);
  EXPECT_EQ(PickCode("0123", entries), 123);
  EXPECT_EQ(PickCode("4500 - anything typed", entries), 4500);
  EXPECT_FALSE(PickCode("0008 - ATM", entries).has_value());
  EXPECT_FALSE(PickCode("7 - ATM", entries).has_value());
  EXPECT_FALSE(PickCode("012", entries).has_value());
  EXPECT_FALSE(PickCode("0007", {}).has_value());
  EXPECT_EQ(PickInvalidMessage("Codice Azienda"),
            "ATTENZIONE: Il Codice Azienda non è valido.\n\n"
            "Occorre selezionare un Codice Azienda presente nella lista.\n\n");
}

}  // namespace
}  // namespace kvt
