// DeleteSelection deletes every matching row with one DELETE statement: the caller's loop
// (DeleteRowset, MoveNext) then ends at once, RowsDeleted giving the rows deleted. One
// statement is atomic on every engine and needs no updatable cursor.
#include "db/database.h"
#include "db/odbc.h"
#include "db/selection.h"
#include "platform/ui.h"

namespace kvt::db {

class DeleteSelectionImpl {
 public:
  explicit DeleteSelectionImpl(Database* db) : db_(db) {}

  Fetch Open(bool reuse);
  bool DeleteRowset();

  Database* db_;
  std::string columns_, from_, where_;
  std::string sql_;
  std::string runFrom_, runWhere_;  // the clauses of the SQL last assembled
  bool status_ = false;
  Diagnostic error_;
  long rowsDeleted_ = 0;
};

Fetch DeleteSelectionImpl::Open(bool reuse) {
  status_ = false;
  rowsDeleted_ = 0;
  if (!db_ || !db_->IsConnected()) {
    error_ = {"", "no connection"};
    return Fetch::Error;
  }
  if (!reuse || sql_.empty()) {
    if (columns_.empty() || from_.empty()) {
      error_ = {"", "no column or no FROM"};
      return Fetch::Error;
    }
    sql_ = "SELECT " + columns_ + " FROM " + from_ + " ";
    if (!where_.empty()) sql_ += "WHERE " + where_ + " ";
    runFrom_ = from_;
    runWhere_ = where_;
  }
  OdbcStatement stmt(*db_->connection());
  const bool run = stmt.ExecDirect(sql_);
  const SQLRETURN rc = run ? stmt.Fetch() : SQL_ERROR;
  if (rc == SQL_ERROR) {
    error_ = stmt.LastError();
    db_->ui().Stop("Errore estrazione Select SQL\n\n" + error_.text);
    return Fetch::Error;
  }
  stmt.CloseCursor();
  status_ = rc == SQL_SUCCESS;
  return status_ ? Fetch::Row : Fetch::End;
}

bool DeleteSelectionImpl::DeleteRowset() {
  rowsDeleted_ = 0;
  if (!status_) return false;
  status_ = false;  // every matching row goes now: nothing is left to move to
  std::string sql = "DELETE FROM " + runFrom_;
  if (!runWhere_.empty()) sql += " WHERE " + runWhere_;
  OdbcStatement stmt(*db_->connection());
  if (!stmt.ExecDirect(sql)) {
    error_ = stmt.LastError();
    db_->ui().Stop("Errore eliminazione righe della tavola (" + runFrom_ + ")\n\n" +
                   error_.text);
    return false;
  }
  const long long count = stmt.RowCount();
  rowsDeleted_ = count < 0 ? 0 : static_cast<long>(count);
  return true;
}

DeleteSelection::DeleteSelection(Database* db) : impl_(std::make_unique<DeleteSelectionImpl>(db)) {}
DeleteSelection::~DeleteSelection() = default;

void DeleteSelection::SetColumns(std::string_view text) {
  impl_->columns_ = text;
}
void DeleteSelection::SetFrom(std::string_view text) {
  impl_->from_ = text;
}
void DeleteSelection::SetWhere(std::string_view text) {
  impl_->where_ = text;
}
Fetch DeleteSelection::Open(bool reuse) {
  return impl_->Open(reuse);
}
bool DeleteSelection::DeleteRowset() {
  return impl_->DeleteRowset();
}
Fetch DeleteSelection::MoveNext() {
  return Fetch::End;
}
long DeleteSelection::RowsDeleted() const {
  return impl_->rowsDeleted_;
}
const Diagnostic& DeleteSelection::LastError() const {
  return impl_->error_;
}
const std::string& DeleteSelection::Sql() const {
  return impl_->sql_;
}

}  // namespace kvt::db
