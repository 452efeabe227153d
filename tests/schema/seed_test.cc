// The seed lists: the compiled-in lists are well formed, and a malformed list file is
// refused with the line and the reason instead of seeding wrong rows.
#include <gtest/gtest.h>

#include "schema/seed.h"

namespace kvt::schema {
namespace {

// The parser refuses repeated codes, codes past 32767 and names past 40 characters, so an
// accepted list needs no further check here.
TEST(SeedLists, CompiledListsAreWellFormed) {
  EXPECT_EQ(SeedListProblem(), "");
  EXPECT_EQ(SeedCompanies().front(), (SeedEntry{101, "Autolinee Velmoresi S.p.A."}));
  EXPECT_EQ(SeedAuthorities().front(), (SeedEntry{1, "Regione Velmora"}));
}

TEST(SeedLists, ReadsCodesAndNamesAndRefusesMalformedLines) {
  std::string why;
  auto read = ParseSeedList(
      "# commento\n\n  7   Tramvie Città di Portoleone  \r\n12\tNavigazione Lago\n", &why);
  ASSERT_TRUE(read.has_value()) << why;
  EXPECT_EQ(*read,
            (std::vector<SeedEntry>{{7, "Tramvie Città di Portoleone"}, {12, "Navigazione Lago"}}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1 Uno\nDue\n", "riga 2: codice mancante"},
      {"1Uno\n", "riga 1: codice mancante"},
      {"# c\n1\n", "riga 2: codice mancante"},
      {"40000 Troppo alto\n", "riga 1: codice oltre 32767"},
      {"123456 Troppe cifre\n", "riga 1: codice oltre 32767"},
      {"1 Uno\n\n1 Ancora uno\n", "riga 3: codice ripetuto"},
      {"5 " + std::string(39, 'x') + "à\n", ""},
      {"5 " + std::string(40, 'x') + "à\n", "riga 1: denominazione oltre 40 caratteri"},
      {"1 Uno\n5 Citt\xE0 di Portoleone\n", "riga 2: denominazione non in UTF-8"},
      {"5 \xAA\n", "riga 1: denominazione non in UTF-8"},
  };
  for (const auto& [text, expected] : cases) {
    std::string error;
    auto list = ParseSeedList(text, &error);
    EXPECT_EQ(list.has_value(), expected.empty()) << text;
    EXPECT_EQ(error, expected) << text;
  }
}

}  // namespace
}  // namespace kvt::schema
