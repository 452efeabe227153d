// The contract text files' numbers and head.
#include <gmock/gmock.h>

#include "contracts/attachment_text.h"

namespace kvt::contracts::test {
namespace {

TEST(AttachmentText, NumbersWithADecimalComma) {
  EXPECT_EQ(KmComma(1234500), "1234,50");
  EXPECT_EQ(KmComma(2555), "2,56");  // half up, whatever a double makes of 2.555
  EXPECT_EQ(KmComma(0), "0,00");
  EXPECT_EQ(MinutesText(450), "450");
  EXPECT_EQ(CountText(0), "0");
  // 10 km in 20 minutes: 30 km/h; 1 km in 7 minutes: 8.571.. km/h; 1 m in 4 minutes:
  // 0.015 km/h exactly, up to 0,02 (a double holds 0.01499.. and prints 0.01).
  EXPECT_EQ(SpeedComma(10000, 20), "30,00");
  EXPECT_EQ(SpeedComma(1000, 7), "8,57");
  EXPECT_EQ(SpeedComma(1, 4), "0,02");
  // No minutes: no infinity, no NaN.
  EXPECT_EQ(SpeedComma(5000, 0), "0,00");
  EXPECT_EQ(SpeedComma(0, 0), "0,00");
}

TEST(AttachmentText, HeadWithoutDistancesAndWithAnUnknownAuthority) {
  // The files' heads with distances are checked whole by the attachments' tests.
  ContractNames names;
  names.companies[101] = "Autolinee Rossi";
  const FileHead head{"Legenda\tTotali Km\n", 7, 101, "01/01/2010", "31/12/2010", std::nullopt};
  EXPECT_EQ(HeadText(head, names),
            "Legenda\tTotali Km\nEnte 7 \nAzienda 101 Autolinee Rossi\n"
            "Periodo dal 01/01/2010 al 31/12/2010\n\n");
}

}  // namespace
}  // namespace kvt::contracts::test
