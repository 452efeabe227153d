#include "carto/sqlite_script_ddl.h"

namespace kvt::carto::script {

namespace {

// Stops, routes and trips are keyed by company and ID: a second company may use the same IDs.
constexpr std::string_view kCreateFermate = R"(CREATE TABLE Fermate (
IdFermata INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
Codice VARCHAR(10) NOT NULL,
Nome VARCHAR(40) NOT NULL,
Ubicazione VARCHAR(40),
IdComune INTEGER NOT NULL,
IdLocalita INTEGER NOT NULL,
PRIMARY KEY (IdAzienda, IdFermata));

)";

constexpr std::string_view kCreatePercorsi = R"(CREATE TABLE Percorsi (
IdPercorso INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
Codice VARCHAR(20) NOT NULL,
Nome VARCHAR(120) NOT NULL,
PRIMARY KEY (IdAzienda, IdPercorso));

)";

constexpr std::string_view kCreateCorse = R"(CREATE TABLE Corse (
IdCorsa INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
IdLotto INTEGER NOT NULL,
IdEnte INTEGER NOT NULL,
IdPercorso INTEGER NOT NULL,
Linea VARCHAR(10) NOT NULL,
Verso VARCHAR(1) NOT NULL,
Lunghezza INTEGER NOT NULL,
Durata SMALLINT NOT NULL,
LunghezzaContabile INTEGER NOT NULL,
DurataContabile SMALLINT NOT NULL,
IdFermataPartenza INTEGER NOT NULL,
PartenzaOre SMALLINT NOT NULL,
PartenzaMinuti SMALLINT NOT NULL,
IdFermataArrivo INTEGER NOT NULL,
ArrivoOre SMALLINT NOT NULL,
ArrivoMinuti SMALLINT NOT NULL,
VelocitaMedia DOUBLE PRECISION NOT NULL,
PRIMARY KEY (IdAzienda, IdCorsa));

)";

constexpr std::string_view kCreateOrari = R"(CREATE TABLE Orari (
IdCorsa INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
Sub SMALLINT NOT NULL,
Progressiva INTEGER NOT NULL,
IdFermata INTEGER NOT NULL,
ArrivoOre SMALLINT NOT NULL,
ArrivoMinuti SMALLINT NOT NULL,
Sosta SMALLINT NOT NULL,
Primaria BOOLEAN NOT NULL CHECK (Primaria = 0 OR Primaria = 1),
Facoltativa BOOLEAN NOT NULL CHECK (Facoltativa = 0 OR Facoltativa = 1),
NonFerma BOOLEAN NOT NULL CHECK (NonFerma = 0 OR NonFerma = 1),
PRIMARY KEY (IdAzienda, IdCorsa, Sub));

)";

constexpr std::string_view kCreateGiorni = R"(CREATE TABLE Giorni (
IdCorsa INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
Giorno DATE NOT NULL,
PRIMARY KEY (IdAzienda, IdCorsa, Giorno));

)";

// The stop columns of a view, for the stop `f` of municipality `c` and locality `l`.
std::string StopColumns(std::string_view f, std::string_view c, std::string_view l) {
  const std::string F(f), C(c), L(l);
  return F + ".IdFermata AS IdFermata, " + F + ".Codice AS CodiceFermata, " + F +
         ".Nome AS NomeFermata, " + F + ".Ubicazione AS UbicazioneFermata,\n" + F +
         ".IdComune AS IdComune, " + C + ".Nome AS NomeComune, " + F +
         ".IdLocalita AS IdLocalita, " + L + ".Nome AS NomeLocalita";
}

// The trip of VistaCorse: its columns from IdAzienda to VelocitaMedia, its three geometries,
// its tables and their joins.
constexpr std::string_view kTripBody = R"(c.IdAzienda AS IdAzienda, a.Nome AS NomeAzienda,
c.IdLotto AS IdLotto, l.Nome AS NomeLotto, c.IdEnte AS IdEnte, e.Nome AS NomeEnte,
c.IdPercorso AS IdPercorso, p.Codice AS CodicePercorso, p.Nome AS NomePercorso,
c.Linea AS Linea, c.Verso AS Verso, c.Lunghezza AS Lunghezza, c.Durata AS Durata,
c.LunghezzaContabile AS LunghezzaContabile, c.DurataContabile AS DurataContabile,
c.PartenzaOre AS PartenzaOre, c.PartenzaMinuti AS PartenzaMinuti,
c.ArrivoOre AS ArrivoOre, c.ArrivoMinuti AS ArrivoMinuti,
c.IdFermataPartenza AS IdFermataPartenza, fp.Codice AS CodiceFermataPartenza,
fp.Nome AS NomeFermataPartenza, fp.IdComune AS IdComunePartenza, cp.Nome AS NomeComunePartenza,
fp.IdLocalita AS IdLocalitaPartenza, lp.Nome AS NomeLocalitaPartenza,
c.IdFermataArrivo AS IdFermataArrivo, fa.Codice AS CodiceFermataArrivo,
fa.Nome AS NomeFermataArrivo, fa.IdComune AS IdComuneArrivo, ca.Nome AS NomeComuneArrivo,
fa.IdLocalita AS IdLocalitaArrivo, la.Nome AS NomeLocalitaArrivo,
c.VelocitaMedia AS VelocitaMedia)";

constexpr std::string_view kTripGeometries =
    "fp.Geom AS GeomFermataPartenza, fa.Geom AS GeomFermataArrivo, p.Geom AS GeomPercorso";

constexpr std::string_view kTripFrom = R"(Corse c, Aziende a, Lotti l, Enti e, Percorsi p,
Fermate fp, Fermate fa, Comuni cp, Comuni ca, Localita lp, Localita la)";

constexpr std::string_view kTripJoins = R"(a.IdAzienda = c.IdAzienda AND l.IdLotto = c.IdLotto
AND e.IdEnte = c.IdEnte
AND p.IdAzienda = c.IdAzienda AND p.IdPercorso = c.IdPercorso
AND fp.IdAzienda = c.IdAzienda AND fp.IdFermata = c.IdFermataPartenza
AND fa.IdAzienda = c.IdAzienda AND fa.IdFermata = c.IdFermataArrivo
AND cp.IdComune = fp.IdComune AND lp.IdLocalita = fp.IdLocalita
AND ca.IdComune = fa.IdComune AND la.IdLocalita = fa.IdLocalita)";

std::string TripView(std::string_view head, std::string_view from, std::string_view joins) {
  return "SELECT " + std::string(head) + std::string(kTripBody) + ",\n" +
         std::string(kTripGeometries) + "\nFROM " + std::string(from) + std::string(kTripFrom) +
         "\nWHERE " + std::string(joins) + std::string(kTripJoins) + ";\n";
}

std::string VistaFermate() {
  return R"(SELECT f.IdFermata AS IdFermata, f.IdAzienda AS IdAzienda, a.Nome AS NomeAzienda,
f.Codice AS CodiceFermata, f.Nome AS NomeFermata, f.Ubicazione AS Ubicazione,
f.IdComune AS IdComune, c.Nome AS NomeComune, f.IdLocalita AS IdLocalita,
l.Nome AS NomeLocalita, f.Geom AS GeomFermata
FROM Fermate f, Aziende a, Comuni c, Localita l
WHERE a.IdAzienda = f.IdAzienda AND c.IdComune = f.IdComune AND l.IdLocalita = f.IdLocalita;
)";
}

std::string VistaPercorsi() {
  return R"(SELECT p.IdPercorso AS IdPercorso, p.IdAzienda AS IdAzienda, a.Nome AS NomeAzienda,
p.Codice AS CodicePercorso, p.Nome AS NomePercorso, p.Geom AS Geom
FROM Percorsi p, Aziende a
WHERE a.IdAzienda = p.IdAzienda;
)";
}

std::string VistaOrari() {
  return "SELECT o.IdCorsa AS IdCorsa, o.IdAzienda AS IdAzienda, o.Sub AS Sub, "
         "o.Progressiva AS Progressiva,\n" +
         StopColumns("f", "c", "l") +
         ",\no.ArrivoOre AS ArrivoOre, o.ArrivoMinuti AS ArrivoMinuti, o.Sosta AS Sosta,\n"
         "o.Primaria AS FermataPrimaria, o.Facoltativa AS FermataFacoltativa, "
         "o.NonFerma AS TransitoSenzaFermata,\nf.Geom AS GeomFermata\n"
         "FROM Orari o, Fermate f, Comuni c, Localita l\n"
         "WHERE f.IdAzienda = o.IdAzienda AND f.IdFermata = o.IdFermata\n"
         "AND c.IdComune = f.IdComune AND l.IdLocalita = f.IdLocalita;\n";
}

std::string VistaTransitiGiorno() {
  const std::string head =
      "g.Giorno AS Giorno, o.IdCorsa AS IdCorsa, o.Sub AS Sub, o.Progressiva AS Progressiva,\n" +
      StopColumns("f", "cf", "lf") +
      ",\no.ArrivoOre AS ArrivoOre, o.ArrivoMinuti AS ArrivoMinuti, o.Sosta AS Sosta,\n"
      "o.Primaria AS FermataPrimaria, o.Facoltativa AS FermataFacoltativa,\n";
  // The passing stop's geometry comes before the trip's three.
  std::string view =
      TripView(head, "Giorni g, Orari o, Fermate f, Comuni cf, Localita lf,\n",
               "g.IdAzienda = c.IdAzienda AND g.IdCorsa = c.IdCorsa\n"
               "AND o.IdAzienda = c.IdAzienda AND o.IdCorsa = c.IdCorsa "
               "AND o.NonFerma = 0\n"
               "AND f.IdAzienda = o.IdAzienda AND f.IdFermata = o.IdFermata\n"
               "AND cf.IdComune = f.IdComune AND lf.IdLocalita = f.IdLocalita\nAND ");
  const std::string geometries(kTripGeometries);
  view.replace(view.find(geometries), 0, "f.Geom AS GeomFermata, ");
  return view;
}

std::vector<TableDef> MakeTables() {
  std::vector<TableDef> t;
  t.push_back(
      {"Aziende",
       "AZIENDE",
       "AZIENDE",
       "CREATE TABLE Aziende (\nIdAzienda INTEGER PRIMARY KEY,\nNome VARCHAR(40) NOT NULL);\n\n",
       "",
       {},
       false,
       {}});
  t.push_back({"Enti",
               "ENTI",
               "ENTI",
               "CREATE TABLE Enti (\nIdEnte INTEGER PRIMARY KEY,\nNome VARCHAR(40) NOT NULL);\n\n",
               "",
               {},
               false,
               {}});
  t.push_back(
      {"Lotti",
       "LOTTI",
       "LOTTI",
       "CREATE TABLE Lotti (\nIdLotto INTEGER PRIMARY KEY,\nNome VARCHAR(40) NOT NULL);\n\n",
       "",
       {},
       false,
       {}});
  t.push_back({"Comuni",
               "COMUNI",
               "COMUNI",
               "CREATE TABLE Comuni (\nIdComune INTEGER PRIMARY KEY,\nNome VARCHAR(40) NOT NULL,\n"
               "Provincia VARCHAR(4) NOT NULL,\nIstat VARCHAR(6) NOT NULL);\n\n",
               "MULTIPOLYGON",
               {},
               true,
               {}});
  t.push_back(
      {"Localita",
       "LOCALITA",
       "LOCALITA''",
       "CREATE TABLE Localita (\nIdLocalita INTEGER PRIMARY KEY,\nNome VARCHAR(40) NOT NULL,\n"
       "Istat VARCHAR(6) NOT NULL,\nAbitanti INTEGER NOT NULL);\n\n",
       "MULTIPOLYGON",
       {},
       true,
       {}});
  t.push_back({"Fermate",
               "FERMATE",
               "FERMATE",
               kCreateFermate,
               "POINT",
               {{"idx_fermate_azienda", "Azienda", "IdAzienda"},
                {"idx_fermate_comune", "Comune", "IdComune"},
                {"idx_fermate_localita", "Localita", "IdLocalita"}},
               true,
               {{"VistaFermate", VistaFermate()}}});
  t.push_back({"Percorsi",
               "PERCORSI",
               "PERCORSI",
               kCreatePercorsi,
               "LINESTRING",
               {{"idx_percorsi_azienda", "Azienda", "IdAzienda"}},
               true,
               {{"VistaPercorsi", VistaPercorsi()}}});
  // The stop and route indices lead with the company, as the keys they join on.
  t.push_back({"Corse",
               "CORSE",
               "CORSE",
               kCreateCorse,
               "",
               {{"idx_corse_azienda", "Azienda", "IdAzienda"},
                {"idx_corse_lotto", "Lotto", "IdLotto"},
                {"idx_corse_ente", "Ente", "IdEnte"},
                {"idx_corse_percorso", "Percorso", "IdAzienda, IdPercorso"},
                {"idx_corse_linea", "Linea", "Linea"},
                {"idx_corse_partenza", "FermataPartenza", "IdAzienda, IdFermataPartenza"},
                {"idx_corse_arrivo", "FermataArrivo", "IdAzienda, IdFermataArrivo"}},
               false,
               {{"VistaCorse", TripView("c.IdCorsa AS IdCorsa, ", "", "")}}});
  t.push_back({"Orari",
               "ORARI",
               "ORARI",
               kCreateOrari,
               "",
               {{"idx_orari_fermata", "Fermata", "IdAzienda, IdFermata"}},
               false,
               {{"VistaOrari", VistaOrari()}}});
  t.push_back(
      {"Giorni",
       "GIORNI",
       "GIORNI",
       kCreateGiorni,
       "",
       {{"idx_giorni_giorno", "Giorno", "Giorno"}},
       false,
       {{"VistaCorseGiorno", TripView("g.Giorno AS Giorno, c.IdCorsa AS IdCorsa, ", "Giorni g, ",
                                      "g.IdAzienda = c.IdAzienda AND g.IdCorsa = c.IdCorsa\nAND ")},
        {"VistaTransitiGiorno", VistaTransitiGiorno()}}});
  return t;
}

struct Relation {
  std::string_view child, column, parent, key;
  std::string_view onDelete, onInsert, onUpdate;
  bool sameCompany;  // the parent is keyed by company and ID
};

constexpr Relation kRelations[] = {
    {"Fermate", "IdAzienda", "Aziende", "IdAzienda", "fkd_azienda_fermate", "fki_fermate_azienda",
     "fku_fermate_azienda", false},
    {"Fermate", "IdComune", "Comuni", "IdComune", "fkd_comune_fermate", "fki_fermate_comune",
     "fku_fermate_comune", false},
    {"Fermate", "IdLocalita", "Localita", "IdLocalita", "fkd_localita_fermate",
     "fki_fermate_localita", "fku_fermate_localita", false},
    {"Percorsi", "IdAzienda", "Aziende", "IdAzienda", "fkd_azienda_percorsi",
     "fki_percorsi_azienda", "fku_percorsi_azienda", false},
    {"Corse", "IdAzienda", "Aziende", "IdAzienda", "fkd_azienda_corse", "fki_corse_azienda",
     "fku_corse_azienda", false},
    {"Corse", "IdLotto", "Lotti", "IdLotto", "fkd_lotto_corse", "fki_corse_lotto",
     "fku_corse_lotto", false},
    {"Corse", "IdEnte", "Enti", "IdEnte", "fkd_ente_corse", "fki_corse_ente", "fku_corse_ente",
     false},
    {"Corse", "IdPercorso", "Percorsi", "IdPercorso", "fkd_percorso_corse", "fki_corse_percorso",
     "fku_corse_percorsi", true},
    {"Corse", "IdFermataPartenza", "Fermate", "IdFermata", "fkd_partenza_corse",
     "fki_corse_partenza", "fku_corse_partenza", true},
    {"Corse", "IdFermataArrivo", "Fermate", "IdFermata", "fkd_arrivo_corse", "fki_corse_arrivo",
     "fku_corse_arrivo", true},
    {"Orari", "IdCorsa", "Corse", "IdCorsa", "fkd_corsa_orari", "fki_orari_corsa",
     "fku_orari_corsa", true},
    {"Orari", "IdFermata", "Fermate", "IdFermata", "fkd_fermata_orari", "fki_orari_fermata",
     "fku_orari_fermata", true},
    {"Giorni", "IdCorsa", "Corse", "IdCorsa", "fkd_corsa_giorni", "fki_giorni_corsa",
     "fku_giorni_corsa", true},
};

std::string Quoted(std::string_view name) {
  return "\"" + std::string(name) + "\"";
}

// A parent row still referred to cannot be deleted.
std::string DeleteTrigger(const Relation& r) {
  const std::string col(r.column), key(r.key);
  return "CREATE TRIGGER " + std::string(r.onDelete) + "\nBEFORE DELETE ON " +
         std::string(r.parent) + "\nFOR EACH ROW BEGIN\nSELECT RAISE(ROLLBACK, 'delete on table " +
         Quoted(r.parent) + " violates foreign key constraint " +
         Quoted(std::string(r.child) + "." + col) + "')\nWHERE (SELECT " + col + " FROM " +
         std::string(r.child) + " WHERE " + col + " = OLD." + key +
         (r.sameCompany ? " AND IdAzienda = OLD.IdAzienda" : "") + ") IS NOT NULL;\nEND;\n\n";
}

// A child row must refer to an existing parent, on insertion and on update.
std::string ChildTrigger(const Relation& r, bool update) {
  const std::string col(r.column), key(r.key);
  const std::string_view name = update ? r.onUpdate : r.onInsert;
  const std::string_view verb = update ? "update" : "insert";
  return "CREATE TRIGGER " + std::string(name) +
         (update ? "\nBEFORE UPDATE ON " : "\nBEFORE INSERT ON ") + std::string(r.child) +
         "\nFOR EACH ROW BEGIN\nSELECT RAISE(ROLLBACK, '" + std::string(verb) + " on table " +
         Quoted(r.child) + " violates foreign key constraint " + Quoted(col) +
         "')\nWHERE (SELECT " + key + " FROM " + std::string(r.parent) + " WHERE " + key +
         " = NEW." + col + (r.sameCompany ? " AND IdAzienda = NEW.IdAzienda" : "") +
         ") IS NULL;\nEND;\n\n";
}

}  // namespace

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = MakeTables();
  return tables;
}

std::string SupportTableText() {
  return R"(
BEGIN TRANSACTION;

SELECT datetime('now'), ' >>> creazione tavola appoggio TotaliGiorniCorsa';

CREATE TABLE TotaliGiorniCorsa (
IdCorsa INTEGER NOT NULL,
IdAzienda INTEGER NOT NULL,
TotaleGiorni SMALLINT NOT NULL,
PrimoGiorno DATE NOT NULL,
UltimoGiorno DATE NOT NULL,
PRIMARY KEY (IdAzienda, IdCorsa));


SELECT datetime('now'), ' >>> alimentazione tavola appoggio TotaliGiorniCorsa';

INSERT INTO TotaliGiorniCorsa (IdCorsa, IdAzienda, TotaleGiorni, PrimoGiorno, UltimoGiorno)
SELECT IdCorsa, IdAzienda, COUNT(Giorno), Min(Giorno), Max(Giorno)
FROM Giorni GROUP BY IdAzienda, IdCorsa;

COMMIT TRANSACTION;

BEGIN TRANSACTION;

SELECT datetime('now'), ' >>> creazione VistaContratti';


CREATE VIEW VistaContratti AS
SELECT c.IdCorsa AS IdCorsa, c.IdAzienda AS IdAzienda, a.Nome AS NomeAzienda,
c.IdLotto AS IdLotto, l.Nome AS NomeLotto, c.IdEnte AS IdEnte, e.Nome AS NomeEnte,
c.IdPercorso AS IdPercorso, p.Codice AS CodicePercorso, p.Nome AS NomePercorso,
c.Linea AS Linea, c.Verso AS Verso, c.Lunghezza AS Lunghezza, c.Durata AS Durata,
c.LunghezzaContabile AS LunghezzaContabile, c.DurataContabile AS DurataContabile,
tg.TotaleGiorni AS GiorniEffettuazione, tg.PrimoGiorno AS PrimoGiorno,
tg.UltimoGiorno AS UltimoGiorno, c.Lunghezza * tg.TotaleGiorni AS PercorrenzaTotale,
c.Durata * tg.TotaleGiorni AS DurataTotale,
c.LunghezzaContabile * tg.TotaleGiorni AS PercorrenzaContabileTotale,
c.DurataContabile * tg.TotaleGiorni AS DurataContabileTotale
FROM Corse c, Aziende a, Lotti l, Enti e, Percorsi p, TotaliGiorniCorsa tg
WHERE a.IdAzienda = c.IdAzienda AND l.IdLotto = c.IdLotto AND e.IdEnte = c.IdEnte
AND p.IdAzienda = c.IdAzienda AND p.IdPercorso = c.IdPercorso
AND tg.IdAzienda = c.IdAzienda AND tg.IdCorsa = c.IdCorsa;
COMMIT TRANSACTION;
)";
}

std::string TriggersText() {
  std::string out =
      "\n--\n-- creazione dei triggers a tutela dell'integrita' referenziale\n--\n\n"
      "\nSELECT datetime('now'), ' >>> creazione TRIGGERS per integrita'' referenziale';\n\n";
  for (const Relation& r : kRelations)
    out += DeleteTrigger(r) + ChildTrigger(r, false) + ChildTrigger(r, true);
  return out;
}

}  // namespace kvt::carto::script
