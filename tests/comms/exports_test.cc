// The reference base read back with the communication reader, and the regularity base,
// on both engines.
#include "comms/exports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/text.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

// A reference base as the communication reader reads it: structure, counts and checksums
// checked line by line; rows rendered "a|b|c" as the database query of the test renders
// them. `error` says what did not check.
struct ReadBack {
  std::string error;
  ProtocolRow protocol;
  std::string resple;
  std::map<Section, Strings> rows;
};

std::string Joined(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& f : fields) out += (out.empty() ? "" : "|") + f;
  return out;
}
std::string N(int64_t v) {
  return std::to_string(v);
}
std::string T(std::string_view bytes) {
  return Cp1252ToUtf8(bytes);
}

std::string Render(const FermataRow& r) {
  return Joined({N(r.ID), T(r.fermata), T(r.denom), T(r.ubicaz), N(r.local),
                 Format("%1.2f", r.coord_x), Format("%1.2f", r.coord_y)});
}
std::string Render(const ArcoRow& r) {
  return Joined({N(r.ID), N(r.inizio), N(r.fine), N(r.lung)});
}
std::string Render(const TestaItinerRow& r) {
  return Joined({N(r.ID), T(r.codperc), T(r.denom)});
}
std::string Render(const RigaItinerRow& r) {
  return Joined({N(r.ID), N(r.sub), N(r.arco), N(r.dist), N(r.inizio), N(r.fine)});
}
std::string Render(const CorsaRow& r) {
  return Joined({N(r.ID), T(r.codcorsa), T(r.codlinea), std::string(1, r.verso), N(r.ente),
                 T(r.percorso), N(r.codperc), N(r.capol_p), N(r.hh_p), N(r.mm_p), N(r.capol_a),
                 N(r.hh_a), N(r.mm_a), N(r.lung), N(r.tempo), N(r.ct_lung), N(r.ct_tempo),
                 r.prevcor ? N(r.prevcor) : "NULL", r.nextcor ? N(r.nextcor) : "NULL",
                 std::string(1, r.mezzo)});
}
std::string Render(const OrarioRow& r) {
  return Joined({N(r.ID), N(r.sub), N(r.fermata), N(r.hh), N(r.mm), N(r.sosta), N(r.primaria),
                 N(r.facolt), N(r.nonferma)});
}

template <typename Row>
bool ReadSection(LineReader& reader, Section s, int64_t declared, ReadBack& out) {
  std::string_view record;
  if (!reader.Next(record) || TaggedNumber(record, OpenTag(s)) != declared) {
    out.error = "header of " + std::string(OpenTag(s));
    return false;
  }
  RunningChecksum checksum;
  for (int64_t i = 0; i < declared; ++i) {
    Row row;
    if (!reader.Next(record) || !ParseRow(record, row)) {
      out.error = "row " + N(i) + " of " + std::string(OpenTag(s));
      return false;
    }
    checksum.Add(record);
    out.rows[s].push_back(Render(row));
  }
  if (!reader.Next(record) || TaggedNumber(record, CloseTag(s)) != checksum.Value()) {
    out.error = "closing line of " + std::string(OpenTag(s));
    return false;
  }
  std::sort(out.rows[s].begin(), out.rows[s].end());
  return true;
}

ReadBack ReadReferenceBase(const std::string& path) {
  ReadBack out;
  LineReader reader;
  std::string_view record;
  if (!reader.Open(path) || !reader.Next(record) || record != "<protocollo>1" ||
      !reader.Next(record) || !ParseReferenceRow(record, out.protocol)) {
    out.error = "protocol row";
    return out;
  }
  out.resple = T(out.protocol.resple);
  RunningChecksum checksum;
  checksum.Add(record);
  SectionCounts declared;
  for (Section s : kSections) {
    if (s == Section::Giorni) break;
    std::optional<int64_t> n;
    if (reader.Next(record)) n = TaggedNumber(record, Declarator(s));
    if (!n) {
      out.error = "declarator " + std::string(Declarator(s));
      return out;
    }
    declared[s] = *n;
    checksum.Add(record);
  }
  if (!reader.Next(record) || TaggedNumber(record, kProtocolClose) != checksum.Value()) {
    out.error = "protocol checksum";
    return out;
  }
  const bool ok = ReadSection<FermataRow>(reader, Section::Fermate, declared[Section::Fermate], out) &&
                  ReadSection<ArcoRow>(reader, Section::Archi, declared[Section::Archi], out) &&
                  ReadSection<TestaItinerRow>(reader, Section::TesteItiner,
                                              declared[Section::TesteItiner], out) &&
                  ReadSection<RigaItinerRow>(reader, Section::RigheItiner,
                                             declared[Section::RigheItiner], out) &&
                  ReadSection<CorsaRow>(reader, Section::Corse, declared[Section::Corse], out) &&
                  ReadSection<OrarioRow>(reader, Section::Orari, declared[Section::Orari], out);
  if (ok && reader.Next(record)) out.error = "a line after </orari>";
  return out;
}

class ExportsTest : public CommsDbTest {
 protected:
  Strings Sorted(const std::string& sql, int columns) {
    Strings rows = Rows(sql, columns);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
};

TEST_P(ExportsTest, ReferenceBaseHoldsEveryRowUpToTheCommunicationAndReadsBack) {
  GeneratorOptions first = Options(1);
  first.accentShare = 50;
  first.noCoordShare = 30;
  ASSERT_TRUE(Import(Generate(first, "first.txt")));
  GeneratorOptions second = Following(first);
  second.tipo = 'A';
  second.azzera = true;
  second.resple = "Ufficio Qualità";
  ASSERT_TRUE(Import(Generate(second, "second.txt")));
  // A third communication of another company stays out.
  Communication other = Plan(1);
  other.protocol.azienda = 102;
  AddNetwork(other);
  ASSERT_TRUE(Import(Write(other, "other.txt")));
  ui.Clear();

  const std::string path = kvt::test::TempDir() + "/base.txt";
  ui.QueueFormValues({{"comunicazione", "0101 - 000002"}});
  ui.QueueFile(path);
  ASSERT_TRUE(ExportReferenceBaseCommand(db(), ui));
  EXPECT_EQ(ui.formTitles, Strings{"Esportazione Base di Riferimento Aziendale"});
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Esportazione Base Dati KVT-TXT v2");
  EXPECT_EQ(ui.fileDialogs[0].defaultName, "RT2_101_2_BASE");
  EXPECT_EQ(ui.fileDialogs[0].filter, "File di testo (*.txt)|*.txt|Tutti i files (*.*)|*.*||");

  const ReadBack base = ReadReferenceBase(path);
  ASSERT_EQ(base.error, "");
  EXPECT_EQ(base.protocol.tipo, 'A');
  EXPECT_TRUE(base.protocol.azzera);
  EXPECT_EQ(base.protocol.protoc, 2);
  EXPECT_EQ(base.protocol.datini, second.datini);
  EXPECT_EQ(base.resple, "Ufficio Qualità");
  const std::string own = " WHERE azienda = 101 AND protoc <= 2";
  Strings stops = Sorted(
      "SELECT ID, fermata, denom, ubicaz, local, coord_x, coord_y, okcoord FROM fermate" + own, 8);
  for (std::string& s : stops) {  // coordinates as written: 0.00 without valid ones
    std::vector<std::string> f;
    size_t at = 0;
    for (size_t bar; (bar = s.find('|', at)) != std::string::npos; at = bar + 1)
      f.push_back(s.substr(at, bar - at));
    f.push_back(s.substr(at));
    const bool located = f[7] == "1";
    // An empty code reads as one blank, a missing text as an empty one.
    s = Joined({f[0], f[1].empty() ? " " : f[1], f[2], f[3] == "NULL" ? "" : f[3], f[4],
                Format("%1.2f", located ? ParseDecimal(f[5]) : 0.0),
                Format("%1.2f", located ? ParseDecimal(f[6]) : 0.0)});
  }
  std::sort(stops.begin(), stops.end());
  EXPECT_EQ(base.rows.at(Section::Fermate), stops);
  EXPECT_EQ(base.rows.at(Section::Fermate).size(), 15u);
  EXPECT_EQ(base.rows.at(Section::Archi),
            Sorted("SELECT ID, inizio, fine, lung FROM archi" + own, 4));
  EXPECT_EQ(base.rows.at(Section::TesteItiner),
            Sorted("SELECT ID, codperc, denom FROM tesitine" + own, 3));
  EXPECT_EQ(base.rows.at(Section::RigheItiner),
            Sorted("SELECT d.ID, d.sub, d.arco, d.dist, a.inizio, a.fine FROM detitine d, archi a "
                   "WHERE d.azienda = 101 AND d.protoc <= 2 AND a.azienda = d.azienda AND "
                   "a.ID = d.arco",
                   6));
  EXPECT_EQ(base.rows.at(Section::Corse),
            Sorted("SELECT c.ID, c.codcorsa, c.codlinea, c.verso, c.ente, t.codperc, c.codperc, "
                   "c.capol_p, c.hh_p, c.mm_p, c.capol_a, c.hh_a, c.mm_a, c.lung, c.tempo, "
                   "c.ct_lung, c.ct_tempo, c.prevcor, c.nextcor, c.mezzo FROM corse c, tesitine t "
                   "WHERE c.azienda = 101 AND c.protoc <= 2 AND t.azienda = c.azienda AND "
                   "t.ID = c.codperc",
                   20));
  EXPECT_EQ(base.rows.at(Section::Corse).size(), 8u);
  EXPECT_EQ(base.rows.at(Section::Orari),
            Sorted("SELECT ID, sub, fermata, hh, mm, sosta, primaria, facolt, nonferma FROM orari" +
                       own,
                   9));
  ASSERT_EQ(ui.Texts().size(), 1u);
  EXPECT_EQ(ui.Texts()[0],
            Format("Risultati della generazione della base dati di riferimento:\n\n"
                   "15 righe <fermate>\n%zu righe <archi>\n3 righe <teste_itiner>\n"
                   "%zu righe <righe_itiner>\n8 righe <corse>\n%zu righe <orari>\n",
                   base.rows.at(Section::Archi).size(), base.rows.at(Section::RigheItiner).size(),
                   base.rows.at(Section::Orari).size()));
  // Not a communication: the import refuses it.
  EXPECT_FALSE(Errors(path).empty());
}

TEST_P(ExportsTest, ReferenceBaseFileThatCannotBeCreatedIsAWarning) {
  Communication c = Plan(1);
  AddNetwork(c);
  ASSERT_TRUE(Import(Write(c, "c.txt")));
  ui.Clear();
  const std::string path = kvt::test::TempDir() + "/no/such/folder/base.txt";
  ui.QueueFormValues({{"comunicazione", "0101 - 000001"}});
  ui.QueueFile(path);
  EXPECT_FALSE(ExportReferenceBaseCommand(db(), ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
  EXPECT_EQ(ui.messages[0].caption, "Esportazione base dati orari");
  EXPECT_EQ(ui.messages[0].text, "Impossibile creare\n\n" + path);
}

// The file split into its lines; rows of each section sorted (the database's order).
Strings Normalised(const std::string& bytes) {
  Strings lines, out, section;
  size_t at = 0;
  for (size_t lf; (lf = bytes.find('\n', at)) != std::string::npos; at = lf + 1)
    lines.push_back(bytes.substr(at, lf - at));
  EXPECT_EQ(at, bytes.size()) << "the file does not end with LF";
  bool inside = false;
  for (const std::string& line : lines) {
    const bool open = line.starts_with("<") && !line.starts_with("</") && line.find('\t') == std::string::npos;
    if (inside && line.starts_with("</")) {
      std::sort(section.begin(), section.end());
      out.insert(out.end(), section.begin(), section.end());
      section.clear();
      inside = false;
    }
    if (inside) {
      section.push_back(line);
    } else {
      out.push_back(line);
      inside = open && !line.starts_with("<etichetta>");
    }
  }
  return out;
}

std::string Sum(const Strings& rows) {
  RunningChecksum c;
  for (const std::string& r : rows) c.Add(r);
  return std::to_string(c.Value());
}

TEST_P(ExportsTest, RegularityBaseHoldsWhatRunsFromTheStartDate) {
  // Trip 1 runs on 1, 5 and 10 March, trip 2 on 2 March only; a budget of company 102 is
  // not offered.
  Communication c = Plan(1);
  AddNetwork(c);
  c.stops[0].denom = "Piazza Libert\xe0";
  AddTrip(c, 1);
  AddTrip(c, 2);
  c.trips[1].capol_a = 1;
  c.days.push_back(Month(1, 2010, 3, {1, 5, 10}));
  c.days.push_back(Month(2, 2010, 3, {2}));
  ASSERT_TRUE(Import(Write(c, "c.txt")));
  Communication budget = Plan(1);
  budget.protocol.azienda = 102;
  budget.protocol.tipo = 'B';
  ASSERT_TRUE(Import(Write(budget, "budget.txt")));
  ui.Clear();
  EXPECT_EQ(RegularityCompanyEntries(db()), Strings{"0101 - Autolinee Velmoresi S.p.A."});

  const std::string path = kvt::test::TempDir() + "/reg.txt";
  ui.QueueFormValues({{"azienda", "0101 - Autolinee Velmoresi S.p.A."}, {"data", "3.3.10"}});
  ui.QueueFormValues({{"azienda", "0102 - x"}, {"data", "03/03/2010"}});
  ui.QueueFormValues({{"azienda", "0101 - Autolinee Velmoresi S.p.A."}, {"data", "03-03-10"}});
  ui.QueueFile(path);
  ASSERT_TRUE(ExportRegularityBaseCommand(db(), ui));
  ASSERT_EQ(ui.Texts().size(), 3u);
  EXPECT_EQ(ui.Texts()[0], kBadStartDateMessage);
  EXPECT_EQ(ui.Texts()[1],
            "ATTENZIONE: Il Codice Azienda non è valido.\n\n"
            "Occorre selezionare un Codice Azienda presente nella lista.\n\n");
  EXPECT_EQ(ui.Texts()[2],
            "Risultati della generazione della base dati per gestione regolarità:\n\n"
            "2 righe <fermate>\n1 righe <corse>\n2 righe <orari>\n2 righe <giorni>\n"
            "2 righe <progressive>\n");
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Esportazione Base Gestione Regolarità");
  EXPECT_EQ(ui.fileDialogs[0].defaultName, "REGRT_101_03032010");

  const Strings header = {"BaseReg\t101", "FERMATE\t2", "CORSE\t1", "ORARI\t2", "GIORNI\t2",
                          "PROGRESSIVE\t2"};
  const Strings stops = {"1\tF1\tPiazza Libert\xe0\tLato nord", "2\tF2\tVia Mazzini\t"};
  const Strings trips = {"1\tC\tL1\tA\t1\tP1\t1\t1\t07.00\t2\t07.10\t850\t10\t850\t10"};
  const Strings times = {"1\t1\t1\t07.00\t0\t1\t0\t0", "1\t2\t2\t07.10\t0\t1\t0\t0"};
  const Strings days = {"1\t05/03/2010", "1\t10/03/2010"};
  const Strings progressive = {"1\t1\t1\t0", "1\t2\t2\t850"};
  Strings expected = {"<etichetta>1"};
  expected.insert(expected.end(), header.begin(), header.end());
  expected.push_back("</etichetta>" + Sum(header));
  for (const auto& [tag, rows] : std::vector<std::pair<std::string, Strings>>{
           {"fermate", stops}, {"corse", trips}, {"orari", times}, {"giorni", days},
           {"progressive", progressive}}) {
    expected.push_back("<" + tag + ">" + std::to_string(rows.size()));
    expected.insert(expected.end(), rows.begin(), rows.end());
    expected.push_back("</" + tag + ">" + Sum(rows));
  }
  EXPECT_EQ(Normalised(ReadBytes(path)), expected);

  // From a date after the last running day: empty sections.
  ui.Clear();
  RegularityBaseCounts counts;
  ASSERT_TRUE(ExportRegularityBase(db(), ui, 101, {11, 3, 2010}, path, counts));
  EXPECT_EQ(ReadBytes(path),
            "<etichetta>1\nBaseReg\t101\nFERMATE\t0\nCORSE\t0\nORARI\t0\nGIORNI\t0\n"
            "PROGRESSIVE\t0\n</etichetta>" +
                Sum({"BaseReg\t101", "FERMATE\t0", "CORSE\t0", "ORARI\t0", "GIORNI\t0",
                     "PROGRESSIVE\t0"}) +
                "\n<fermate>0\n</fermate>0\n<corse>0\n</corse>0\n<orari>0\n</orari>0\n"
                "<giorni>0\n</giorni>0\n<progressive>0\n</progressive>0\n");
  EXPECT_TRUE(ui.Texts().empty());
}

KVT_INSTANTIATE_ENGINES(ExportsTest);

}  // namespace
}  // namespace kvt::comms::test
