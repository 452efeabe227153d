// The SpatiaLite script: its geometry literals, and scripts made from a small database of two
// companies sharing IDs, run by the real `spatialite` shell, on both engines.
#include "carto/sqlite_script.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "carto_fixture.h"
#include "support/run_program.h"

namespace kvt::carto::test {
namespace {

using kvt::test::ReadFile;
using kvt::test::ShellQuote;

std::string Hex(const std::vector<uint8_t>& wkb) {
  return WkbLiteral(wkb);
}

TEST(SqliteScriptLiteralTest, GeometriesAsLittleEndianWkb) {
  // The stop literal: 01, type 1 in four bytes, then X and Y: 42 hexadecimal digits.
  EXPECT_EQ(Hex(PointWkb({1, 2})), "X'0101000000000000000000F03F0000000000000040'");
  EXPECT_EQ(Hex(PointWkb({0, 0})).size(), 42u + 3);
  EXPECT_EQ(WkbLiteral({}), "NULL");
  EXPECT_EQ(Hex(LineStringWkb(Ring({{0, 0}, {-2, 0.5}}))),
            "X'010200000002000000"
            "0000000000000000"
            "0000000000000000"
            "00000000000000C0"
            "000000000000E03F'");

  // One area with a hole stays one polygon of two rings; each ring closed on its first point
  // even when stored open.
  AreaEntity one{7, {Area{Ring({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {9, 9}}), {Square(1, 1, 1)}}}};
  const std::vector<uint8_t> wkb = MultiPolygonWkb(&one);
  ASSERT_EQ(wkb.size(), 1 + 4 + 4 + (1 + 4 + 4 + 2 * (4 + 5 * 16)));
  EXPECT_EQ(Hex({wkb.begin(), wkb.begin() + 18}), "X'010600000001000000010300000002000000'");
  EXPECT_EQ(Hex({wkb.begin() + 18, wkb.begin() + 22}), "X'05000000'");
  EXPECT_EQ(std::vector<uint8_t>(wkb.begin() + 22, wkb.begin() + 38),
            std::vector<uint8_t>(wkb.begin() + 86, wkb.begin() + 102));  // last = first

  // Two areas: a multipolygon of two, each a whole polygon with its own head.
  AreaEntity two{8, {Area{Square(0, 0, 1), {}}, Area{Square(5, 5, 1), {}}}};
  const std::vector<uint8_t> pair = MultiPolygonWkb(&two);
  EXPECT_EQ(Hex({pair.begin(), pair.begin() + 18}), "X'010600000002000000010300000001000000'");
  EXPECT_EQ(Hex({pair.begin() + 102, pair.begin() + 111}), "X'010300000001000000'");

  // No boundary: the unit square.
  EXPECT_EQ(Hex(MultiPolygonWkb(nullptr)),
            "X'010600000001000000010300000001000000050000000000000000000000000000000000000000"
            "0000000000F03F0000000000000000000000000000F03F000000000000F03F0000000000000000000000"
            "000000F03F00000000000000000000000000000000'");

  EXPECT_EQ(ScriptText("Sant'Angelo d'Abruzzo   "), "'Sant''Angelo d''Abruzzo'");
}

class SqliteScriptTest : public CartoDbTest {
 protected:
  // Companies 101 and 102 use the same stop, route and trip IDs. Municipality 1 is one
  // area with a hole, 2 two areas, 3 has no boundary; locality 1 has a boundary.
  void SetUp() override {
    CartoDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Municipality(1, "L'Aquila", "066049");
    Municipality(2, "Città Sant'Angelo", "068012");
    Municipality(3, "Pescara", "068028");
    Boundary("geocom", 1, 0, 0, Square(0, 0, 100));
    Boundary("geocom", 1, 0, 1, Square(40, 40, 20));
    Boundary("geocom", 2, 0, 0, Square(200, 0, 50));
    Boundary("geocom", 2, 1, 0, Square(300, 0, 50));
    Locality(1, "Paganica", "066049");
    Locality(2, "Località Sàn", "068012");
    Boundary("geoloc", 1, 0, 0, Square(0, 0, 30));
    for (int azienda : {101, 102}) {
      Protocol(azienda);
      AddRow("proto", {{"azienda", std::to_string(azienda)},
                       {"protoc", "2"},
                       {"datini", "01/01/2010"},
                       {"datfin", "31/12/2010"},
                       {"primacom", "0"},
                       {"tipo", "P"},
                       {"azzera", "0"}});
      Stop(azienda, 1, "Piazza d'Armi", "10", "20", 1, 1);
      Stop(azienda, 2, "Senza posizione", "", "", 2, 2);
      Route(azienda, 1, azienda == 101);
      Trip(azienda, 1);
    }
    ASSERT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  }

  void Route(int azienda, long id, bool drawn) {
    const std::string a = std::to_string(azienda), i = std::to_string(id);
    AddRow("tesitine", {{"azienda", a},
                        {"ID", i},
                        {"protoc", "1"},
                        {"codperc", "P1"},
                        {"denom", "Città - Mare  "}});
    AddRow("archi", {{"azienda", a},
                     {"ID", "1"},
                     {"protoc", "1"},
                     {"inizio", "1"},
                     {"fine", "2"},
                     {"lung", "500"}});
    int sub = 1;
    for (const char* dist : {"0", "500", "1200"})
      AddRow("detitine", {{"azienda", a},
                          {"ID", i},
                          {"sub", std::to_string(sub++)},
                          {"protoc", "1"},
                          {"arco", "1"},
                          {"dist", dist}});
    if (drawn) {
      db::Table t(&db(), "geoitine");
      ASSERT_TRUE(StoreRouteLine(t, ui, azienda, id, Ring({{10, 20}, {50, 50}, {10, 20}}), "P1"));
    }
  }

  // A trip of three stops (the middle one passed without stopping), running on days of two
  // communications that share 2 January.
  void Trip(int azienda, long id) {
    const std::string a = std::to_string(azienda), i = std::to_string(id);
    AddRow("corse",
           {{"azienda", a},     {"ID", i},           {"protoc", "1"},     {"codcorsa", "C1"},
            {"codlinea", "L1"}, {"verso", "A"},      {"ente", "1"},       {"lung", "1200"},
            {"tempo", "30"},    {"ct_lung", "1100"}, {"ct_tempo", "25"},  {"codperc", "1"},
            {"capol_p", "1"},   {"hh_p", "7"},       {"mm_p", "5"},       {"capol_a", "2"},
            {"hh_a", "7"},      {"mm_a", "35"},      {"v_media", "24,5"}, {"lotto", "0"},
            {"mezzo", "X"}});
    const char* stops[] = {"1", "2", "1"};
    for (int sub = 1; sub <= 3; ++sub)
      AddRow("orari", {{"azienda", a},
                       {"ID", i},
                       {"sub", std::to_string(sub)},
                       {"protoc", "1"},
                       {"fermata", stops[sub - 1]},
                       {"hh", "7"},
                       {"mm", std::to_string(sub * 10)},
                       {"sosta", "0"},
                       {"primaria", sub == 1 ? "1" : "0"},
                       {"facolt", "0"},
                       {"nonferma", sub == 2 ? "1" : "0"}});
    for (const char* day : {"01/01/2010", "02/01/2010", "31/01/2010"})
      AddRow("giorni",
             {{"azienda", a}, {"ID", i}, {"protoc", "1"}, {"data", day}, {"giorno", "5"}});
    AddRow("mesi", {{"azienda", a},
                    {"ID", i},
                    {"protoc", "1"},
                    {"anno", "2010"},
                    {"mese", "1"},
                    {"giorni", "SS" + std::string(28, 'N') + "S"}});
    AddRow("mesi", {{"azienda", a},
                    {"ID", i},
                    {"protoc", "2"},
                    {"anno", "2010"},
                    {"mese", "1"},
                    {"giorni", "NS" + std::string(29, 'N')}});
  }

  // Runs the command into `path`; true when it says it is done.
  bool Export(const std::string& path) {
    ui.QueueFile(path);
    return RunSqliteScriptCommand(ui, db());
  }

  // Runs `sql` (or the script file) in the spatialite shell on `database`; stdout, and the
  // errors in `err`.
  std::string Spatialite(const std::string& database, const std::string& input, std::string* err) {
    const std::string dir = kvt::test::TempDir();
    const int rc = std::system(("spatialite " + ShellQuote(database) + " < " + ShellQuote(input) +
                                " > " + dir + "/out.txt 2> " + dir + "/err.txt")
                                   .c_str());
    *err = ReadFile(dir + "/err.txt") + (rc == 0 ? "" : " [exit " + std::to_string(rc) + "]");
    // The shell's own notice when it sets up a new file, before any statement of ours.
    const std::string notice = "the SPATIAL_REF_SYS table already contains some row(s)\n";
    if (err->starts_with(notice)) err->erase(0, notice.size());
    return ReadFile(dir + "/out.txt");
  }
  std::string Query(const std::string& database, const std::string& sql) {
    const std::string file = kvt::test::TempDir() + "/q.sql";
    std::ofstream(file) << ".headers off\n.mode list\n" << sql << "\n";
    std::string err;
    std::string out = Spatialite(database, file, &err);
    EXPECT_EQ(err, "") << sql;
    return out;
  }
};

TEST_P(SqliteScriptTest, ScriptRunsInSpatialiteWithEveryRowOfBothCompanies) {
  if (std::system("command -v spatialite > /dev/null 2>&1") != 0) GTEST_SKIP() << "no spatialite";
  const std::string dir = kvt::test::TempDir(), script = dir + "/kvt.sql";
  ASSERT_TRUE(Export(script));
  ASSERT_FALSE(ui.messages.empty());
  EXPECT_EQ(ui.messages.back().text, "Esportazione script SQL terminata");
  EXPECT_EQ(ui.messages.size(), 1u) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(ui.fileDialogs.at(0).title, "Selezione script SQL per esportazione");
  EXPECT_EQ(ui.fileDialogs.at(0).filter, "Script SQL (*.sql)|*.sql|Tutti i files (*.*)|*.*||");
  EXPECT_EQ(ui.progressCaptions,
            (Strings{"Esportazione AZIENDE", "Esportazione ENTI", "Esportazione LOTTI",
                     "Esportazione COMUNI", "Esportazione LOCALITA'", "Esportazione FERMATE",
                     "Esportazione PERCORSI", "Esportazione CORSE", "Esportazione ORARI",
                     "Esportazione GIORNI"}));

  std::string err;
  const std::string out = Spatialite(dir + "/kvt.sqlite", script, &err);
  ASSERT_EQ(err, "") << out;
  EXPECT_NE(out.find(" >>> database alimentato con successo"), std::string::npos) << out;

  const std::string db = dir + "/kvt.sqlite";
  EXPECT_EQ(Query(db, "PRAGMA foreign_key_check;"), "");
  // Every view has every row of its source: nothing lost to the shared IDs.
  EXPECT_EQ(
      Query(db,
            "SELECT (SELECT COUNT(*) FROM VistaFermate), (SELECT COUNT(*) FROM VistaPercorsi),"
            " (SELECT COUNT(*) FROM VistaCorse), (SELECT COUNT(*) FROM VistaOrari),"
            " (SELECT COUNT(*) FROM VistaCorseGiorno), (SELECT COUNT(*) FROM VistaTransitiGiorno),"
            " (SELECT COUNT(*) FROM VistaContratti), (SELECT COUNT(*) FROM Giorni);"),
      Format("%lld|%lld|%lld|%lld|%lld|12|2|%lld\n", QueryInt("SELECT COUNT(*) FROM fermate"),
             QueryInt("SELECT COUNT(*) FROM tesitine"), QueryInt("SELECT COUNT(*) FROM corse"),
             QueryInt("SELECT COUNT(*) FROM orari"), QueryInt("SELECT COUNT(*) FROM giorni"),
             QueryInt("SELECT COUNT(*) FROM giorni")));
  EXPECT_EQ(Query(db,
                  "SELECT IdAzienda, IdCorsa, GiorniEffettuazione, PercorrenzaTotale,"
                  " date(PrimoGiorno), date(UltimoGiorno) FROM VistaContratti ORDER BY 1;"),
            "101|1|3|3600|2010-01-01|2010-01-31\n102|1|3|3600|2010-01-01|2010-01-31\n");
  EXPECT_EQ(Query(db,
                  "SELECT IdAzienda, Sub, Progressiva, NomeFermata, NomeComune FROM VistaOrari"
                  " WHERE IdAzienda = 102 ORDER BY Sub;"),
            "102|1|0|Piazza d'Armi|L'Aquila\n102|2|0|Senza posizione|Città Sant'Angelo\n"
            "102|3|500|Piazza d'Armi|L'Aquila\n");
  // Boundaries: a polygon with its hole, two polygons, the unit square; all MultiPolygons.
  EXPECT_EQ(Query(db,
                  "SELECT IdComune, Nome, GeometryType(Geom), ST_NumGeometries(Geom),"
                  " ST_NumInteriorRing(ST_GeometryN(Geom, 1)), ST_Area(Geom) FROM Comuni"
                  " WHERE IdComune > 0 ORDER BY 1;"),
            "1|L'Aquila|MULTIPOLYGON|1|1|9600.0\n2|Città Sant'Angelo|MULTIPOLYGON|2|0|5000.0\n"
            "3|Pescara|MULTIPOLYGON|1|0|1.0\n");
  EXPECT_EQ(Query(db,
                  "SELECT IdAzienda, IdFermata, ST_X(Geom), ST_Y(Geom), Ubicazione IS NULL"
                  " FROM Fermate ORDER BY 1, 2;"),
            "101|1|10.0|20.0|0\n101|2|0.0|0.0|0\n102|1|10.0|20.0|0\n102|2|0.0|0.0|0\n");
  EXPECT_EQ(Query(db,
                  "SELECT IdAzienda, GeometryType(Geom), ST_NumPoints(Geom) FROM Percorsi"
                  " ORDER BY 1;"),
            "101|LINESTRING|3\n102||\n");
  // The triggers guard the keys, company included.
  const std::string del = dir + "/del.sql";
  std::ofstream(del) << "DELETE FROM Fermate WHERE IdAzienda = 102 AND IdFermata = 2;\n";
  Spatialite(db, del, &err);
  EXPECT_EQ(err,
            "Error: near line 1: delete on table \"Fermate\" violates foreign key "
            "constraint \"Orari.IdFermata\"\n [exit 256]");
  EXPECT_EQ(Query(db,
                  "DELETE FROM Fermate WHERE IdAzienda = 103;"
                  "SELECT COUNT(*) FROM Fermate;"),
            "4\n");
}

TEST_P(SqliteScriptTest, GoldenExcerptsOfTheScript) {
  AddRow("fermate", {{"azienda", "101"},
                     {"ID", "3"},
                     {"protoc", "1"},
                     {"denom", "Bivio  "},
                     {"comune", "0"},
                     {"local", "0"},
                     {"okcoord", "0"}});
  const std::string script = kvt::test::TempDir() + "/kvt.sql";
  ASSERT_TRUE(Export(script));
  const std::string text = ReadFile(script);
  // The connection string without its password, if it has one.
  std::string origin = IsPostgres() ? db().Dsn() : db().Path();
  if (const size_t pwd = origin.find(";PWD="); pwd != std::string::npos)
    origin.erase(pwd, origin.find(';', pwd + 1) - pwd);
  EXPECT_TRUE(text.starts_with(
      "--\r\n-- script SQL per alimentazione KVT\r\n--\r\n-- Target DBMS: Sqlite + SpatiaLite\r\n"
      "--\r\n-- generato da KvtBase\r\n--\r\n-- origine: " +
      origin + "\r\n--\r\n\r\n\r\n--"))
      << text.substr(0, 300);
  for (
      const char* excerpt : {
          "\r\n\r\n--\r\n-- creazione + alimentazione tavola LOCALITA\r\n--\r\n\r\n"
          "\r\nSELECT datetime('now'), ' >>> creazione tavola LOCALITA';\r\n\r\n"
          "BEGIN TRANSACTION;\r\n\r\nCREATE TABLE Localita (\r\nIdLocalita INTEGER PRIMARY KEY,\r\n"
          "Nome VARCHAR(40) NOT NULL,\r\nIstat VARCHAR(6) NOT NULL,\r\nAbitanti INTEGER NOT "
          "NULL);\r\n\r\n"
          "SELECT AddGeometryColumn('Localita', 'Geom', 3003, 'MULTIPOLYGON', 2);\r\n\r\n"
          "\r\nSELECT datetime('now'), ' >>> alimentazione tavola LOCALITA''';\r\n\r\n",
          "INSERT INTO Fermate (IdFermata, IdAzienda, Codice, Nome, Ubicazione, IdComune, "
          "IdLocalita, "
          "Geom) VALUES\r\n(3, 101, '', 'Bivio', NULL, 0, 0,\r\n"
          "GeomFromWkb(X'010100000000000000000000000000000000000000', 3003));\r\n",
          "INSERT INTO Corse (IdCorsa, IdAzienda, IdLotto, IdEnte, IdPercorso, Linea, Verso, "
          "Lunghezza, Durata, LunghezzaContabile, DurataContabile, IdFermataPartenza, PartenzaOre, "
          "PartenzaMinuti, IdFermataArrivo, ArrivoOre, ArrivoMinuti, VelocitaMedia) VALUES\r\n"
          "(1, 102, 0, 1, 1, 'L1', 'A', 1200, 30, 1100, 25, 1, 7, 5, 2, 7, 35, 24.50);\r\n",
          "INSERT INTO Giorni (IdCorsa, IdAzienda, Giorno) VALUES (1, 101, "
          "julianday('2010-01-31'));\r\n"
          "INSERT INTO Giorni (IdCorsa, IdAzienda, Giorno) VALUES (1, 102, "
          "julianday('2010-01-01'));\r\n",
          "\r\nSELECT datetime('now'), ' >>> creazione indice spaziale LOCALITA''';\r\n\r\n"
          "\r\nSELECT CreateSpatialIndex('Localita', 'Geom');\r\nCOMMIT TRANSACTION;\r\n",
          "CREATE TRIGGER fkd_percorso_corse\r\nBEFORE DELETE ON Percorsi\r\nFOR EACH ROW BEGIN\r\n"
          "SELECT RAISE(ROLLBACK, 'delete on table \"Percorsi\" violates foreign key constraint "
          "\"Corse.IdPercorso\"')\r\nWHERE (SELECT IdPercorso FROM Corse WHERE IdPercorso = "
          "OLD.IdPercorso AND IdAzienda = OLD.IdAzienda) IS NOT NULL;\r\nEND;\r\n\r\n",
          "CREATE TRIGGER fki_fermate_comune\r\nBEFORE INSERT ON Fermate\r\nFOR EACH ROW BEGIN\r\n"
          "SELECT RAISE(ROLLBACK, 'insert on table \"Fermate\" violates foreign key constraint "
          "\"IdComune\"')\r\nWHERE (SELECT IdComune FROM Comuni WHERE IdComune = NEW.IdComune) "
          "IS NULL;\r\nEND;\r\n\r\n",
      })
    EXPECT_NE(text.find(excerpt), std::string::npos) << excerpt;
  EXPECT_TRUE(
      text.ends_with("ANALYZE;\r\n\r\nSELECT datetime('now'), ' >>> database alimentato "
                     "con successo';\r\n"));
  // Every line ends with CR LF; the text is UTF-8.
  for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
    ASSERT_EQ(text[i - 1], '\r') << i;
  EXPECT_NE(text.find("'Città Sant''Angelo'"), std::string::npos);
}

TEST_P(SqliteScriptTest, StoppedOrFailedExportLeavesTheFormerFile) {
  const std::string dir = kvt::test::TempDir(), script = dir + "/kvt.sql";
  std::ofstream(script) << "vecchio";
  ui.cancelAtCaption = "Esportazione CORSE";
  EXPECT_FALSE(Export(script));
  EXPECT_EQ(ReadFile(script), "vecchio");
  EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledFileMessage)});
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_FALSE(entry.path().filename().string().starts_with("kvt.sql.")) << entry.path();

  ui.Clear();
  EXPECT_FALSE(Export(dir + "/manca/kvt.sql"));
  EXPECT_EQ(ui.Texts(), Strings{"Impossibile creare\n\n" + dir + "/manca/kvt.sql"});
  EXPECT_EQ(ui.messages.at(0).caption, "Esportazione script SQL");

  // A corrupt boundary is reported and the municipality written from its other rows.
  CorruptBoundary("geocom", 2, 5, "0123");
  ui.Clear();
  ui.cancelAtCaption.clear();
  ui.cancelRequested = false;
  EXPECT_TRUE(Export(script));
  EXPECT_EQ(ui.Texts(), (Strings{"Comuni: Entità areale corrotta ID=2/5/0 !!!",
                                 "Esportazione script SQL terminata"}));
}

KVT_INSTANTIATE_ENGINES(SqliteScriptTest);

}  // namespace
}  // namespace kvt::carto::test
