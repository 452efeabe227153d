#include "db/table.h"

#include <algorithm>

#include "db/bulk.h"
#include "db/columns.h"
#include "db/database.h"
#include "db/odbc.h"
#include "db/row_writer.h"
#include "db/select_sql.h"
#include "platform/ui.h"

namespace kvt::db {

namespace {

// Rows per bulk block under the file method, whose nominal rowset size is 1: a block is
// one statement, and SQLite gains little past a few hundred rows per statement.
constexpr unsigned kFileBulkRows = 200;
// Least rows per bulk block on a server (ODBC method), for tables without byte blocks.
constexpr unsigned kServerBulkRows = 1000;

}  // namespace

// What both modes share: the columns as the catalogue gives them, the conversion of texts
// into values and back, and the reports. Each mode keeps its own rows: RowTable the current
// and the edited row, BulkTable the block. A call of the other mode fails without a message.
class TableImpl {
 public:
  TableImpl(Database* db, std::string_view name);
  virtual ~TableImpl() = default;
  TableImpl(const TableImpl&) = delete;
  TableImpl& operator=(const TableImpl&) = delete;

  virtual bool SetCurrentIndex(std::string_view) { return false; }
  virtual Fetch Seek(std::span<const std::string>) { return Fetch::Error; }
  virtual Fetch FindWhere(std::string_view) { return Fetch::Error; }
  virtual bool AddNew() = 0;
  virtual bool Edit() { return false; }
  bool SetFieldText(int column, std::string_view text);
  bool SetFieldBlob(int column, const void* bytes, std::size_t length);
  bool GetFieldText(int column, std::string& out);
  virtual bool Update() = 0;
  virtual bool Flush(std::string_view prefix) = 0;
  int ColumnIndex(std::string_view column) const {
    return open_ ? FindColumn(columns_, column) : -1;
  }

  bool open_ = false;
  std::string name_;
  long rowsWritten_ = 0;
  Diagnostic error_;

 protected:
  // Reads the columns; false (reported) when the table cannot be used.
  bool OpenColumns();
  // Open, on a Database still connected (a closed Database has released the handles).
  bool Usable() const { return open_ && db_->IsConnected(); }
  bool HasColumn(int column) const {
    return column >= 0 && static_cast<size_t>(column) < columns_.size();
  }
  void Report(std::string_view prefix, std::string_view text);
  void Report(std::string_view prefix, const Diagnostic& error);
  // Puts a converted value into the row being written; false when there is none.
  virtual bool Store(int column, Value value) = 0;
  // The value GetFieldText shows.
  virtual Value Shown(int column) const = 0;

  Database* db_ = nullptr;
  bool fileMethod_ = false;
  std::string actualName_;
  std::vector<ColumnInfo> columns_;
};

// Ordinary mode: one row at a time, found by a keyed lookup, edited in place.
class RowTable final : public TableImpl {
 public:
  RowTable(Database* db, std::string_view name);

  bool SetCurrentIndex(std::string_view index) override;
  Fetch Seek(std::span<const std::string> keys) override;
  Fetch FindWhere(std::string_view condition) override;
  bool AddNew() override;
  bool Edit() override;
  // Writes the new or edited row: RowsWritten is the rows the statement wrote.
  bool Update() override;
  bool Flush(std::string_view) override { return Usable(); }

 private:
  enum class Mode { None, Adding, Editing };

  bool Store(int column, Value value) override;
  Value Shown(int column) const override;
  Fetch LoadFirst(const std::string& sql, std::vector<Value>& params,
                  const std::vector<Kind>& paramKinds);
  std::string SelectAll() const;

  std::unique_ptr<RowWriter> writer_;
  std::vector<std::string> index_;  // columns of the current index (file method)
  std::vector<Value> current_;
  bool hasCurrent_ = false;
  std::vector<Value> edit_;
  std::vector<bool> dirty_;
  Mode mode_ = Mode::None;
};

// Bulk-append mode: each Update fills one slot of a block; a full block, or what Flush finds,
// goes to the database at once: RowsWritten is the rows of the block stored (0 while the
// block fills).
class BulkTable final : public TableImpl {
 public:
  BulkTable(Database* db, std::string_view name, std::size_t blobBufferSize);
  // Sends pending rows.
  ~BulkTable() override;

  bool AddNew() override;
  bool Update() override;
  bool Flush(std::string_view prefix) override;

 private:
  bool Store(int column, Value value) override;
  Value Shown(int column) const override;

  std::unique_ptr<BulkInserter> bulk_;
};

TableImpl::TableImpl(Database* db, std::string_view name) : name_(name), db_(db) {
  if (db_ && db_->IsConnected()) fileMethod_ = db_->IsDao();
}

bool TableImpl::OpenColumns() {
  if (!db_ || !db_->IsConnected()) return false;
  OdbcConnection& conn = *db_->connection();
  if (!ReadColumns(conn, name_, actualName_, columns_)) {
    // Let the engine say why (usually: no such table).
    OdbcStatement probe(conn);
    Diagnostic error{"", std::string(kNoDriverText)};
    if (!probe.ExecDirect("SELECT * FROM " + conn.QuoteName(name_) + " WHERE 1 = 0"))
      error = probe.LastError();
    Report("Errore in fase di apertura della tavola (", error);
    return false;
  }
  for (const ColumnInfo& column : columns_) {
    if (column.kind == Kind::Unknown) {
      db_->ui().Stop(UnknownTypeMessage(column.sqlType));
      return false;
    }
  }
  return true;
}

RowTable::RowTable(Database* db, std::string_view name) : TableImpl(db, name) {
  if (!OpenColumns()) return;
  OdbcConnection& conn = *db_->connection();
  writer_ =
      std::make_unique<RowWriter>(conn, actualName_, columns_, ReadPrimaryKey(conn, actualName_));
  open_ = true;
}

BulkTable::BulkTable(Database* db, std::string_view name, std::size_t blobBufferSize)
    : TableImpl(db, name) {
  if (!OpenColumns()) return;
  OdbcConnection& conn = *db_->connection();
  const bool hasBlob = std::any_of(columns_.begin(), columns_.end(),
                                   [](const ColumnInfo& c) { return c.kind == Kind::Binary; });
  unsigned rows = hasBlob ? db_->RowsetSizeBlob() : db_->RowsetSizeOrdinary();
  // The rowset size tunes reading; a block of 25 rows would cost a server round trip
  // every 25 rows written, so blocks without byte blocks are sent in larger batches.
  if (!hasBlob) rows = std::max(rows, kServerBulkRows);
  if (fileMethod_) rows = kFileBulkRows;
  bulk_ = MakeBulkInserter(conn, conn.QuoteName(actualName_), columns_, rows, blobBufferSize,
                           db_->dialect().bulkStrategy());
  open_ = true;
}

BulkTable::~BulkTable() {
  if (Usable() && bulk_->filled() > 0) (void)Flush("Errore chiusura tavola (");
}

// A failure of the program's own making (no driver diagnostic): the text is the message.
void TableImpl::Report(std::string_view prefix, std::string_view text) {
  error_ = {"", std::string(text)};
  db_->ui().Stop(std::string(prefix) + name_ + ")\n\n" + std::string(text));
}

void TableImpl::Report(std::string_view prefix, const Diagnostic& error) {
  error_ = error;
  db_->ui().Stop(std::string(prefix) + name_ + ")\n\n" + error.text);
}

std::string RowTable::SelectAll() const {

  const OdbcConnection& conn = *db_->connection();
  std::string sql = "SELECT ";
  for (size_t c = 0; c < columns_.size(); ++c)
    sql += (c ? ", " : "") + conn.QuoteName(columns_[c].name);
  return sql + " FROM " + conn.QuoteName(actualName_);
}

bool RowTable::SetCurrentIndex(std::string_view index) {
  if (!Usable()) return false;
  if (!fileMethod_) return true;
  std::vector<std::string> columns = writer_->IndexColumns(index);
  if (columns.empty()) {
    db_->ui().Stop("Errore selezione indice (" + std::string(index) + ") tavola (" + name_ +
                   ")\n\n" + "'" + std::string(index) + "' non è un indice di questa tavola.");
    return false;
  }
  index_ = std::move(columns);
  return true;
}

Fetch RowTable::Seek(std::span<const std::string> keys) {
  if (!Usable() || !fileMethod_) return Fetch::Error;
  if (index_.empty()) index_ = writer_->IndexColumns("codice");
  if (keys.empty() || keys.size() > 16 || keys.size() > index_.size()) {
    Report("Errore lettura tavola (", "Numero di valori chiave non valido per l'indice corrente.");
    return Fetch::Error;
  }
  std::vector<std::string> names(index_.begin(), index_.begin() + keys.size());
  std::vector<Value> params(keys.size());
  std::vector<Kind> kinds(keys.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    const int found = FindColumn(columns_, names[k]);
    if (found < 0) return Fetch::Error;
    const ColumnInfo& column = columns_[static_cast<size_t>(found)];
    std::string ignored;
    ConvertText(column, keys[k], false, params[k], ignored);
    kinds[k] = column.kind;
  }
  const OdbcConnection& conn = *db_->connection();
  std::string order;
  for (const std::string& name : index_)
    order += (order.empty() ? "" : ", ") + conn.QuoteName(name);
  return LoadFirst(SelectAll() + " WHERE " + KeyCondition(conn, names) + " ORDER BY " + order,
                   params, kinds);
}

Fetch RowTable::FindWhere(std::string_view condition) {
  if (!Usable() || fileMethod_) return Fetch::Error;
  std::vector<Value> none;
  return LoadFirst(SelectAll() + " WHERE " + std::string(condition), none, {});
}

// Runs a lookup and makes its first row the current row.
Fetch RowTable::LoadFirst(const std::string& sql, std::vector<Value>& params,
                           const std::vector<Kind>& paramKinds) {
  mode_ = Mode::None;
  hasCurrent_ = false;
  OdbcStatement stmt(*db_->connection());
  bool ok = stmt.Prepare(sql);
  for (size_t p = 0; ok && p < params.size(); ++p)
    ok = BindValue(stmt, static_cast<int>(p + 1), paramKinds[p], params[p]);
  ok = ok && stmt.Execute();
  SQLRETURN rc = ok ? stmt.Fetch() : SQL_ERROR;
  current_.assign(columns_.size(), Value{});
  for (size_t c = 0; rc == SQL_SUCCESS && c < columns_.size(); ++c)
    if (!ReadValue(stmt, static_cast<int>(c + 1), columns_[c].kind, current_[c])) rc = SQL_ERROR;
  if (rc == SQL_ERROR) {
    Report("Errore lettura tavola (", stmt.LastError());
    return Fetch::Error;
  }
  hasCurrent_ = rc == SQL_SUCCESS;
  return hasCurrent_ ? Fetch::Row : Fetch::End;
}

bool RowTable::AddNew() {
  if (!Usable()) return false;
  edit_.assign(columns_.size(), Value{});
  dirty_.assign(columns_.size(), false);
  mode_ = Mode::Adding;
  return true;
}

bool BulkTable::AddNew() {
  if (!Usable()) return false;
  bulk_->ClearSlot();
  return true;
}

bool RowTable::Edit() {
  if (!Usable()) return false;
  if (!hasCurrent_) {
    Report("Errore editing tavola (", "Nessuna riga corrente.");
    return false;
  }
  edit_ = current_;
  dirty_.assign(columns_.size(), false);
  mode_ = Mode::Editing;
  return true;
}

bool RowTable::Store(int column, Value value) {
  if (mode_ == Mode::None) return false;
  edit_[static_cast<size_t>(column)] = std::move(value);
  dirty_[static_cast<size_t>(column)] = true;
  return true;
}

bool BulkTable::Store(int column, Value value) {
  bulk_->Set(column, value);
  return true;
}

bool TableImpl::SetFieldText(int column, std::string_view text) {
  if (!Usable() || !HasColumn(column)) return false;
  const ColumnInfo& info = columns_[static_cast<size_t>(column)];
  Value value;
  std::string message;
  switch (ConvertText(info, text, fileMethod_, value, message)) {
    case SetResult::Stored:
      return Store(column, std::move(value));
    case SetResult::NotHandled:
      db_->ui().Info(message);
      return false;
    case SetResult::Invalid:
      break;
  }
  // The file engine refuses a text that is not a value of the column, as JET did; under
  // ODBC the field is left as it was.
  if (fileMethod_) {
    const std::string shown = text.empty() ? "<NULL>" : "<" + std::string(text) + ">";
    db_->ui().Stop("Errore campo (" + info.name + ") della tavola (" + name_ + ") " + shown +
                   "\n\n" + "Valore non valido per il tipo del campo.");
  }
  return false;
}

bool TableImpl::SetFieldBlob(int column, const void* bytes, std::size_t length) {
  if (!Usable() || !HasColumn(column)) return false;
  if (columns_[static_cast<size_t>(column)].kind != Kind::Binary) return false;
  Value value;
  if (length > 0 && bytes) {
    value.null = false;
    value.s.assign(static_cast<const char*>(bytes), length);
  }
  return Store(column, std::move(value));
}

bool TableImpl::GetFieldText(int column, std::string& out) {
  out.clear();
  if (!Usable() || !HasColumn(column)) return false;
  std::string message;
  out = ValueText(columns_[static_cast<size_t>(column)], Shown(column), fileMethod_, message);
  if (!message.empty()) db_->ui().Info(message);
  return true;
}

Value RowTable::Shown(int column) const {
  const size_t c = static_cast<size_t>(column);
  if (mode_ != Mode::None) return edit_[c];
  if (hasCurrent_) return current_[c];
  return {};
}

Value BulkTable::Shown(int column) const {
  return bulk_->Get(column);
}

bool RowTable::Update() {
  if (!Usable()) return false;
  rowsWritten_ = 0;
  if (mode_ == Mode::None) {
    Report("Errore aggiornamento tavola (", "Nessuna riga in inserimento o modifica.");
    return false;
  }
  const Mode mode = mode_;
  mode_ = Mode::None;
  const bool ok = mode == Mode::Adding ? writer_->Insert(edit_, dirty_)
                                       : writer_->Update(current_, edit_, dirty_);
  if (!ok) {
    Report("Errore aggiornamento tavola (", writer_->LastError());
    return false;
  }
  if (mode == Mode::Editing) current_ = edit_;
  rowsWritten_ = writer_->RowsWritten();
  return true;
}

bool BulkTable::Update() {
  if (!Usable()) return false;
  bulk_->CloseSlot();
  rowsWritten_ = 0;
  return bulk_->full() ? Flush("Errore aggiornamento tavola (") : true;
}

// Sends the filled slots of the block. Outside a transaction the block gets one of its own
// (an autocommitted row costs a disk sync on SQLite). A row the database refuses is
// reported once for the block and not counted; the other rows are stored. The result is 1
// when any row was stored, so that callers adding RowsWritten "whenever the call succeeds"
// count exactly the stored rows; it is 0 whenever the database itself failed (disk full,
// locked, read-only: !LastError().RowRefused()), whatever was stored before.
bool BulkTable::Flush(std::string_view prefix) {
  if (!Usable()) return false;
  rowsWritten_ = 0;
  if (bulk_->filled() == 0) return true;
  const unsigned filled = bulk_->filled();
  Transaction transaction(*db_);
  rowsWritten_ = bulk_->Send();
  Diagnostic error = bulk_->LastError();
  if (!transaction.Commit()) rowsWritten_ = 0;
  if (rowsWritten_ == static_cast<long>(filled)) return true;
  // The driver's first diagnostic, or "????" when there is none (a doomed transaction).
  const bool diagnosed = !error.text.empty() && error.text != kNoDriverText;
  if (!diagnosed) error.text = kNoDriverText;
  error_ = error;
  db_->ui().Stop(std::string(prefix) + name_ + ")\n\n" +
                 (diagnosed ? " - " + error.text : std::string(kNoDriverText)));
  return rowsWritten_ > 0 && error.RowRefused();
}

Table::Table(Database* db, std::string_view name, bool bulk, std::size_t blobBufferSize) {
  if (bulk)
    impl_ = std::make_unique<BulkTable>(db, name, blobBufferSize);
  else
    impl_ = std::make_unique<RowTable>(db, name);
}

Table::~Table() = default;

bool Table::IsOpen() const {
  return impl_->open_;
}
const std::string& Table::Name() const {
  return impl_->name_;
}
bool Table::SetCurrentIndex(std::string_view index) {
  return impl_->SetCurrentIndex(index);
}
Fetch Table::Seek(std::span<const std::string> keys) {
  return impl_->Seek(keys);
}
Fetch Table::FindWhere(std::string_view condition) {
  return impl_->FindWhere(condition);
}
bool Table::AddNew() {
  return impl_->AddNew();
}
bool Table::Edit() {
  return impl_->Edit();
}
bool Table::SetFieldText(std::string_view column, std::string_view text) {
  return impl_->SetFieldText(impl_->ColumnIndex(column), text);
}
bool Table::SetFieldText(int column, std::string_view text) {
  return impl_->SetFieldText(column, text);
}
bool Table::SetFieldBlob(std::string_view column, const void* bytes, std::size_t length) {
  return impl_->SetFieldBlob(impl_->ColumnIndex(column), bytes, length);
}
bool Table::GetFieldText(std::string_view column, std::string& out) {
  return impl_->GetFieldText(impl_->ColumnIndex(column), out);
}
bool Table::Update() {
  return impl_->Update();
}
bool Table::Flush() {
  return impl_->Flush("Errore scarico buffer tavola (");
}
long Table::RowsWritten() const {
  return impl_->rowsWritten_;
}
const Diagnostic& Table::LastError() const {
  return impl_->error_;
}
int Table::ColumnIndex(std::string_view column) const {
  return impl_->ColumnIndex(column);
}

}  // namespace kvt::db
