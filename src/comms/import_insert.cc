// The second pass of the import: the file, already checked, is read again from its first
// line and written table by table, then the running days are brought up to date. The whole
// pass is one transaction: whatever stops it half-way leaves the database as it was.
#include <optional>
#include <string>
#include <utility>

#include "comms/calendar.h"
#include "comms/counting.h"
#include "comms/import.h"
#include "comms/row_setter.h"
#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/table.h"
#include "platform/ui.h"

namespace kvt::comms {

namespace {

bool Produces(char tipo) {
  return tipo == 'P' || tipo == 'A';
}

class Inserter {
 public:
  Inserter(db::Database& db, LineReader& reader, ProgressScope& progress, ImportSummary& summary)
      : db_(db), reader_(reader), progress_(progress), summary_(summary) {}

  // False when something stopped the pass (the caller rolls back).
  bool Run();

 private:
  bool Next(std::string_view& record) { return reader_.Next(record); }
  bool ReadProtocol();
  bool InsertProtocol();

  template <typename Row>
  bool InsertSection(Section s, std::string_view caption, std::string_view table,
                     std::span<const std::string_view> columns, ImportCount& count);
  bool InsertSections();
  void FillRow(RowSetter& row, const FermataRow& r);
  void FillRow(RowSetter& row, const ArcoRow& r);
  void FillRow(RowSetter& row, const TestaItinerRow& r);
  void FillRow(RowSetter& row, const RigaItinerRow& r);
  void FillRow(RowSetter& row, const CorsaRow& r);
  void FillRow(RowSetter& row, const OrarioRow& r);
  void FillRow(RowSetter& row, const GiorniRow& r);

  bool DeleteObsoleteDays();
  bool InsertDays();

  db::Database& db_;
  LineReader& reader_;
  ProgressScope& progress_;
  ImportSummary& summary_;
  ProtocolRow protocol_;  // its text view is dropped once the row is written
  std::string resple_;
  SectionCounts declared_;
  LineReader::Position giorni_;  // the first row of <giorni>, for the running days
  std::string trips_;            // trip IDs of <giorni>, for an integrating communication
  int32_t lastTrip_ = 0;
  bool haveTrip_ = false;
};

// Lines 1 to 10 again. Checksums are checked again too: a file changed since the first
// pass is not written.
bool Inserter::ReadProtocol() {
  std::string_view record;
  if (!Next(record) || !Next(record) || !ParseRow(record, protocol_)) return false;
  resple_ = Cp1252ToUtf8(protocol_.resple);
  protocol_.resple = {};
  RunningChecksum checksum;
  checksum.Add(record);
  for (Section s : kSections) {
    std::optional<int64_t> count;
    if (Next(record)) count = TaggedNumber(record, Declarator(s));
    if (!count) return false;
    declared_[s] = *count;
    checksum.Add(record);
  }
  return Next(record) && TaggedNumber(record, kProtocolClose) == checksum.Value();
}

// The progress bar opens with this step's caption.
bool Inserter::InsertProtocol() {
  db::Table table(&db_, "proto");
  if (!table.IsOpen()) return false;
  RowSetter row(table, {"azienda", "protoc", "p_data", "datini", "datfin", "resple", "primacom",
                        "tipo", "azzera"});
  row.Begin();
  row.Int(protocol_.azienda).Int(protocol_.protoc);
  row.DateText(protocol_.p_data).DateText(protocol_.datini).DateText(protocol_.datfin);
  row.Text(resple_).Flag(protocol_.primacom).Char(protocol_.tipo).Flag(protocol_.azzera);
  summary_.proto.read = 1;
  if (!row.End(summary_.proto.written)) return false;
  progress_.Set(1, 1);
  return true;
}

template <typename Row>
bool Inserter::InsertSection(Section s, std::string_view caption, std::string_view name,
                             std::span<const std::string_view> columns, ImportCount& count) {
  progress_.Caption(caption);
  std::string_view header;
  if (!Next(header)) return false;
  if (s == Section::Giorni) giorni_ = reader_.Tell();
  db::Table table(&db_, name, /*bulk=*/true);
  if (!table.IsOpen()) return false;
  RowSetter row(table, columns);
  const int64_t declared = declared_[s];
  std::string_view record;
  Row parsed;
  RunningChecksum checksum;
  for (int64_t done = 0; done < declared; ++done) {
    if (progress_.Stopped()) return false;
    if (!Next(record) || !ParseRow(record, parsed)) return false;
    checksum.Add(record);
    ++count.read;
    row.Begin();
    FillRow(row, parsed);
    if (!row.End(count.written)) return false;
    progress_.Set(done + 1, declared);
  }
  if (!row.Finish(count.written)) return false;
  return Next(record) && TaggedNumber(record, CloseTag(s)) == checksum.Value();
}

// Each list of columns stands beside the filler of its rows: the two are read together.
constexpr std::string_view kFermateColumns[] = {"ID",     "azienda", "protoc",  "fermata",
                                                "denom",  "ubicaz",  "local",   "comune",
                                                "coord_x", "coord_y", "okcoord"};
void Inserter::FillRow(RowSetter& row, const FermataRow& r) {
  row.Int(r.ID).Int(protocol_.azienda).Int(protocol_.protoc);
  row.FileText(r.fermata).FileText(r.denom).FileText(r.ubicaz).Int(r.local).Text("0");
  // A coordinate of 0 means none; the others travel as text with a decimal comma.
  for (double c : {r.coord_x, r.coord_y}) {
    if (c == 0) {
      row.Text("");
    } else {
      row.Text(CommaDecimal(Format("%1.2lf", c)));
    }
  }
  row.Flag(r.coord_x != 0 && r.coord_y != 0);
}

constexpr std::string_view kArchiColumns[] = {"azienda", "ID", "protoc", "inizio", "fine", "lung"};
void Inserter::FillRow(RowSetter& row, const ArcoRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(protocol_.protoc).Int(r.inizio).Int(r.fine);
  row.Int(r.lung);
}

constexpr std::string_view kTesitineColumns[] = {"azienda", "ID", "protoc", "codperc", "denom"};
void Inserter::FillRow(RowSetter& row, const TestaItinerRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(protocol_.protoc).FileText(r.codperc);
  row.FileText(r.denom);
}

constexpr std::string_view kDetitineColumns[] = {"azienda", "ID", "sub", "protoc", "arco", "dist"};
void Inserter::FillRow(RowSetter& row, const RigaItinerRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(r.sub).Int(protocol_.protoc).Int(r.arco);
  row.Int(r.dist);
}

constexpr std::string_view kCorseColumns[] = {
    "azienda", "ID",       "protoc",  "codcorsa", "codlinea", "verso", "ente", "codperc",
    "capol_p", "hh_p",     "mm_p",    "capol_a",  "hh_a",     "mm_a",  "lung", "tempo",
    "ct_lung", "ct_tempo", "prevcor", "nextcor",  "mezzo",    "lotto"};
void Inserter::FillRow(RowSetter& row, const CorsaRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(protocol_.protoc);
  // Direction and mode are file bytes too: an accented letter must arrive as UTF-8.
  row.FileText(r.codcorsa).FileText(r.codlinea).FileText({&r.verso, 1}).Int(r.ente);
  row.Int(r.codperc).Int(r.capol_p).Int(r.hh_p).Int(r.mm_p).Int(r.capol_a).Int(r.hh_a);
  row.Int(r.mm_a).Int(r.lung).Int(r.tempo).Int(r.ct_lung).Int(r.ct_tempo);
  row.OptionalInt(r.prevcor).OptionalInt(r.nextcor).FileText({&r.mezzo, 1}).Text("0");
}

constexpr std::string_view kOrariColumns[] = {"azienda",  "ID",       "sub",      "protoc",
                                              "fermata",  "hh",       "mm",       "sosta",
                                              "primaria", "facolt",   "nonferma"};
void Inserter::FillRow(RowSetter& row, const OrarioRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(r.sub).Int(protocol_.protoc).Int(r.fermata);
  row.Int(r.hh).Int(r.mm).Int(r.sosta).Flag(r.primaria).Flag(r.facolt).Flag(r.nonferma);
}

constexpr std::string_view kMesiColumns[] = {"azienda", "ID", "protoc", "anno", "mese", "giorni"};
void Inserter::FillRow(RowSetter& row, const GiorniRow& r) {
  row.Int(protocol_.azienda).Int(r.ID).Int(protocol_.protoc).Int(r.anno).Int(r.mese);
  row.Text(DayString(r.days));
  // The trips of an integrating plan, whose earlier days this communication replaces.
  if (!Produces(protocol_.tipo) || protocol_.azzera) return;
  if (haveTrip_ && r.ID == lastTrip_) return;
  trips_ +=
      haveTrip_ ? Format(",%ld", static_cast<long>(r.ID)) : Format("%ld", static_cast<long>(r.ID));
  lastTrip_ = r.ID;
  haveTrip_ = true;
}

bool Inserter::InsertSections() {
  return InsertSection<FermataRow>(Section::Fermate, "Inserimento Fermate", "fermate",
                                   kFermateColumns, summary_.fermate) &&
         InsertSection<ArcoRow>(Section::Archi, "Inserimento Archi", "archi", kArchiColumns,
                                summary_.archi) &&
         InsertSection<TestaItinerRow>(Section::TesteItiner, "Inserimento Teste Percorsi",
                                       "tesitine", kTesitineColumns, summary_.tesitine) &&
         InsertSection<RigaItinerRow>(Section::RigheItiner, "Inserimento Dettagli Percorsi",
                                      "detitine", kDetitineColumns, summary_.detitine) &&
         InsertSection<CorsaRow>(Section::Corse, "Inserimento Corse", "corse", kCorseColumns,
                                 summary_.corse) &&
         InsertSection<OrarioRow>(Section::Orari, "Inserimento Orari", "orari", kOrariColumns,
                                  summary_.orari) &&
         InsertSection<GiorniRow>(Section::Giorni, "Inserimento Periodi Effettuazione", "mesi",
                                  kMesiColumns, summary_.mesi);
}

// Days of the new period that this communication supersedes: every day of the company when
// it replaces the earlier ones, only the days of its own trips when it integrates them.
bool Inserter::DeleteObsoleteDays() {
  progress_.Caption("Pulizia Giorni Effettuazione Obsoleti");
  const bool replaces = protocol_.azzera;
  if (!replaces && trips_.empty()) return true;
  const db::Dialect& dialect = db_.dialect();
  const Date& from = protocol_.datini;
  const Date& to = protocol_.datfin;
  std::string where = Format("azienda = %d AND ", protocol_.azienda);
  if (!replaces) where += "ID IN (" + trips_ + ") AND ";
  where += "data >= " + dialect.DateLiteral(from.day, from.month, from.year) +
           " AND data <= " + dialect.DateLiteral(to.day, to.month, to.year);
  db::DeleteSelection days(&db_);
  days.SetColumns("azienda");
  days.SetFrom("giorni");
  days.SetWhere(where);
  if (progress_.Stopped()) return false;
  const std::optional<long> deleted = db::DeleteRows(days);
  if (!deleted) return false;
  summary_.giorniDeleted += *deleted;
  progress_.Set(1, 1);
  return true;
}

// One row of `giorni` for every day marked in <giorni>, whatever the period. A marked day
// that does not exist (31 April) counts as found and stores nothing.
bool Inserter::InsertDays() {
  progress_.Caption("Inserimento Giorni Effettuazione");
  if (!reader_.Seek(giorni_)) return false;
  db::Table table(&db_, "giorni", /*bulk=*/true);
  if (!table.IsOpen()) return false;
  RowSetter row(table, {"azienda", "ID", "protoc", "data", "giorno"});
  const int64_t declared = declared_[Section::Giorni];
  std::string_view record;
  GiorniRow month;
  for (int64_t done = 0; done < declared; ++done) {
    if (progress_.Stopped()) return false;
    if (!Next(record) || !ParseRow(record, month)) return false;
    for (int d = 1; d <= kDayStringLength; ++d) {
      if (!(month.days & (uint32_t{1} << d))) continue;
      ++summary_.giorni.read;
      const Date date{d, month.mese, month.anno};
      if (!IsValidDate(date)) continue;
      row.Begin();
      row.Int(protocol_.azienda).Int(month.ID).Int(protocol_.protoc);
      row.DateText(date).Char(WeekdayCode(date));
      if (!row.End(summary_.giorni.written)) return false;
    }
    progress_.Set(done + 1, declared);
  }
  return row.Finish(summary_.giorni.written);
}

bool Inserter::Run() {
  if (!reader_.Rewind() || !ReadProtocol()) return false;
  if (!Produces(protocol_.tipo)) progress_.SetPhases(kImportPhases - 2);
  if (!InsertProtocol() || !InsertSections()) return false;
  if (!Produces(protocol_.tipo)) return true;
  return DeleteObsoleteDays() && InsertDays();
}

// True when the company's rows are still those the file was checked against (said when not).
bool StillAsChecked(db::Database& db, Ui& ui, const CheckedState& checked) {
  static constexpr std::pair<std::string_view, std::string_view> kChecked[] = {
      {"proto", "protoc"}, {"fermate", "ID"}, {"archi", "ID"}, {"tesitine", "ID"}, {"corse", "ID"}};
  CheckedState now{checked.azienda, {}};
  const std::string company = Format("azienda = %d", checked.azienda);
  for (size_t i = 0; i < std::size(kChecked); ++i) {
    const auto& [table, key] = kChecked[i];
    const std::optional<long> count = CountRows(db, table, key, table, company);
    if (!count) return false;
    now.counts[i] = *count;
  }
  if (now == checked) return true;
  ui.Stop(kCheckedStateChangedMessage);
  return false;
}

}  // namespace

bool Insert(db::Database& db, Ui& ui, LineReader& reader, ImportSummary& summary,
            const CheckedState* checked) {
  summary = ImportSummary{};
  bool done = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Inserimento Protocollo Comunicazione", kCheckPhases + 1,
                           kImportPhases, /*cancellable=*/true);
    db::Transaction transaction(db, "proto");
    done = db.InTransaction() && (!checked || StillAsChecked(db, ui, *checked)) &&
           Inserter(db, reader, progress, summary).Run() && transaction.Commit();
  }
  reader.Close();
  if (!done) {
    summary = ImportSummary{};
    SayUnfinished(ui, kCancelledMessage, kImportAbortedMessage);
  }
  return done;
}

}  // namespace kvt::comms
