#include "core/checksum.h"

#include <gtest/gtest.h>

#include <string>

namespace kvt {
namespace {

TEST(Checksum, LineChecksumOfTheDocumentedExamples) {
  EXPECT_EQ(LineChecksum("FERMATE\t12"), 615);
  EXPECT_EQ(LineChecksum("ARCHI\t0"), 407);
  EXPECT_EQ(LineChecksum("\xE0"), -32);  // à in Windows-1252
  EXPECT_EQ(LineChecksum(""), 0);
  // TAB and LF do not count; CR and blanks do.
  EXPECT_EQ(LineChecksum("A\tB\n"), 'A' + 'B');
  EXPECT_EQ(LineChecksum("A B\r"), 'A' + ' ' + 'B' + '\r');
  // Accented letters make a row smaller than the same row without accents.
  EXPECT_LT(LineChecksum("1\tCitt\xE0"), LineChecksum("1\tCitta"));
  EXPECT_EQ(LineChecksum("\xFF\x80"), -1 - 128);
}

TEST(Checksum, RunningFoldKeepsTheSignOfTheDividend) {
  EXPECT_EQ(FoldChecksum(999999999, 5), 4);
  EXPECT_EQ(FoldChecksum(-999999999, -5), -4);
  EXPECT_EQ(FoldChecksum(-10, 4), -6);
  EXPECT_EQ(FoldChecksum(10, -14), -4);
  EXPECT_EQ(FoldChecksum(0, 1000000000), 0);

  RunningChecksum sum;
  sum.Add("FERMATE\t12");
  sum.Add("ARCHI\t0");
  sum.Add("\xE0");
  EXPECT_EQ(sum.Value(), 615 + 407 - 32);
  sum.Reset();
  EXPECT_EQ(sum.Value(), 0);

  // A long run passes the modulus more than once and stays in range.
  const std::string heavy(1000000, '\x7F');  // 127,000,000 per line
  for (int i = 0; i < 20; ++i) sum.Add(heavy);
  EXPECT_EQ(sum.Value(), static_cast<int32_t>((20LL * 127000000) % 1000000000));
  const std::string negative(1000000, '\x80');  // -128,000,000 per line
  RunningChecksum down;
  for (int i = 0; i < 9; ++i) down.Add(negative);
  EXPECT_EQ(down.Value(), -152000000);
}

}  // namespace
}  // namespace kvt
