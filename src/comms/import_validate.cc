// The first pass of the import: reads the whole communication, checks it and collects every
// fault. Structural faults stop reading at once; identifier faults are collected to the end.
// Only the identifier sets are held in memory: rows are streamed.
#include <algorithm>
#include <string>
#include <vector>

#include "comms/import.h"
#include "comms/import_ids.h"
#include "core/text.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::comms {

namespace {

constexpr std::string_view kProtocolSection = "<protocollo>";

// The declarator's keyword without its TAB ("FERMATE").
std::string_view Keyword(Section s) {
  std::string_view d = Declarator(s);
  return d.substr(0, d.size() - 1);
}

class Validator {
 public:
  Validator(db::Database& db, LineReader& reader, ProgressScope& progress,
            std::vector<std::string>& errors)
      : db_(db), reader_(reader), progress_(progress), errors_(errors) {}

  // False when the database could not be read (its message has been shown).
  [[nodiscard]] bool Run();
  CheckedState Checked() const {
    return {azienda_,
            {static_cast<long>(communications_.ExistingCount()),
             static_cast<long>(stops_.ExistingCount()), static_cast<long>(arcs_.ExistingCount()),
             static_cast<long>(routes_.ExistingCount()), static_cast<long>(trips_.ExistingCount())}};
  }

 private:
  // Reading. `line_` is the number of the line just read, or of the line that is missing.
  bool Next(std::string_view& record);

  // Messages.
  void Add(long line, std::string_view text);
  bool Blocking(std::string_view section, std::string_view text);
  bool Blocking(Section s, std::string_view text) { return Blocking(OpenTag(s), text); }
  void Duplicate(std::string_view object, int32_t id);
  void DuplicateAt(long line, std::string_view object, int32_t id);
  void Missing(std::string_view object, int32_t id);
  void Introduce(IdSet& set, int32_t id, std::string_view object);
  void Reference(const IdSet& set, int32_t id, std::string_view object);

  bool ReadProtocol();
  bool LoadSets();
  void CheckProtocol();
  bool ReadSections();
  bool ReadHeader(Section s);
  bool ReadClosing(Section s, int32_t checksum);
  template <typename Row>
  bool ReadSection(Section s, void (Validator::*check)(const Row&));

  void Check(const FermataRow& r);
  void Check(const ArcoRow& r);
  void Check(const TestaItinerRow& r);
  void Check(const RigaItinerRow& r);
  void Check(const CorsaRow& r);
  void CheckLinks(const CorsaRow& r);
  void Check(const OrarioRow& r);
  void Check(const GiorniRow& r);
  void CheckRepeatedMonths();

  db::Database& db_;
  LineReader& reader_;
  ProgressScope& progress_;
  std::vector<std::string>& errors_;
  long line_ = 0;
  int32_t azienda_ = 0;
  int32_t protoc_ = 0;
  SectionCounts declared_;
  IdSet companies_, authorities_, localities_, communications_;
  IdSet stops_, arcs_, routes_, trips_;
  // The trip and month of every <giorni> row with its line: a month given twice is a
  // duplicate. Twelve bytes a row, sorted once the section has been read.
  struct MonthLine {
    uint64_t month;
    long line;
  };
  std::vector<MonthLine> months_;
};

bool Validator::Next(std::string_view& record) {
  const bool got = reader_.Next(record);
  line_ = reader_.LineNumber() + (got ? 0 : 1);
  return got;
}

void Validator::Add(long line, std::string_view text) {
  errors_.push_back(Format("RIGA %ld ", line) + std::string(text));
}

// A structural fault: two messages at the same line, and reading stops.
bool Validator::Blocking(std::string_view section, std::string_view text) {
  Add(line_, "ERRORE BLOCCANTE: non è possibile leggere la sezione " + std::string(section));
  Add(line_, text);
  return false;
}

void Validator::Duplicate(std::string_view object, int32_t id) {
  DuplicateAt(line_, object, id);
}

void Validator::DuplicateAt(long line, std::string_view object, int32_t id) {
  Add(line, Format("Oggetto %.*s duplicato (ID=%ld). Non è possibile inserire un oggetto già "
                    "presente.",
                    static_cast<int>(object.size()), object.data(), static_cast<long>(id)));
}

void Validator::Missing(std::string_view object, int32_t id) {
  Add(line_, Format("Oggetto %.*s inesistente (ID=%ld). Non è possibile referenziare un oggetto "
                    "assente.",
                    static_cast<int>(object.size()), object.data(), static_cast<long>(id)));
}

// An identifier the row introduces: a duplicate of one in the database, or a new one.
void Validator::Introduce(IdSet& set, int32_t id, std::string_view object) {
  if (set.IsExisting(id)) {
    Duplicate(object, id);
  } else {
    set.AddNew(id);
  }
}

void Validator::Reference(const IdSet& set, int32_t id, std::string_view object) {
  if (!set.IsKnown(id)) Missing(object, id);
}

// Lines 1 to 10: header, protocol row, the seven declarators, closing line and checksum.
bool Validator::ReadProtocol() {
  std::string_view record;
  std::optional<int64_t> number;
  if (Next(record)) number = TaggedNumber(record, kProtocolOpen);
  if (!number)
    return Blocking(kProtocolSection, "\tmanca l'intestazione della sezione <protocollo>");
  if (*number != 1) {
    return Blocking(kProtocolSection,
                    "\til numero di righe della sezione <protocollo> non è pari a 1");
  }
  ProtocolRow row;
  if (!Next(record) || !ParseRow(record, row))
    return Blocking(kProtocolSection, "\tla riga tipo <protocollo> ha un formato illegale");
  azienda_ = row.azienda;
  protoc_ = row.protoc;
  RunningChecksum checksum;
  checksum.Add(record);
  for (Section s : kSections) {
    std::optional<int64_t> count;
    if (Next(record)) count = TaggedNumber(record, Declarator(s));
    if (!count)
      return Blocking(kProtocolSection, "\tmanca il dichiaratore " + std::string(Keyword(s)));
    declared_[s] = *count;
    checksum.Add(record);
  }
  number.reset();
  if (Next(record)) number = TaggedNumber(record, kProtocolClose);
  if (!number)
    return Blocking(kProtocolSection, "\tmanca la dichiarazione di chiusura </protocollo>");
  if (*number != checksum.Value()) return Blocking(kProtocolSection, "\til CHECKSUM è errato");
  return true;
}

// False when a set could not be read: a set read short would pass duplicates and refuse
// known references.
bool Validator::LoadSets() {
  const std::string company = Format("azienda = %d", azienda_);
  progress_.Caption("Recupero Aziende TPL");
  if (!companies_.Load(db_, "regazi", "codice", db::kSqlSmallInt, "", progress_)) return false;
  progress_.Caption("Recupero Enti Contrattuali");
  if (!authorities_.Load(db_, "regent", "codice", db::kSqlSmallInt, "", progress_)) return false;
  if (!localities_.Load(db_, "local", "id", db::kSqlSmallInt, "", progress_)) return false;
  progress_.Caption("Recupero Protocollo Comunicazioni Precedenti");
  if (!communications_.Load(db_, "proto", "protoc", db::kSqlInteger, company, progress_))
    return false;
  progress_.Caption("Recupero Fermate Precedenti");
  if (!stops_.Load(db_, "fermate", "ID", db::kSqlInteger, company, progress_)) return false;
  progress_.Caption("Recupero Archi Precedenti");
  if (!arcs_.Load(db_, "archi", "ID", db::kSqlInteger, company, progress_)) return false;
  progress_.Caption("Recupero Percorsi Precedenti");
  if (!routes_.Load(db_, "tesitine", "ID", db::kSqlInteger, company, progress_)) return false;
  progress_.Caption("Recupero Corse Precedenti");
  if (!trips_.Load(db_, "corse", "ID", db::kSqlInteger, company, progress_)) return false;
  stops_.ReserveNew(declared_[Section::Fermate]);
  arcs_.ReserveNew(declared_[Section::Archi]);
  routes_.ReserveNew(declared_[Section::TesteItiner]);
  trips_.ReserveNew(declared_[Section::Corse]);
  return true;
}

// Both at line 10, not blocking.
void Validator::CheckProtocol() {
  if (!companies_.IsKnown(azienda_)) {
    Add(line_, "sezione <protocollo>; l'azienda comunicante è sconosciuta al sistema");
    Missing("<azienda>", azienda_);
  }
  if (communications_.IsExisting(protoc_)) {
    Add(line_, "sezione <protocollo>; la comunicazione esiste già");
    Duplicate("<protocollo>", protoc_);
  }
}

bool Validator::ReadHeader(Section s) {
  std::string_view record;
  std::optional<int64_t> number;
  if (Next(record)) number = TaggedNumber(record, OpenTag(s));
  const std::string tag(OpenTag(s));
  if (!number) return Blocking(s, "\tmanca l'intestazione della sezione " + tag);
  if (*number != declared_[s]) {
    return Blocking(s, "\til numero di righe della sezione " + tag +
                           " differisce da quanto dichiarato in <protocollo>");
  }
  return true;
}

bool Validator::ReadClosing(Section s, int32_t checksum) {
  std::string_view record;
  std::optional<int64_t> number;
  if (Next(record)) number = TaggedNumber(record, CloseTag(s));
  if (!number)
    return Blocking(s, "\tmanca la dichiarazione di chiusura " + std::string(CloseTag(s)));
  if (*number != checksum) return Blocking(s, "\til CHECKSUM è errato");
  return true;
}

template <typename Row>
bool Validator::ReadSection(Section s, void (Validator::*check)(const Row&)) {
  progress_.Caption("Importazione " + std::string(OpenTag(s)));
  if (!ReadHeader(s)) return false;
  const int64_t declared = declared_[s];
  RunningChecksum checksum;
  std::string_view record;
  Row row;
  for (int64_t done = 0; done < declared; ++done) {
    if (progress_.Stopped()) return false;
    if (!Next(record) || !ParseRow(record, row))
      return Blocking(s, "\tla riga tipo " + std::string(OpenTag(s)) + " ha un formato illegale");
    (this->*check)(row);
    checksum.Add(record);
    progress_.Set(done + 1, declared);
  }
  return ReadClosing(s, checksum.Value());
}

bool Validator::ReadSections() {
  if (!ReadSection<FermataRow>(Section::Fermate, &Validator::Check)) return false;
  stops_.RebuildKnown();
  if (!ReadSection<ArcoRow>(Section::Archi, &Validator::Check)) return false;
  arcs_.RebuildKnown();
  if (!ReadSection<TestaItinerRow>(Section::TesteItiner, &Validator::Check)) return false;
  routes_.RebuildKnown();
  if (!ReadSection<RigaItinerRow>(Section::RigheItiner, &Validator::Check)) return false;
  // Trips name their previous and next trips, which may come later in the section: a
  // second reading checks them against the complete set.
  const LineReader::Position trips = reader_.Tell();
  if (!ReadSection<CorsaRow>(Section::Corse, &Validator::Check)) return false;
  trips_.RebuildKnown();
  if (!reader_.Seek(trips))
    return Blocking(Section::Corse, "\tmanca l'intestazione della sezione <corse>");
  if (!ReadSection<CorsaRow>(Section::Corse, &Validator::CheckLinks)) return false;
  if (!ReadSection<OrarioRow>(Section::Orari, &Validator::Check)) return false;
  if (!ReadSection<GiorniRow>(Section::Giorni, &Validator::Check)) return false;
  CheckRepeatedMonths();
  return true;
}

void Validator::Check(const FermataRow& r) {
  Introduce(stops_, r.ID, "<fermata>");
  Reference(localities_, r.local, "<localita>");
}

void Validator::Check(const ArcoRow& r) {
  Introduce(arcs_, r.ID, "<archi>");
  Reference(stops_, r.inizio, "<fermate>");
  Reference(stops_, r.fine, "<fermate>");
}

void Validator::Check(const TestaItinerRow& r) {
  Introduce(routes_, r.ID, "<teste_itiner>");
}

void Validator::Check(const RigaItinerRow& r) {
  Reference(routes_, r.ID, "<righe_itiner>");
  Reference(arcs_, r.arco, "<archi>");
}

void Validator::Check(const CorsaRow& r) {
  Introduce(trips_, r.ID, "<corse>");
  Reference(authorities_, r.ente, "<ente>");
  Reference(routes_, r.codperc, "<teste_itiner>");
  Reference(stops_, r.capol_p, "<fermate>");
  Reference(stops_, r.capol_a, "<fermate>");
}

void Validator::CheckLinks(const CorsaRow& r) {
  if (r.prevcor != 0) Reference(trips_, r.prevcor, "<corse>");
  if (r.nextcor != 0) Reference(trips_, r.nextcor, "<corse>");
}

void Validator::Check(const OrarioRow& r) {
  Reference(trips_, r.ID, "<corse>");
  Reference(stops_, r.fermata, "<fermate>");
}

void Validator::Check(const GiorniRow& r) {
  Reference(trips_, r.ID, "<corse>");
  months_.push_back({uint64_t{static_cast<uint32_t>(r.ID)} << 32 |
                         uint64_t{static_cast<uint16_t>(r.anno)} << 4 |
                         static_cast<uint64_t>(r.mese),
                     line_});
}

// Two rows for one trip and month would leave the month string with the first row's days
// and the day rows with both: the file must give each month once. Every repetition is
// reported at its own line.
void Validator::CheckRepeatedMonths() {
  std::stable_sort(months_.begin(), months_.end(),
                   [](const MonthLine& a, const MonthLine& b) { return a.month < b.month; });
  std::vector<MonthLine> repeated;
  for (size_t i = 1; i < months_.size(); ++i)
    if (months_[i].month == months_[i - 1].month) repeated.push_back(months_[i]);
  std::sort(repeated.begin(), repeated.end(),
            [](const MonthLine& a, const MonthLine& b) { return a.line < b.line; });
  for (const MonthLine& m : repeated)
    DuplicateAt(m.line, "<giorni>", static_cast<int32_t>(m.month >> 32));
  months_ = {};
}

bool Validator::Run() {
  if (!ReadProtocol()) return true;
  if (!LoadSets()) return false;
  CheckProtocol();
  ReadSections();
  return true;
}

}  // namespace

std::unique_ptr<LineReader> Validate(db::Database& db, Ui& ui, const std::string& path,
                                     std::vector<std::string>& errors, bool* databaseFailed,
                                     CheckedState* checked) {
  if (databaseFailed) *databaseFailed = false;
  auto reader = std::make_unique<LineReader>();
  if (!reader->Open(path)) {
    ui.Stop(kCannotOpenMessage);
    return nullptr;
  }
  WaitScope wait(ui);
  bool ran = false;
  {
    ProgressScope progress(ui, "Recupero Protocollo Comunicazione KvtTxt V2", 1, kImportPhases,
                           /*cancellable=*/true);
    Validator validator(db, *reader, progress, errors);
    ran = validator.Run();
    if (checked) *checked = validator.Checked();
  }
  if (ui.CancelRequested()) {
    ui.Info(kCancelledMessage);
    return nullptr;
  }
  if (!ran) {
    if (databaseFailed) *databaseFailed = true;
    return nullptr;
  }
  if (!errors.empty()) return nullptr;
  return reader;
}

}  // namespace kvt::comms
