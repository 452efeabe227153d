// Communications a careless or hostile sender could write, on both engines: numbers no column
// can hold, NUL bytes, a month given twice. Each is refused at its line by the
// first pass, and nothing is written.
#include <gtest/gtest.h>

#include "core/checksum.h"
#include "import_fixture.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;
using namespace std::string_literals;

constexpr std::string_view kProtocolRow =
    "S\tP\tN\t101\t1\t01/01/2010\t01/01/2010\t31/12/2010\tUfficio";

// A communication of raw rows (the writer could not write these), with the counts and
// checksums that make it well-formed: only the rows themselves can be at fault.
std::string RawFile(std::string_view protocol, std::vector<std::string> stops) {
  std::array<std::vector<std::string>, kSectionCount> rows{};
  rows[0] = std::move(stops);
  std::string out = "<protocollo>1\n" + std::string(protocol) + "\n";
  RunningChecksum head;
  head.Add(protocol);
  for (size_t i = 0; i < kSectionCount; ++i) {
    const std::string declarator = std::string(Declarator(kSections[i])) +
                                   std::to_string(rows[i].size());
    out += declarator + "\n";
    head.Add(declarator);
  }
  out += std::string(kProtocolClose) + std::to_string(head.Value()) + "\n";
  for (size_t i = 0; i < kSectionCount; ++i) {
    out += std::string(OpenTag(kSections[i])) + std::to_string(rows[i].size()) + "\n";
    RunningChecksum section;
    for (const std::string& row : rows[i]) {
      out += row + "\n";
      section.Add(row);
    }
    out += std::string(CloseTag(kSections[i])) + std::to_string(section.Value()) + "\n";
  }
  return out;
}

class HostileCommunicationTest : public CommsDbTest {
 protected:
  // The communication is refused with exactly `errors`, and nothing is written.
  void Refused(const std::string& path, const Strings& errors) {
    EXPECT_EQ(Errors(path), errors) << path;
    EXPECT_FALSE(Import(path));
    EXPECT_EQ(ui.Texts(), Strings{std::string(kRefusedQuestion)});
    EXPECT_EQ(TableCounts(), (std::vector<long long>{0, 0, 0, 0, 0, 0, 0, 0, 0}));
  }
};

TEST_P(HostileCommunicationTest, NumbersNoColumnHoldsAndNulBytesAreIllegalRows) {
  // Two 20-digit stops were both stored as 2147483647, one of them lost.
  const std::string stop = "\tF\tPiazza\t\t0\t0\t0";
  Refused(Write("ids.txt", RawFile(kProtocolRow, {"12345678901234567890" + stop,
                                                  "12345678901234567891" + stop})),
          Illegal(12, "<fermate>"));
  // The protocol number, stored as 2147483647.
  std::string protocol(kProtocolRow);
  protocol.replace(protocol.find("\t1\t0"), 2, "\t99999999999999999999");
  Refused(Write("protoc.txt", RawFile(protocol, {"1" + stop})), Illegal(2, "<protocollo>"));
  // A NUL byte cut the name, and the checksum (it adds 0) still passed.
  Refused(Write("nul.txt", RawFile(kProtocolRow, {"1" + stop, "2\tF\tPiaz\0za\t\t0\t0\t0"s})),
          Illegal(13, "<fermate>"));
  // The largest numbers that fit are taken as they are.
  ASSERT_TRUE(Import(Write("fit.txt", RawFile(kProtocolRow, {"2147483647" + stop}))))
      << ui.Texts().at(0);
  EXPECT_EQ(Rows("SELECT ID, denom FROM fermate", 2), Strings{"2147483647|Piazza"});
}

TEST_P(HostileCommunicationTest, AMonthGivenTwiceForATripIsADuplicate) {
  Communication c = Plan(1);
  AddNetwork(c);
  AddTrip(c, 1);
  // Lines: protocol section 1-10, stops 12-13, arc 16, route 19, route row 22, trip 25,
  // times 28-29, months from 32.
  c.days = {Month(1, 2010, 3, {1, 2}), Month(1, 2010, 4, {1}), Month(1, 2010, 3, {3}),
            Month(1, 2011, 3, {1}), Month(1, 2010, 3, {4})};
  // The month string kept the first row's days, the day rows got both, and a later rebuild
  // lost the second row's days.
  Refused(Write(c, "months.txt"), {Duplicate(34, "<giorni>", 1), Duplicate(36, "<giorni>", 1)});
  // Another trip's same month, and the same month of another year, are not repetitions.
  AddTrip(c, 2);
  c.days = {Month(1, 2010, 3, {1, 2}), Month(2, 2010, 3, {1}), Month(1, 2011, 3, {5})};
  ASSERT_TRUE(Import(Write(c, "months_ok.txt"))) << ui.Texts().at(0);
  EXPECT_EQ(Rows("SELECT ID, anno, mese, giorni FROM mesi ORDER BY ID, anno", 4),
            (Strings{"1|2010|3|SS" + std::string(29, 'N'), "1|2011|3|NNNNS" + std::string(26, 'N'),
                     "2|2010|3|S" + std::string(30, 'N')}));
}

KVT_INSTANTIATE_ENGINES(HostileCommunicationTest);

}  // namespace
}  // namespace kvt::comms::test
