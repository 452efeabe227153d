#include "comms/kvt_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comms/calendar.h"
#include "comms/kvt_format_test_util.h"
#include "core/text.h"

namespace kvt::comms {
namespace {

using test::CheckFile;
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

// ---------------------------------------------------------------------------------------
// Reading

TEST(LineReader, NumbersLinesAndReturnsToARememberedPosition) {
  LineReader reader;
  ASSERT_TRUE(reader.Open(kSmall));
  std::string_view rec;
  LineReader::Position beforeTrips;
  std::vector<std::string> firstReading;
  while (reader.Next(rec)) {
    if (rec.starts_with("</righe_itiner>")) beforeTrips = reader.Tell();
    if (beforeTrips.offset > 0 && reader.LineNumber() >= beforeTrips.line) {
      firstReading.emplace_back(rec);
    }
  }
  EXPECT_EQ(reader.LineNumber(), 40);
  EXPECT_TRUE(reader.Error().empty());
  ASSERT_EQ(beforeTrips.line, 27);

  // The import reads <corse> twice: back to the header, same text, same line numbers.
  ASSERT_TRUE(reader.Seek(beforeTrips));
  ASSERT_TRUE(reader.Next(rec));
  EXPECT_EQ(rec, "<corse>2");
  EXPECT_EQ(reader.LineNumber(), 27);
  ASSERT_TRUE(reader.Seek(beforeTrips));
  EXPECT_EQ(ReadAll(reader), firstReading);

  // And from the first line again for the second pass.
  ASSERT_TRUE(reader.Rewind());
  ASSERT_TRUE(reader.Next(rec));
  EXPECT_EQ(rec, "<protocollo>1");
  EXPECT_EQ(reader.LineNumber(), 1);
}

TEST(LineReader, CrLfFilesGiveTheSameRecordsAndChecksums) {
  const std::string lf = ReadBytes(kSmall);
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  TempFile file("crlf.txt");
  WriteBytes(file.path, crlf);

  LineReader a, b;
  ASSERT_TRUE(a.Open(kSmall));
  ASSERT_TRUE(b.Open(file.path));
  EXPECT_EQ(ReadAll(a), ReadAll(b));
  EXPECT_TRUE(CheckFile(file.path).structureOk);
}

TEST(LineReader, KeepsEmptyLinesLastLineWithoutLfAndBytesAsTheyAre) {
  TempFile file("odd.txt");
  WriteBytes(file.path, "a\n\nb\rc\r\n\xE0" + std::string(1, '\0') + "z\nlast");
  LineReader reader;
  ASSERT_TRUE(reader.Open(file.path));
  const std::vector<std::string> expected = {"a", "", "b\rc", std::string("\xE0\x00z", 3), "last"};
  EXPECT_EQ(ReadAll(reader), expected);
  EXPECT_EQ(reader.LineNumber(), 5);
  EXPECT_TRUE(reader.Error().empty());

  LineReader missing;
  EXPECT_FALSE(missing.Open(file.path + ".none"));
  std::string_view rec;
  EXPECT_FALSE(missing.Next(rec));
}

TEST(LineReader, LinesAcrossBufferBoundariesAndLongLines) {
  // Lines of many lengths so that records straddle every refill of the buffer, and one line
  // longer than the buffer itself.
  std::string bytes;
  std::vector<std::string> lines;
  for (int i = 0; i < 60000; ++i) {
    lines.push_back(std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)));
    if (i == 30000) lines.back() = std::string(3 << 20, 'L');
    bytes += lines.back() + "\n";
  }
  TempFile file("long.txt");
  WriteBytes(file.path, bytes);
  LineReader reader;
  ASSERT_TRUE(reader.Open(file.path));
  EXPECT_EQ(ReadAll(reader), lines);

  // A line beyond the limit stops reading with an error instead of swallowing memory.
  TempFile huge("huge.txt");
  WriteBytes(huge.path, "first\n" + std::string(LineReader::kMaxRecordBytes + 10, 'x') + "\n");
  ASSERT_TRUE(reader.Open(huge.path));
  std::string_view rec;
  ASSERT_TRUE(reader.Next(rec));
  EXPECT_FALSE(reader.Next(rec));
  EXPECT_EQ(reader.Error(), "line 2 is longer than 16777216 bytes");
}

// ---------------------------------------------------------------------------------------
// Tags, declarators and checksums of a file written by hand

TEST(KvtFormat, TagsAndDeclaratorsAreRecognisedExactly) {
  EXPECT_EQ(TaggedNumber("FERMATE\t12", Declarator(Section::Fermate)), 12);
  EXPECT_FALSE(TaggedNumber("FERMATE 12", Declarator(Section::Fermate)).has_value());
  EXPECT_FALSE(TaggedNumber("Fermate\t12", Declarator(Section::Fermate)).has_value());
  EXPECT_FALSE(TaggedNumber("ARCHI\t0", Declarator(Section::Fermate)).has_value());
  EXPECT_EQ(TaggedNumber("GIORNI\t7", Declarator(Section::Giorni)), 7);
  EXPECT_EQ(TaggedNumber("<fermate> 12", OpenTag(Section::Fermate)), 12);
  EXPECT_EQ(TaggedNumber("<fermate>", OpenTag(Section::Fermate)), 0);
  EXPECT_EQ(TaggedNumber("<fermate>12abc", OpenTag(Section::Fermate)), 12);
  EXPECT_FALSE(TaggedNumber("<Fermate>12", OpenTag(Section::Fermate)).has_value());
  EXPECT_FALSE(TaggedNumber(" <fermate>12", OpenTag(Section::Fermate)).has_value());
  EXPECT_EQ(TaggedNumber("</teste_itiner>-123", CloseTag(Section::TesteItiner)), -123);
  EXPECT_EQ(TaggedNumber("<protocollo>1", kProtocolOpen), 1);
  EXPECT_EQ(TaggedNumber("</protocollo>7035", kProtocolClose), 7035);
  // "<protocollo>" must not be taken for its closing tag and the other way round.
  EXPECT_FALSE(TaggedNumber("</protocollo>1", kProtocolOpen).has_value());
  EXPECT_FALSE(TaggedNumber("<protocollo>1", kProtocolClose).has_value());
  EXPECT_EQ(Declarator(Section::TesteItiner), "TESTEITINER\t");
  EXPECT_EQ(OpenTag(Section::RigheItiner), "<righe_itiner>");
  EXPECT_EQ(CloseTag(Section::Giorni), "</giorni>");
}

TEST(KvtFormat, HandWrittenFileParsesAndChecks) {
  const test::FileCheck check = CheckFile(kSmall);
  ASSERT_TRUE(check.structureOk) << check.structural.line << " " << check.structural.what;
  EXPECT_TRUE(check.references.empty());
  EXPECT_EQ(check.protocol.azienda, 7);
  EXPECT_EQ(check.protocol.protoc, 12);
  EXPECT_EQ(check.protocol.datfin, (Date{31, 12, 2010}));
  EXPECT_EQ(check.counts[Section::Orari], 4);
  EXPECT_EQ(check.runningDays, 4 + 3);

  // Parsed rows are views: keep the records alive.
  const std::string stopLine = test::LineOf(kSmall, 12);
  const std::string stopLine2 = test::LineOf(kSmall, 13);
  const std::string tripLine = test::LineOf(kSmall, 29);
  FermataRow stop;
  ASSERT_TRUE(ParseRow(stopLine, stop));
  EXPECT_EQ(stop.ID, 101);
  EXPECT_EQ(stop.denom, "Piazza Libert\xE0");  // bytes as on disk
  EXPECT_EQ(Cp1252ToUtf8(stop.denom), "Piazza Libertà");
  EXPECT_DOUBLE_EQ(stop.coord_x, 1600000.50);
  EXPECT_DOUBLE_EQ(stop.coord_y, 5000000.25);
  ASSERT_TRUE(ParseRow(stopLine2, stop));
  EXPECT_EQ(stop.fermata, " ");  // an empty code is one blank
  EXPECT_EQ(stop.ubicaz, "");
  EXPECT_EQ(stop.local, 3);
  EXPECT_EQ(stop.coord_x, 0);

  CorsaRow trip;
  ASSERT_TRUE(ParseRow(tripLine, trip));
  EXPECT_EQ(trip.ID, 502);
  EXPECT_EQ(trip.codcorsa, " ");
  EXPECT_EQ(trip.codlinea, " ");
  EXPECT_EQ(trip.percorso, " ");
  EXPECT_EQ(trip.verso, 'R');
  EXPECT_EQ(trip.prevcor, 501);
  EXPECT_EQ(trip.nextcor, 0);
  EXPECT_EQ(trip.mezzo, 'X');
  EXPECT_EQ(trip.hh_a, 8);
  EXPECT_EQ(trip.mm_a, 15);
  EXPECT_EQ(trip.ct_lung, 2000);
  EXPECT_EQ(trip.ct_tempo, 14);

  GiorniRow days;
  ASSERT_TRUE(ParseRow(test::LineOf(kSmall, 38), days));
  EXPECT_EQ(DayString(days.days), "SSSNNNNNNNNNNNNNNNNNNNNNNNNNNNS");
}

TEST(KvtFormat, ChecksumMismatchAndCountMismatchAreFound) {
  std::string bytes = ReadBytes(kSmall);
  // One byte changed in a stop name: the <fermate> checksum no longer matches.
  std::string changed = bytes;
  changed.replace(changed.find("Via Roma"), 8, "Via Rome");
  TempFile file("changed.txt");
  WriteBytes(file.path, changed);
  test::FileCheck check = CheckFile(file.path);
  EXPECT_FALSE(check.structureOk);
  EXPECT_EQ(check.structural.line, 15);
  EXPECT_EQ(check.structural.what, "checksum fermate");

  std::string recount = bytes;
  recount.replace(recount.find("<orari>4"), 8, "<orari>5");
  WriteBytes(file.path, recount);
  check = CheckFile(file.path);
  EXPECT_EQ(check.structural.line, 31);
  EXPECT_EQ(check.structural.what, "count orari");
}

// ---------------------------------------------------------------------------------------
// Row verdicts

const char* kProtocol = "S\tP\tN\t7\t12\t05/01/2010\t01/01/2010\t31/12/2010\tMario Rossi";

std::string Replace(std::string row, int field, const std::string& value) {
  size_t start = 0;
  for (int i = 0; i < field; ++i) start = row.find('\t', start) + 1;
  const size_t end = row.find('\t', start);
  return row.replace(start, (end == std::string::npos ? row.size() : end) - start, value);
}

TEST(KvtFormat, ProtocolRowVerdicts) {
  ProtocolRow p;
  ASSERT_TRUE(ParseRow(kProtocol, p));
  EXPECT_TRUE(p.primacom);
  EXPECT_EQ(p.tipo, 'P');
  EXPECT_FALSE(p.azzera);
  EXPECT_EQ(p.p_data, (Date{5, 1, 2010}));
  EXPECT_EQ(p.resple, "Mario Rossi");

  // Only the first character of a flag or of the type is examined.
  EXPECT_TRUE(ParseRow(Replace(Replace(kProtocol, 0, "No"), 2, "Si"), p));
  EXPECT_FALSE(p.primacom);
  EXPECT_TRUE(p.azzera);
  EXPECT_TRUE(ParseRow(Replace(kProtocol, 8, ""), p));
  EXPECT_TRUE(ParseRow(Replace(kProtocol, 8, std::string(40, '\xE0')), p));
  for (char type : std::string("BPAI")) {
    EXPECT_TRUE(ParseRow(Replace(kProtocol, 1, std::string(1, type)), p));
    EXPECT_EQ(p.tipo, type);
  }

  const std::vector<std::string> illegal = {
      std::string(kProtocol) + "\textra",
      Replace(kProtocol, 8, "").substr(0, std::string(kProtocol).rfind('\t')),
      Replace(kProtocol, 0, "X"),
      Replace(kProtocol, 0, ""),
      Replace(kProtocol, 0, "R"),  // a reference base is not a communication
      Replace(kProtocol, 2, "s"),
      Replace(kProtocol, 1, "Q"),
      Replace(kProtocol, 1, ""),
      Replace(kProtocol, 5, "5/01/2010"),
      Replace(kProtocol, 6, "01/01/10"),
      Replace(kProtocol, 7, "31/12/2010 "),
      Replace(kProtocol, 8, std::string(41, 'x')),
      // Dates that cannot be stored, or a period that ends before it begins.
      Replace(kProtocol, 7, "31/02/2010"),
      Replace(kProtocol, 5, "aa/01/2010"),
      Replace(kProtocol, 6, "00/00/0000"),
      Replace(Replace(kProtocol, 6, "02/01/2010"), 7, "01/01/2010"),
  };
  for (const std::string& row : illegal) EXPECT_FALSE(ParseRow(row, p)) << row;
  // A one-day period is fine.
  EXPECT_TRUE(ParseRow(Replace(Replace(kProtocol, 6, "01/01/2010"), 7, "01/01/2010"), p));
}

template <class Row>
bool Legal(const std::string& record) {
  Row row;
  return ParseRow(record, row);
}

TEST(KvtFormat, FieldCountsOfEveryRowKind) {
  const std::string stop = "1\tF1\tName\tPlace\t0\t1.5\t2.5";
  const std::string arc = "1\t2\t3\t400";
  const std::string head = "1\tP1\tRoute";
  const std::string detail = "1\t1\t5\t400\t2\t3";
  const std::string trip =
      "1\tC1\tL1\tA\t3\tP1\t1\t2\t07.30\t3\t07.45\t2050\t15\t2050\t15\t0\t0\tU";
  const std::string passage = "1\t1\t2\t07.30\t0\t1\t0\t0";
  EXPECT_TRUE(Legal<FermataRow>(stop));
  EXPECT_TRUE(Legal<ArcoRow>(arc));
  EXPECT_TRUE(Legal<TestaItinerRow>(head));
  EXPECT_TRUE(Legal<RigaItinerRow>(detail));
  EXPECT_TRUE(Legal<CorsaRow>(trip));
  EXPECT_TRUE(Legal<OrarioRow>(passage));
  auto less = [](const std::string& r) { return r.substr(0, r.rfind('\t')); };
  auto more = [](const std::string& r) { return r + "\t"; };
  EXPECT_FALSE(Legal<FermataRow>(less(stop)));
  EXPECT_FALSE(Legal<FermataRow>(more(stop)));
  EXPECT_FALSE(Legal<ArcoRow>(less(arc)));
  EXPECT_FALSE(Legal<ArcoRow>(more(arc)));
  EXPECT_FALSE(Legal<TestaItinerRow>(less(head)));
  EXPECT_FALSE(Legal<TestaItinerRow>(more(head)));
  EXPECT_FALSE(Legal<RigaItinerRow>(less(detail)));
  EXPECT_FALSE(Legal<RigaItinerRow>(more(detail)));
  EXPECT_FALSE(Legal<CorsaRow>(less(trip)));
  EXPECT_FALSE(Legal<CorsaRow>(more(trip)));
  EXPECT_FALSE(Legal<OrarioRow>(less(passage)));
  EXPECT_FALSE(Legal<OrarioRow>(more(passage)));
  EXPECT_FALSE(Legal<ArcoRow>(""));
}

TEST(KvtFormat, TextLimitsCountCharactersAsRead) {
  const std::string stop = "1\tF1\tName\tPlace\t0\t1.5\t2.5";
  EXPECT_TRUE(Legal<FermataRow>(Replace(stop, 1, std::string(10, 'c'))));
  EXPECT_FALSE(Legal<FermataRow>(Replace(stop, 1, std::string(11, 'c'))));
  EXPECT_TRUE(Legal<FermataRow>(Replace(stop, 2, std::string(40, '\xE8'))));
  EXPECT_FALSE(Legal<FermataRow>(Replace(stop, 2, std::string(41, 'n'))));
  EXPECT_FALSE(Legal<FermataRow>(Replace(stop, 3, std::string(41, 'p'))));

  const std::string head = "1\tP1\tRoute";
  TestaItinerRow r;
  ASSERT_TRUE(ParseRow(Replace(head, 1, ""), r));
  EXPECT_EQ(r.codperc, " ");
  EXPECT_TRUE(Legal<TestaItinerRow>(Replace(head, 1, std::string(20, 'c'))));
  EXPECT_FALSE(Legal<TestaItinerRow>(Replace(head, 1, std::string(21, 'c'))));
  EXPECT_TRUE(Legal<TestaItinerRow>(Replace(head, 2, std::string(120, 'd'))));
  EXPECT_FALSE(Legal<TestaItinerRow>(Replace(head, 2, std::string(121, 'd'))));

  const std::string trip =
      "1\tC1\tL1\tA\t3\tP1\t1\t2\t07.30\t3\t07.45\t2050\t15\t2050\t15\t0\t0\tU";
  EXPECT_FALSE(Legal<CorsaRow>(Replace(trip, 1, std::string(21, 'c'))));
  EXPECT_FALSE(Legal<CorsaRow>(Replace(trip, 2, std::string(11, 'l'))));
  EXPECT_FALSE(Legal<CorsaRow>(Replace(trip, 5, std::string(21, 'p'))));
  EXPECT_TRUE(
      Legal<CorsaRow>(Replace(Replace(trip, 1, std::string(20, 'c')), 2, std::string(10, 'l'))));
}

TEST(KvtFormat, TripFieldsTimesAndLinks) {
  const std::string trip =
      "77\tC1\tL1\tAndata\t3\tP1\t9\t2\t07.30\t3\t23:05\t2050\t15\t2100\t16\t0\t78\tUrbano";
  CorsaRow r;
  ASSERT_TRUE(ParseRow(trip, r));
  EXPECT_EQ(r.verso, 'A');
  EXPECT_EQ(r.mezzo, 'U');
  EXPECT_EQ(r.prevcor, 0);  // 0: no previous trip (stored empty)
  EXPECT_EQ(r.nextcor, 78);
  EXPECT_EQ(r.codperc, 9);
  EXPECT_EQ(r.hh_p * 100 + r.mm_p, 730);
  EXPECT_EQ(r.hh_a * 100 + r.mm_a, 2305);  // any separator
  ASSERT_TRUE(ParseRow(Replace(Replace(trip, 15, ""), 17, ""), r));
  EXPECT_EQ(r.prevcor, 0);
  EXPECT_EQ(r.mezzo, ' ');

  // Times are read by position: two characters of hours, minutes from the fourth.
  int32_t h = -1, m = -1;
  ParseTimeField("07.30", h, m);
  EXPECT_EQ(h * 100 + m, 730);
  ParseTimeField("25.10", h, m);  // services past midnight keep their hour
  EXPECT_EQ(h * 100 + m, 2510);
  ParseTimeField("7.30", h, m);
  EXPECT_EQ(h * 100 + m, 700);
  ParseTimeField("", h, m);
  EXPECT_EQ(h * 100 + m, 0);

  // Numbers follow the leading-integer rule and never overflow.
  ArcoRow arc;
  ASSERT_TRUE(ParseRow(" 12x\t-3\t\t99999999999", arc));
  EXPECT_EQ(arc.ID, 12);
  EXPECT_EQ(arc.inizio, -3);
  EXPECT_EQ(arc.fine, 0);
  EXPECT_EQ(arc.lung, 2147483647);
}

TEST(KvtFormat, TimetableFlagsAreFalseOnlyForALeadingZero) {
  OrarioRow r;
  ASSERT_TRUE(ParseRow("5\t2\t9\t12.07\t3\t0\t1\t2", r));
  EXPECT_EQ(r.ID, 5);
  EXPECT_EQ(r.sub, 2);
  EXPECT_EQ(r.fermata, 9);
  EXPECT_EQ(r.hh * 100 + r.mm, 1207);
  EXPECT_EQ(r.sosta, 3);
  EXPECT_FALSE(r.primaria);
  EXPECT_TRUE(r.facolt);
  EXPECT_TRUE(r.nonferma);
  ASSERT_TRUE(ParseRow("5\t2\t9\t12.07\t3\t00\tS\t", r));
  EXPECT_FALSE(r.primaria);
  EXPECT_TRUE(r.facolt);
  EXPECT_TRUE(r.nonferma);
}

TEST(KvtFormat, RunningDayRowsFromFourToThirtyFourFields) {
  GiorniRow r;
  EXPECT_FALSE(ParseRow("1\t2010\t3", r));  // no day at all
  ASSERT_TRUE(ParseRow("1\t2010\t3\t15", r));
  EXPECT_EQ(DayString(r.days), "NNNNNNNNNNNNNNSNNNNNNNNNNNNNNNN");
  std::string row = "1\t2010\t3";
  for (int d = 1; d <= 31; ++d) row += "\t" + std::to_string(d);
  ASSERT_TRUE(ParseRow(row, r));
  EXPECT_EQ(DayString(r.days), std::string(31, 'S'));
  EXPECT_FALSE(ParseRow(row + "\t1", r));
  // Numbers outside 1..31 mark nothing; a repeated day is one day.
  ASSERT_TRUE(ParseRow("1\t2010\t3\t0\t32\t-1\t5\t5\tx", r));
  EXPECT_EQ(CountDays(r.days), 1);
  EXPECT_EQ(DayString(r.days), "NNNNSNNNNNNNNNNNNNNNNNNNNNNNNNN");
  EXPECT_FALSE(ParseRow("1\t2010\t0\t5", r));
  EXPECT_FALSE(ParseRow("1\t2010\t13\t5", r));
  ASSERT_TRUE(ParseRow("9\t2011\t12\t31", r));
  EXPECT_EQ(r.ID, 9);
  EXPECT_EQ(r.anno, 2011);
  EXPECT_EQ(r.mese, 12);
}

// ---------------------------------------------------------------------------------------
// Writing

// The content of tests/data/kvt_small.txt as typed rows.
void WriteSmall(KvtWriter& w) {
  ProtocolRow p;
  p.primacom = true;
  p.tipo = 'P';
  p.azienda = 7;
  p.protoc = 12;
  p.p_data = {5, 1, 2010};
  p.datini = {1, 1, 2010};
  p.datfin = {31, 12, 2010};
  p.resple = "Mario Rossi";
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

TEST(KvtWriter, TextsThatWouldBreakTheFileAreMadeLegal) {
  TempFile file("texts.txt");
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  ProtocolRow p;
  p.p_data = p.datini = p.datfin = {1, 1, 2010};
  p.resple = "Rossi\tMario\nUfficio con un nome molto lungo, oltre quaranta";
  SectionCounts counts;
  counts[Section::Fermate] = 1;
  counts[Section::Corse] = 1;
  w.WriteProtocol(p, counts);
  w.BeginSection(Section::Fermate);
  w.Write(FermataRow{1, "CODICE-TROPPO-LUNGO", "Nome\tcon\r\ntab", std::string(50, 'u'), 0, 0, 0});
  w.EndSection();
  for (Section s : {Section::Archi, Section::TesteItiner, Section::RigheItiner}) {
    w.BeginSection(s);
    w.EndSection();
  }
  w.BeginSection(Section::Corse);
  w.Write(CorsaRow{
      1,  std::string(25, 'c'), "LINEA-0123456", '\t', 1, "", 1, 1, 7, 5, 1, 8, 0, 0, 0, 0, 0, 0, 0,
      ' '});
  w.EndSection();
  for (Section s : {Section::Orari, Section::Giorni}) {
    w.BeginSection(s);
    w.EndSection();
  }
  ASSERT_TRUE(w.Close()) << w.Error();
  const test::FileCheck check = CheckFile(file.path);
  ASSERT_TRUE(check.structureOk) << check.structural.line << " " << check.structural.what;
  EXPECT_EQ(test::LineOf(file.path, 2),
            "N\tP\tN\t0\t0\t01/01/2010\t01/01/2010\t01/01/2010\tRossi Mario Ufficio con un nome "
            "molto lu");
  EXPECT_EQ(test::LineOf(file.path, 12),
            "1\tCODICE-TRO\tNome con  tab\t" + std::string(40, 'u') + "\t0\t0.00\t0.00");
  EXPECT_EQ(test::LineOf(file.path, 21),
            std::string("1\t") + std::string(20, 'c') +
                "\tLINEA-0123\t\t1\t\t1\t1\t07.05\t1\t08.00\t0\t0\t0\t0\t\t\t");
}

TEST(KvtWriter, RefusesToReportAFileThatWouldNotCheck) {
  TempFile file("bad.txt");
  ProtocolRow p;
  p.p_data = p.datini = p.datfin = {1, 1, 2010};
  SectionCounts counts;
  counts[Section::Fermate] = 2;

  KvtWriter fewer;
  ASSERT_TRUE(fewer.Open(file.path));
  fewer.WriteProtocol(p, counts);
  fewer.BeginSection(Section::Fermate);
  fewer.Write(FermataRow{1, "", "A", "", 0, 0, 0});
  fewer.EndSection();
  EXPECT_FALSE(fewer.Close());
  EXPECT_EQ(fewer.Error(), "<fermate> has 1 rows, 2 declared");

  KvtWriter outOfOrder;
  ASSERT_TRUE(outOfOrder.Open(file.path));
  counts[Section::Fermate] = 0;
  outOfOrder.WriteProtocol(p, counts);
  outOfOrder.BeginSection(Section::Archi);
  outOfOrder.EndSection();
  EXPECT_FALSE(outOfOrder.Close());
  EXPECT_EQ(outOfOrder.Error(), "section <archi> out of order");

  KvtWriter unfinished;
  ASSERT_TRUE(unfinished.Open(file.path));
  unfinished.WriteProtocol(p, counts);
  EXPECT_FALSE(unfinished.Close());
  EXPECT_EQ(unfinished.Error(), "the file ends before its last section");

  KvtWriter noDays;
  ASSERT_TRUE(noDays.Open(file.path));
  counts[Section::Giorni] = 1;
  noDays.WriteProtocol(p, counts);
  for (Section s : kSections) {
    noDays.BeginSection(s);
    if (s == Section::Giorni) noDays.Write(GiorniRow{1, 2010, 1, 0});
    noDays.EndSection();
  }
  EXPECT_FALSE(noDays.Close());
  EXPECT_EQ(noDays.Error(), "<giorni> row of trip 1 has no valid month or no day");

  KvtWriter badPeriod;
  ASSERT_TRUE(badPeriod.Open(file.path));
  p.datini = {2, 1, 2010};
  badPeriod.WriteProtocol(p, SectionCounts{});
  EXPECT_EQ(badPeriod.Error(), "protocol dates are not a valid period");

  KvtWriter nowhere;
  EXPECT_FALSE(nowhere.Open("/nonexistent-dir/x.txt"));
  EXPECT_EQ(nowhere.Error(), "cannot create /nonexistent-dir/x.txt");
}

TEST(KvtWriter, EmptySectionsAndTheProtocolChecksumOfZeroCounts) {
  TempFile file("empty.txt");
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  ProtocolRow p;
  p.tipo = 'B';
  p.azienda = 3;
  p.protoc = 1;
  p.p_data = p.datini = {1, 1, 2010};
  p.datfin = {31, 12, 2010};
  w.WriteProtocol(p, SectionCounts{});
  for (Section s : kSections) {
    w.BeginSection(s);
    w.EndSection();
  }
  ASSERT_TRUE(w.Close());
  std::string row;
  AppendRow(row, p);
  int32_t expected = LineChecksum(row);
  for (Section s : kSections) expected += LineChecksum(std::string(Declarator(s)) + "0");
  std::string text = "<protocollo>1\n" + row + "\n";
  for (Section s : kSections) text += std::string(Declarator(s)) + "0\n";
  text += "</protocollo>" + std::to_string(expected % 1000000000) + "\n";
  for (Section s : kSections)
    text += std::string(OpenTag(s)) + "0\n" + std::string(CloseTag(s)) + "0\n";
  EXPECT_EQ(ReadBytes(file.path), text);
}

TEST(KvtWriter, ReferenceBaseHasNoRunningDaysAndIsNotACommunication) {
  TempFile file("base.txt");
  KvtWriter w;
  ASSERT_TRUE(w.Open(file.path));
  ProtocolRow p;
  p.reference = true;
  p.tipo = 'P';
  p.azzera = true;
  p.azienda = 7;
  p.protoc = 12;
  p.p_data = {5, 1, 2010};
  p.datini = {1, 1, 2010};
  p.datfin = {31, 12, 2010};
  p.resple = "Mario Rossi";
  SectionCounts counts;
  counts[Section::Fermate] = 1;
  counts[Section::Giorni] = 5;  // ignored: no such section in a reference base
  w.WriteProtocol(p, counts);
  for (Section s : kSections) {
    if (s == Section::Giorni) break;
    w.BeginSection(s);
    if (s == Section::Fermate) w.Write(FermataRow{1, "F1", "Stazione", "", 0, 12.5, 0});
    w.EndSection();
  }
  ASSERT_TRUE(w.Close()) << w.Error();
  EXPECT_EQ(w.LinesWritten(), 22);
  const std::string row = "R\tP\tS\t7\t12\t05/01/2010\t01/01/2010\t31/12/2010\tMario Rossi";
  EXPECT_EQ(test::LineOf(file.path, 2), row);
  EXPECT_EQ(test::LineOf(file.path, 8), "ORARI\t0");
  RunningChecksum sum;
  sum.Add(row);
  for (Section s : kSections) {
    if (s != Section::Giorni)
      sum.Add(std::string(Declarator(s)) + (s == Section::Fermate ? "1" : "0"));
  }
  EXPECT_EQ(test::LineOf(file.path, 9), "</protocollo>" + std::to_string(sum.Value()));
  EXPECT_EQ(test::LineOf(file.path, 11), "1\tF1\tStazione\t\t0\t12.50\t0.00");
  EXPECT_EQ(test::LineOf(file.path, 22), "</orari>0");
  EXPECT_TRUE(CheckFile(file.path, /*reference=*/true).structureOk);

  // The import refuses it: the first field is not S/N, and GIORNI is missing.
  ProtocolRow parsed;
  EXPECT_FALSE(ParseRow(row, parsed));
  EXPECT_FALSE(CheckFile(file.path).structureOk);

  KvtWriter extra;
  ASSERT_TRUE(extra.Open(file.path));
  extra.WriteProtocol(p, SectionCounts{});
  for (Section s : kSections) {
    extra.BeginSection(s);
    extra.EndSection();
  }
  EXPECT_FALSE(extra.Close());
  EXPECT_EQ(extra.Error(), "section <giorni> out of order");
}

TEST(KvtWriter, RowsWrittenAreReadBackUnchanged) {
  std::string text;
  CorsaRow trip{42,  "C42", "L7", 'R',   5,  "P9",  9,  100, 23, 59,
                200, 24,    10,   12345, 31, 12000, 30, 41,  0,  'N'};
  AppendRow(text, trip);
  CorsaRow back;
  ASSERT_TRUE(ParseRow(text, back));
  EXPECT_EQ(back.ID, 42);
  EXPECT_EQ(back.codcorsa, "C42");
  EXPECT_EQ(back.hh_a * 100 + back.mm_a, 2410);
  EXPECT_EQ(back.prevcor, 41);
  EXPECT_EQ(back.nextcor, 0);
  EXPECT_EQ(back.mezzo, 'N');

  text.clear();
  AppendRow(text, FermataRow{3, "F3", "Perugia", "", 12, -0.005, 1234567.891});
  FermataRow stop;
  ASSERT_TRUE(ParseRow(text, stop));
  EXPECT_EQ(text, "3\tF3\tPerugia\t\t12\t-0.01\t1234567.89");
  EXPECT_DOUBLE_EQ(stop.coord_y, 1234567.89);
}

}  // namespace
}  // namespace kvt::comms
