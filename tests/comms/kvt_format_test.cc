#include "comms/kvt_format.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "comms/calendar.h"
#include "comms/kvt_format_test_util.h"
#include "core/text.h"

namespace kvt::comms {
namespace {

using test::LineOf;
using test::ReadBytes;
using test::TempFile;
using test::WriteBytes;

const std::string kSmall = std::string(KVT_TEST_DATA_DIR) + "/kvt_small.txt";

std::vector<std::string> ReadAll(LineReader& reader) {
  std::vector<std::string> records;
  std::string_view rec;
  while (reader.Next(rec)) records.emplace_back(rec);
  return records;
}

TEST(LineReader, NumbersLinesReturnsToAPositionAndKeepsBytesAsTheyAre) {
  LineReader reader;
  ASSERT_TRUE(reader.Open(kSmall));
  const std::vector<std::string> all = ReadAll(reader);
  ASSERT_EQ(all.size(), 40u);
  ASSERT_TRUE(reader.Rewind());
  std::string_view rec;
  while (reader.Next(rec) && !rec.starts_with("</righe_itiner>")) {
  }
  // The import reads <corse> twice: same records, same line numbers.
  const LineReader::Position beforeTrips = reader.Tell();
  EXPECT_EQ(beforeTrips.line, 27);
  const std::vector<std::string> rest = ReadAll(reader);
  ASSERT_TRUE(reader.Seek(beforeTrips));
  ASSERT_TRUE(reader.Next(rec));
  EXPECT_EQ(rec, "<corse>2");
  EXPECT_EQ(reader.LineNumber(), 27);
  ASSERT_TRUE(reader.Seek(beforeTrips));
  EXPECT_EQ(ReadAll(reader), rest);
  EXPECT_EQ(reader.LineNumber(), 40);

  // CR LF reads as LF; only a CR before the LF goes; a last line without LF is a record.
  std::string crlf;
  for (char c : ReadBytes(kSmall)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TempFile file("crlf.txt");
  WriteBytes(file.path, crlf);
  ASSERT_TRUE(reader.Open(file.path));
  EXPECT_EQ(ReadAll(reader), all);
  WriteBytes(file.path, "a\n\nb\rc\r\n\xE0" + std::string(1, '\0') + "z\nlast");
  ASSERT_TRUE(reader.Open(file.path));
  EXPECT_EQ(ReadAll(reader),
            (std::vector<std::string>{"a", "", "b\rc", std::string("\xE0\0z", 3), "last"}));
  EXPECT_TRUE(reader.Error().empty());
  EXPECT_FALSE(reader.Open(file.path + ".none"));
  EXPECT_FALSE(reader.Open(std::string(KVT_TEST_DATA_DIR)));  // a folder
}

TEST(LineReader, LinesAcrossBufferBoundariesAndOverlongLines) {
  std::string bytes;
  std::vector<std::string> lines;
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::string(i == 30000 ? 3 << 20 : i % 97, static_cast<char>('a' + i % 26)));
    bytes += lines.back() + "\n";
  }
  TempFile file("long.txt");
  WriteBytes(file.path, bytes);
  LineReader reader;
  ASSERT_TRUE(reader.Open(file.path));
  EXPECT_EQ(ReadAll(reader), lines);

  // Beyond the limit reading stops with an error instead of swallowing memory.
  WriteBytes(file.path, "first\n" + std::string(LineReader::kMaxRecordBytes + 10, 'x') + "\n");
  ASSERT_TRUE(reader.Open(file.path));
  EXPECT_EQ(ReadAll(reader).size(), 1u);
  EXPECT_EQ(reader.Error(), "line 2 is longer than 16777216 bytes");
}

TEST(KvtFormat, TagsAndDeclaratorsAreRecognisedExactly) {
  const std::string_view stops = Declarator(Section::Fermate);
  EXPECT_EQ(TaggedNumber("FERMATE\t12", stops), 12);
  for (const char* bad : {"FERMATE 12", "Fermate\t12", "ARCHI\t0"}) {
    EXPECT_FALSE(TaggedNumber(bad, stops).has_value()) << bad;
  }
  EXPECT_EQ(TaggedNumber("<fermate> 12", OpenTag(Section::Fermate)), 12);
  EXPECT_EQ(TaggedNumber("<fermate>", OpenTag(Section::Fermate)), 0);
  EXPECT_FALSE(TaggedNumber(" <fermate>12", OpenTag(Section::Fermate)).has_value());
  EXPECT_EQ(TaggedNumber("</teste_itiner>-123", CloseTag(Section::TesteItiner)), -123);
  EXPECT_FALSE(TaggedNumber("</protocollo>1", kProtocolOpen).has_value());
}

std::string Replace(std::string row, int field, const std::string& value) {
  size_t start = 0;
  for (int i = 0; i < field; ++i) start = row.find('\t', start) + 1;
  const size_t end = row.find('\t', start);
  return row.replace(start, (end == std::string::npos ? row.size() : end) - start, value);
}

TEST(KvtFormat, ProtocolRowVerdicts) {
  const std::string row = "S\tP\tN\t7\t12\t05/01/2010\t01/01/2010\t31/12/2010\tMario Rossi";
  ProtocolRow p;
  ASSERT_TRUE(ParseRow(Replace(Replace(row, 0, "No"), 2, "Si"), p));  // first character only
  EXPECT_FALSE(p.primacom);
  EXPECT_TRUE(p.azzera);
  EXPECT_EQ(p.p_data, (Date{5, 1, 2010}));
  EXPECT_TRUE(ParseRow(Replace(row, 8, std::string(40, '\xE0')), p));
  EXPECT_TRUE(ParseRow(Replace(Replace(row, 6, "31/12/2010"), 1, "I"), p));  // one-day period
  const std::vector<std::string> illegal = {
      row + "\tx", row.substr(0, row.rfind('\t')), Replace(row, 0, "R"), Replace(row, 0, ""),
      Replace(row, 2, "s"), Replace(row, 1, "Q"), Replace(row, 5, "5/01/2010"),
      Replace(row, 6, "01/01/10"), Replace(row, 8, std::string(41, 'x')),
      // Dates that could not be stored, and a period that ends before it begins.
      Replace(row, 7, "31/02/2010"), Replace(row, 6, "00/00/0000"), Replace(row, 6, "02/01/2011")};
  for (const std::string& r : illegal) EXPECT_FALSE(ParseRow(r, p)) << r;
}

template <class Row>
bool Legal(const std::string& record) {
  Row row;
  return ParseRow(record, row);
}

TEST(KvtFormat, FieldCountsAndTextLimits) {
  const std::string stop = "1\tF1\tName\tPlace\t0\t1.5\t2.5", arc = "1\t2\t3\t400",
                    head = "1\tP1\tRoute", detail = "1\t1\t5\t400\t2\t3",
                    trip = "1\tC\tL\tA\t3\tP\t1\t2\t07.30\t3\t07.45\t9\t15\t9\t15\t0\t0\tU",
                    passage = "1\t1\t2\t07.30\t0\t1\t0\t0";
  using Check = bool (*)(const std::string&);
  const std::vector<std::pair<std::string, Check>> kinds = {
      {stop, Legal<FermataRow>},      {arc, Legal<ArcoRow>},   {head, Legal<TestaItinerRow>},
      {detail, Legal<RigaItinerRow>}, {trip, Legal<CorsaRow>}, {passage, Legal<OrarioRow>}};
  for (const auto& [row, legal] : kinds) {
    EXPECT_TRUE(legal(row)) << row;
    EXPECT_FALSE(legal(row + "\t")) << row;
    EXPECT_FALSE(legal(row.substr(0, row.rfind('\t')))) << row;
  }
  // Limits at and one past: stop code 10, name and place 40, route code 20, route name
  // 120, trip code 20, line code 10, the trip's route code 20. Characters as read.
  const std::vector<std::tuple<std::string, Check, int, size_t>> limits = {
      {stop, Legal<FermataRow>, 1, 10},      {stop, Legal<FermataRow>, 2, 40},
      {stop, Legal<FermataRow>, 3, 40},      {head, Legal<TestaItinerRow>, 1, 20},
      {head, Legal<TestaItinerRow>, 2, 120}, {trip, Legal<CorsaRow>, 1, 20},
      {trip, Legal<CorsaRow>, 2, 10},        {trip, Legal<CorsaRow>, 5, 20}};
  for (const auto& [row, legal, field, limit] : limits) {
    EXPECT_TRUE(legal(Replace(row, field, std::string(limit, '\xE8')))) << row << field;
    EXPECT_FALSE(legal(Replace(row, field, std::string(limit + 1, 'x')))) << row << field;
  }
  TestaItinerRow r;
  ASSERT_TRUE(ParseRow(Replace(head, 1, ""), r));
  EXPECT_EQ(r.codperc, " ");
}

// A number its column cannot hold, or a NUL byte anywhere, makes the row illegal: stored cut
// to the column's limit, two identifiers would become one, and a NUL would cut a name while
// the checksum (to which it adds 0) still passes.
TEST(KvtFormat, NumbersTheColumnCannotHoldAndNulBytesMakeARowIllegal) {
  using namespace std::string_literals;
  ArcoRow arc;
  FermataRow stop;
  ProtocolRow protocol;
  CorsaRow trip;
  OrarioRow time;
  RigaItinerRow routeRow;
  GiorniRow month;
  const std::string protocolRow = "S\tP\tN\t101\t7\t01/01/2010\t01/01/2010\t31/12/2010\tUfficio";
  ASSERT_TRUE(ParseRow(protocolRow, protocol));
  EXPECT_FALSE(ParseRow(Replace(protocolRow, 4, "2147483648"), protocol));
  EXPECT_FALSE(ParseRow(Replace(protocolRow, 3, "32768"), protocol));  // azienda is SMALLINT
  EXPECT_FALSE(ParseRow(Replace(protocolRow, 8, "Uff\0icio"s), protocol));

  EXPECT_FALSE(ParseRow("-2147483649\t\tA\t\t1\t0\t0", stop));
  ASSERT_TRUE(ParseRow("-2147483648\t\tA\t\t-32768\t0\t0", stop));
  EXPECT_EQ(stop.ID, -2147483648LL);
  EXPECT_EQ(stop.local, -32768);
  EXPECT_FALSE(ParseRow("1\t\tA\t\t40000\t0\t0", stop));  // local is SMALLINT
  EXPECT_FALSE(ParseRow("1\0\t\tVia\t\t1\t0\t0"s, stop));

  EXPECT_FALSE(ParseRow("1\t2\t3\t99999999999", arc));
  EXPECT_FALSE(ParseRow("1\t70000\t3\t4\t5\t6", routeRow));  // sub is SMALLINT
  const std::string tripRow = "77\tC\tL\tA\t3\tP\t9\t2\t07.30\t3\t08.05\t1\t2\t3\t4\t0\t78\tU";
  ASSERT_TRUE(ParseRow(tripRow, trip));
  EXPECT_FALSE(ParseRow(Replace(tripRow, 12, "40000"), trip));    // tempo
  EXPECT_FALSE(ParseRow(Replace(tripRow, 8, "07.99999"), trip));  // minutes
  EXPECT_FALSE(ParseRow(Replace(tripRow, 16, "3000000000"), trip));
  EXPECT_FALSE(ParseRow("5\t2\t9\t12.07\t99999\t0\t0\t0", time));  // sosta
  EXPECT_FALSE(ParseRow("1\t99999\t3\t5", month));                    // anno
  EXPECT_FALSE(ParseRow("4294967297\t2010\t3\t5", month));
}

TEST(KvtFormat, NumbersTimesFlagsAndRunningDays) {
  CorsaRow t;
  ASSERT_TRUE(ParseRow("77\tC\tL\tAndata\t3\tP\t9\t2\t07.30\t3\t25:05\t1\t2\t3\t4\t0\t78\t", t));
  EXPECT_EQ(t.verso, 'A');
  EXPECT_EQ(t.mezzo, ' ');
  EXPECT_EQ(t.prevcor, 0);                 // none: stored empty
  EXPECT_EQ(t.hh_a * 100 + t.mm_a, 2505);  // any separator; past midnight kept
  int32_t h = -1, m = -1;
  ParseTimeField("7.30", h, m);  // by position: hours "7.", minutes from the fourth
  EXPECT_EQ(h * 100 + m, 700);
  ArcoRow arc;
  ASSERT_TRUE(ParseRow(" 12x\t-3\t\t2147483647", arc));
  EXPECT_EQ(arc.ID, 12);
  EXPECT_EQ(arc.inizio, -3);
  EXPECT_EQ(arc.fine, 0);
  EXPECT_EQ(arc.lung, 2147483647);
  OrarioRow o;
  ASSERT_TRUE(ParseRow("5\t2\t9\t12.07\t3\t00\tS\t", o));
  EXPECT_FALSE(o.primaria);  // false only for a leading "0"
  EXPECT_TRUE(o.facolt);
  EXPECT_TRUE(o.nonferma);
  FermataRow stop;
  ASSERT_TRUE(ParseRow("102\t\tVia Libert\xE0\t\t3\t0.00\t5000000.25", stop));
  EXPECT_EQ(stop.fermata, " ");             // an empty code is one blank
  EXPECT_EQ(stop.denom, "Via Libert\xE0");  // bytes as on disk
  EXPECT_EQ(stop.local, 3);
  EXPECT_DOUBLE_EQ(stop.coord_y, 5000000.25);

  GiorniRow g;
  EXPECT_FALSE(ParseRow("1\t2010\t3", g));
  std::string days = "1\t2010\t3";
  for (int d = 1; d <= 31; ++d) days += "\t" + std::to_string(d);
  ASSERT_TRUE(ParseRow(days, g));
  EXPECT_EQ(DayString(g.days), std::string(31, 'S'));
  EXPECT_FALSE(ParseRow(days + "\t1", g));
  EXPECT_FALSE(ParseRow("1\t2010\t0\t5", g));
  EXPECT_FALSE(ParseRow("1\t2010\t13\t5", g));
  ASSERT_TRUE(ParseRow("1\t2010\t3\t0\t32\t-1\t5\t5\tx", g));  // only day 5 marked
  EXPECT_EQ(DayString(g.days), "NNNNSNNNNNNNNNNNNNNNNNNNNNNNNNN");
  // Days the month does not have mark nothing either: "N" past its end.
  ASSERT_TRUE(ParseRow("1\t2010\t2\t27\t28\t29\t30\t31", g));
  EXPECT_EQ(DayString(g.days), std::string(26, 'N') + "SSNNN");
  ASSERT_TRUE(ParseRow("1\t2012\t2\t29\t30", g));  // a leap year has its 29th
  EXPECT_EQ(DayString(g.days), std::string(28, 'N') + "SNN");
  ASSERT_TRUE(ParseRow("1\t2010\t4\t31", g));
  EXPECT_EQ(g.days, 0u);
}

// The content of tests/data/kvt_small.txt as typed rows.
void WriteSmall(KvtWriter& w) {
  ProtocolRow p{false, true,         'P',          false,          7,
                12,    {5, 1, 2010}, {1, 1, 2010}, {31, 12, 2010}, "Mario Rossi"};
  SectionCounts counts;
  counts.rows = {3, 2, 1, 2, 2, 4, 2};
  w.WriteProtocol(p, counts);
  w.BeginSection(Section::Fermate);
  w.Write(FermataRow{101, "F101", "Piazza Libert\xE0", "Lato nord", 0, 1600000.5, 5000000.25});
  w.Write(FermataRow{102, "", "Via Roma", "", 3, 0, 0});
  w.Write(FermataRow{103, "F103", "Stazione FS", "Piazzale", 0, 1601000, 5001000});
  w.EndSection();
  w.BeginSection(Section::Archi);
  w.Write(ArcoRow{1, 101, 102, 850});
  w.Write(ArcoRow{2, 102, 103, 1200});
  w.EndSection();
  w.BeginSection(Section::TesteItiner);
  w.Write(TestaItinerRow{1, "", "Percorso Citt\xE0 - Stazione"});
  w.EndSection();
  w.BeginSection(Section::RigheItiner);
  w.Write(RigaItinerRow{1, 1, 1, 850, 101, 102});
  w.Write(RigaItinerRow{1, 2, 2, 2050, 102, 103});
  w.EndSection();
  w.BeginSection(Section::Corse);
  w.Write(CorsaRow{501, "C501", "L1", 'A',  3,  "P1", 1,  101, 7,   30,
                   103, 7,      45,   2050, 15, 2050, 15, 0,   502, 'U'});
  w.Write(
      CorsaRow{502, "", "", 'R', 3, "", 1, 103, 8, 0, 101, 8, 15, 2050, 15, 2000, 14, 501, 0, 'X'});
  w.EndSection();
  w.BeginSection(Section::Orari);
  w.Write(OrarioRow{501, 1, 101, 7, 30, 0, true, false, false});
  w.Write(OrarioRow{501, 2, 102, 7, 37, 1, false, true, false});
  w.Write(OrarioRow{501, 3, 103, 7, 45, 0, true, false, true});
  w.Write(OrarioRow{502, 1, 103, 8, 0, 0, true, false, false});
  w.EndSection();
  w.BeginSection(Section::Giorni);
  w.Write(GiorniRow{501, 2010, 1, DayBits("SSSNNNNNNNNNNNNNNNNNNNNNNNNNNNS")});
  w.Write(GiorniRow{502, 2010, 2, DayBits("SNNNNNNNNNNNNNSNNNNNNNNNNNNSNNN")});
  w.EndSection();
}

TEST(KvtWriter, WritesTheHandWrittenFileByteForByte) {
  TempFile file("small.txt");
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  WriteSmall(w);
  EXPECT_TRUE(w.Close()) << w.Error();
  EXPECT_EQ(w.LinesWritten(), 40);
  EXPECT_EQ(ReadBytes(file.path), ReadBytes(kSmall));
}

void EmptySections(KvtWriter& w, std::span<const Section> sections) {
  for (Section s : sections) {
    w.BeginSection(s);
    w.EndSection();
  }
}

TEST(KvtWriter, TextsThatWouldBreakARowAreMadeLegal) {
  ProtocolRow p;
  p.p_data = p.datini = p.datfin = {1, 1, 2010};
  p.resple = "Rossi\tMario\nUfficio con un nome molto lungo, oltre quaranta";
  std::string protocol, stop, trip;
  AppendRow(protocol, p);
  AppendRow(stop, FermataRow{1, "CODICE-TROPPO-LUNGO", "Nome\tcon\r\ntab", std::string(50, 'u'), 0,
                             0, 0});
  AppendRow(trip, CorsaRow{1, std::string(25, 'c'), "LINEA-0123456", '\t', 1, "", 1, 1, 7, 5,
                           1, 8, 0, 0, 0, 0, 0, 0, 0, ' '});
  EXPECT_EQ(protocol,
            "N\tP\tN\t0\t0\t01/01/2010\t01/01/2010\t01/01/2010\t"
            "Rossi Mario Ufficio con un nome molto lu");
  EXPECT_EQ(stop, "1\tCODICE-TRO\tNome con  tab\t" + std::string(40, 'u') + "\t0\t0.00\t0.00");
  EXPECT_EQ(trip, "1\t" + std::string(20, 'c') +
                      "\tLINEA-0123\t\t1\t\t1\t1\t07.05\t1\t08.00\t0\t0\t0\t0\t\t\t");
  ProtocolRow pr;
  FermataRow fr;
  CorsaRow cr;
  EXPECT_TRUE(ParseRow(protocol, pr) && ParseRow(stop, fr) && ParseRow(trip, cr));
}

TEST(KvtWriter, RefusesToReportAFileThatWouldNotCheck) {
  TempFile file("bad.txt");
  ProtocolRow p;
  p.p_data = p.datini = p.datfin = {1, 1, 2010};
  SectionCounts two;
  two[Section::Fermate] = 2;
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  w.WriteProtocol(p, two);
  w.BeginSection(Section::Fermate);
  w.Write(FermataRow{1, "", "A", "", 0, 0, 0});
  w.EndSection();
  EXPECT_FALSE(w.Close());
  EXPECT_EQ(w.Error(), "<fermate> has 1 rows, 2 declared");
  ASSERT_TRUE(w.Open(file.path));
  w.WriteProtocol(p, SectionCounts{});
  EmptySections(w, std::vector<Section>{Section::Archi});
  EXPECT_FALSE(w.Close());
  EXPECT_EQ(w.Error(), "section <archi> out of order");
  p.datini = {2, 1, 2010};
  ASSERT_TRUE(w.Open(file.path));
  w.WriteProtocol(p, SectionCounts{});
  EmptySections(w, kSections);
  EXPECT_FALSE(w.Close());
  EXPECT_EQ(w.Error(), "protocol dates are not a valid period");
  EXPECT_FALSE(w.Open("/nonexistent-dir/x.txt"));
  EXPECT_EQ(w.Error(), "cannot create /nonexistent-dir/x.txt");
}

TEST(KvtWriter, ReferenceBaseHasNoRunningDays) {
  TempFile file("base.txt");
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  ProtocolRow p{true, false,        'P',          true,           7,
                12,   {5, 1, 2010}, {1, 1, 2010}, {31, 12, 2010}, "Mario Rossi"};
  SectionCounts counts;
  counts[Section::Fermate] = 1;
  counts[Section::Giorni] = 5;  // ignored: no such section in a reference base
  w.WriteProtocol(p, counts);
  w.BeginSection(Section::Fermate);
  w.Write(FermataRow{1, "F1", "Stazione", "", 0, 12.5, 0});
  w.EndSection();
  EmptySections(w, std::vector<Section>{Section::Archi, Section::TesteItiner, Section::RigheItiner,
                                        Section::Corse, Section::Orari});
  ASSERT_TRUE(w.Close()) << w.Error();
  EXPECT_EQ(w.LinesWritten(), 22);
  EXPECT_EQ(LineOf(file.path, 2),
            "R\tP\tS\t7\t12\t05/01/2010\t01/01/2010\t31/12/2010\tMario Rossi");
  EXPECT_EQ(LineOf(file.path, 8), "ORARI\t0");
  EXPECT_EQ(LineOf(file.path, 11), "1\tF1\tStazione\t\t0\t12.50\t0.00");
  EXPECT_EQ(LineOf(file.path, 22), "</orari>0");

  ASSERT_TRUE(w.Open(file.path));
  w.WriteProtocol(p, SectionCounts{});
  EmptySections(w, kSections);
  EXPECT_FALSE(w.Close());
  EXPECT_EQ(w.Error(), "section <giorni> out of order");
}

}  // namespace
}  // namespace kvt::comms
