// EditSelection walks the selected rows of one table; an edited row is written back with
// an UPDATE found by the table's primary key (read along with the listed columns when the
// caller did not list it).
#include "db/columns.h"
#include "db/database.h"
#include "db/reader.h"
#include "db/row_writer.h"
#include "db/select_sql.h"
#include "db/selection.h"
#include "platform/ui.h"

namespace kvt::db {

class EditSelectionImpl {
 public:
  explicit EditSelectionImpl(Database* db) : db_(db) {}

  Fetch Open(bool reuse);
  Fetch MoveNext();
  Fetch Load(Fetch step, bool injected = false);
  Fetch Refuse(std::string_view why);
  bool Edit();
  bool SetFieldText(std::string_view column, std::string_view text);
  bool GetFieldText(std::string_view column, std::string& out);
  bool Update();

  Database* db_;
  SelectClauses clauses_;
  std::string sql_;
  bool status_ = false;
  Diagnostic error_;

 private:
  bool Prepare(std::string& runSql);
  int Listed(std::string_view column) const;

  std::string table_;
  std::vector<ColumnInfo> columns_;  // the listed columns, then the key columns not listed
  std::unique_ptr<RowWriter> writer_;
  std::unique_ptr<ResultReader> reader_;
  std::vector<Value> current_, edit_;
  std::vector<bool> dirty_;
  bool editing_ = false;
};

// A selection that cannot be run: nothing was asked of the database, so nothing is shown.
Fetch EditSelectionImpl::Refuse(std::string_view why) {
  error_ = {"", std::string(why)};
  return Fetch::Error;
}

Fetch EditSelectionImpl::Open(bool reuse) {
  status_ = false;
  editing_ = false;
  if (!db_ || !db_->IsConnected()) return Refuse("no connection");
  if (!reuse || sql_.empty()) {
    sql_.clear();
    if (!clauses_.SingleTable() || clauses_.from.empty())
      return Refuse("the columns are not of one table");
    sql_ = clauses_.SelectSql(false);
  }
  std::string runSql;
  if (!Prepare(runSql)) return Refuse("a key column is missing");
  std::vector<Kind> kinds;
  for (const ColumnInfo& c : columns_) kinds.push_back(c.kind);
  // The values read go back into the UPDATE that finds the row: the ODBC reader gives them
  // exactly as the driver reads them, time parts of timestamps included.
  if (!reader_) reader_ = std::make_unique<OdbcResultReader>(*db_->connection());
  const Fetch step = reader_->Open(runSql, kinds, db_->RowsetSizeOrdinary());
  if (step == Fetch::Error) {
    error_ = reader_->LastError();
    db_->ui().Stop("Errore estrazione Select SQL\n\n" + error_.text);
    return Fetch::Error;
  }
  return Load(step);
}

// Column types from the catalogue, the key, and the SQL actually run (the caller's, with
// the key columns appended when they are not listed).
bool EditSelectionImpl::Prepare(std::string& runSql) {
  OdbcConnection& conn = *db_->connection();
  std::vector<ColumnInfo> catalogue;
  std::string actual;
  ReadColumns(conn, clauses_.columns.front().table, actual, catalogue);
  table_ = actual;
  columns_.clear();
  for (const SelectColumn& listed : clauses_.columns) {
    const int found = FindColumn(catalogue, listed.column);
    ColumnInfo info = found >= 0 ? catalogue[static_cast<size_t>(found)] : ColumnInfo{};
    if (found < 0) {
      info.name = listed.column;
      info.sqlType = listed.sqlType;
      info.kind = listed.kind;
    }
    columns_.push_back(std::move(info));
  }
  std::vector<std::string> key = ReadPrimaryKey(conn, actual);
  runSql = sql_;
  std::string extra;
  for (const std::string& name : key) {
    if (FindColumn(columns_, name) >= 0) continue;
    const int found = FindColumn(catalogue, name);
    if (found < 0) return false;
    columns_.push_back(catalogue[static_cast<size_t>(found)]);
    extra += ", " + clauses_.columns.front().table + "." + name;
  }
  if (!extra.empty()) {
    const size_t from = runSql.find(" FROM ");
    runSql.insert(from, extra);
  }
  writer_ = std::make_unique<RowWriter>(conn, table_, columns_, key);
  return true;
}

Fetch EditSelectionImpl::Load(Fetch step, bool injected) {
  editing_ = false;
  status_ = step == Fetch::Row;
  if (step == Fetch::Error) {
    if (!injected) error_ = reader_->LastError();
    db_->ui().Stop("Errore lettura riga successiva della select corrente\n\n" + error_.text);
  }
  if (!status_) return step;
  CountRowRead();
  current_.resize(columns_.size());
  for (size_t c = 0; c < columns_.size(); ++c) current_[c] = reader_->Get(static_cast<int>(c));
  return Fetch::Row;
}

Fetch EditSelectionImpl::MoveNext() {
  if (!status_ || !reader_) return Fetch::End;
  if (ReadFailsForTesting(error_)) return Load(Fetch::Error, true);
  return Load(reader_->Next());
}

bool EditSelectionImpl::Edit() {
  if (!status_) return false;
  edit_ = current_;
  dirty_.assign(columns_.size(), false);
  editing_ = true;
  return true;
}

// A listed column by its name, or by "table.column".
int EditSelectionImpl::Listed(std::string_view column) const {
  const size_t dot = column.find('.');
  if (dot != std::string_view::npos) column = column.substr(dot + 1);
  const int found = FindColumn(columns_, column);
  return found >= 0 && static_cast<size_t>(found) < clauses_.columns.size() ? found : -1;
}

bool EditSelectionImpl::SetFieldText(std::string_view column, std::string_view text) {
  const int c = Listed(column);
  if (!status_ || !editing_ || c < 0) return false;
  const ColumnInfo& info = columns_[static_cast<size_t>(c)];
  // A type this object cannot write is an error box, as every failure of a selection.
  if (info.kind == Kind::Binary) {
    db_->ui().Stop("VARBINARY NON GESTITO");
    return false;
  }
  Value value;
  std::string message;
  const SetResult result = ConvertText(info, text, db_->IsDao(), value, message);
  if (result == SetResult::NotHandled) db_->ui().Stop(message);
  if (result != SetResult::Stored) return false;
  edit_[static_cast<size_t>(c)] = std::move(value);
  dirty_[static_cast<size_t>(c)] = true;
  return true;
}

bool EditSelectionImpl::GetFieldText(std::string_view column, std::string& out) {
  out.clear();
  const int c = Listed(column);
  if (!status_ || c < 0) return false;
  const std::vector<Value>& row = editing_ ? edit_ : current_;
  std::string message;
  out = ValueText(columns_[static_cast<size_t>(c)], row[static_cast<size_t>(c)], db_->IsDao(),
                  message);
  if (!message.empty()) db_->ui().Info(message);
  return true;
}

bool EditSelectionImpl::Update() {
  if (!status_ || !editing_) return false;
  editing_ = false;
  if (!writer_->Update(current_, edit_, dirty_)) {
    error_ = writer_->LastError();
    db_->ui().Stop("Errore aggiornamento tavola (" + table_ + ")\n\n" + error_.text);
    return false;
  }
  current_ = edit_;
  return true;
}

EditSelection::EditSelection(Database* db) : impl_(std::make_unique<EditSelectionImpl>(db)) {}
EditSelection::~EditSelection() = default;

void EditSelection::AddColumn(std::string_view table, std::string_view column, int sqlType) {
  impl_->clauses_.columns.push_back(
      {std::string(table), std::string(column), sqlType, KindOf(sqlType)});
}
void EditSelection::SetFrom(std::string_view text) {
  impl_->clauses_.from = text;
}
void EditSelection::SetWhere(std::string_view text) {
  impl_->clauses_.where = text;
}
void EditSelection::SetOrderBy(std::string_view text) {
  impl_->clauses_.orderBy = text;
}
Fetch EditSelection::Open(bool reuse) {
  return impl_->Open(reuse);
}
Fetch EditSelection::MoveNext() {
  return impl_->MoveNext();
}
bool EditSelection::IsPositioned() const {
  return impl_->status_;
}
bool EditSelection::Edit() {
  return impl_->Edit();
}
bool EditSelection::SetFieldText(std::string_view column, std::string_view text) {
  return impl_->SetFieldText(column, text);
}
bool EditSelection::GetFieldText(std::string_view column, std::string& out) {
  return impl_->GetFieldText(column, out);
}
bool EditSelection::Update() {
  return impl_->Update();
}
const Diagnostic& EditSelection::LastError() const {
  return impl_->error_;
}
const std::string& EditSelection::Sql() const {
  return impl_->sql_;
}

}  // namespace kvt::db
