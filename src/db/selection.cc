#include "db/selection.h"

#include <algorithm>
#include <optional>

#include "db/database.h"
#include "db/reader.h"
#include "db/select_sql.h"
#include "platform/ui.h"

namespace kvt::db {

class SelectionImpl {
 public:
  explicit SelectionImpl(Database* db) : db_(db) {}

  Fetch Open(bool reuse);
  Fetch MoveNext();
  Fetch Requery();
  Fetch Run(bool requery);
  Fetch Refuse(std::string_view why);
  const SelectColumn* Column(int column, bool (*accept)(Kind)) const;
  std::string DateOut(const SQL_TIMESTAMP_STRUCT& date) const;

  Database* db_;
  SelectClauses clauses_;
  std::string sql_;
  bool status_ = false;
  Diagnostic error_;
  std::unique_ptr<ResultReader> reader_;
};

// A selection that cannot be run: nothing was asked of the database, so nothing is shown.
Fetch SelectionImpl::Refuse(std::string_view why) {
  error_ = {"", std::string(why)};
  return Fetch::Error;
}

Fetch SelectionImpl::Open(bool reuse) {
  status_ = false;
  if (!db_ || !db_->IsConnected()) return Refuse("no connection");
  if (!reuse || sql_.empty()) {
    if (clauses_.columns.empty() || clauses_.from.empty()) return Refuse("no columns or no FROM");
    sql_ = clauses_.SelectSql(true);
  }
  return Run(false);
}

Fetch SelectionImpl::Run(bool requery) {
  std::vector<Kind> kinds;
  bool blob = false;
  for (const SelectColumn& column : clauses_.columns) {
    kinds.push_back(column.kind);
    blob = blob || column.kind == Kind::Binary;
    if (column.kind == Kind::Unknown) db_->ui().Stop(UnknownTypeMessage(column.sqlType));
  }
  if (!reader_) reader_ = MakeResultReader(*db_->connection());
  const unsigned rowset = blob ? db_->RowsetSizeBlob() : db_->RowsetSizeOrdinary();
  const Fetch step = reader_->Open(sql_, kinds, rowset);
  status_ = step == Fetch::Row;
  if (status_) CountRowRead();
  if (step != Fetch::Error) return step;
  error_ = reader_->LastError();
  const std::string& text = error_.text;
  if (reader_->failure() == ResultReader::Failure::Setup)
    db_->ui().Stop("Errore predisposizione Select SQL\n\n" + text);
  else if (requery && db_->IsDao())
    db_->ui().Stop("Errore posizionamento sulle prima riga della select corrente\n\n" + text);
  else if (db_->IsDao())
    db_->ui().Warning("Errore sintassi SQL\n\n" + sql_ + "\n\n" + text);
  else
    db_->ui().Stop("Errore estrazione Select SQL\n\n" + text);
  return Fetch::Error;
}

Fetch SelectionImpl::MoveNext() {
  if (!status_ || !reader_) return Fetch::End;
  const bool injected = ReadFailsForTesting(error_);
  const Fetch step = injected ? Fetch::Error : reader_->Next();
  status_ = step == Fetch::Row;
  if (status_) CountRowRead();
  if (step == Fetch::Error) {
    if (!injected) error_ = reader_->LastError();
    db_->ui().Stop("Errore lettura riga successiva della select corrente\n\n" + error_.text);
  }
  return step;
}

Fetch SelectionImpl::Requery() {
  status_ = false;
  if (!db_ || !db_->IsConnected()) return Refuse("no connection");
  if (sql_.empty()) return Refuse("not opened");
  return Run(true);
}

// The listed column `column` when positioned on a row and its kind is accepted.
const SelectColumn* SelectionImpl::Column(int column, bool (*accept)(Kind)) const {
  if (!status_ || column < 0 || static_cast<size_t>(column) >= clauses_.columns.size())
    return nullptr;
  const SelectColumn& c = clauses_.columns[static_cast<size_t>(column)];
  return accept(c.kind) ? &c : nullptr;
}

std::string SelectionImpl::DateOut(const SQL_TIMESTAMP_STRUCT& date) const {
  return db_->IsDao() ? FileDateText(date) : DateText(date);
}

namespace {
bool ShortKind(Kind k) {
  return k == Kind::Bit || k == Kind::TinyInt || k == Kind::SmallInt;
}
bool LongKind(Kind k) {
  return k == Kind::Integer;
}
bool TextOrDateKind(Kind k) {
  return IsTextKind(k) || IsDateKind(k);
}
bool BlobKind(Kind k) {
  return k == Kind::Binary;
}
bool AnyKind(Kind) {
  return true;
}
}  // namespace

Selection::Selection(Database* db) : impl_(std::make_unique<SelectionImpl>(db)) {}
Selection::~Selection() = default;

void Selection::AddColumn(std::string_view table, std::string_view column, int sqlType) {
  impl_->clauses_.columns.push_back(
      {std::string(table), std::string(column), sqlType, KindOf(sqlType)});
}
void Selection::SetFrom(std::string_view text) {
  impl_->clauses_.from = text;
}
void Selection::SetWhere(std::string_view text) {
  impl_->clauses_.where = text;
}
void Selection::SetGroupBy(std::string_view text) {
  impl_->clauses_.groupBy = text;
}
void Selection::SetOrderBy(std::string_view text) {
  impl_->clauses_.orderBy = text;
}
Fetch Selection::Open(bool reuse, std::size_t) {
  return impl_->Open(reuse);
}
Fetch Selection::MoveNext() {
  return impl_->MoveNext();
}
Fetch Selection::Requery() {
  return impl_->Requery();
}
bool Selection::IsPositioned() const {
  return impl_->status_;
}
const Diagnostic& Selection::LastError() const {
  return impl_->error_;
}
const std::string& Selection::Sql() const {
  return impl_->sql_;
}

int32_t Selection::GetShort(int column) const {
  return impl_->Column(column, ShortKind) ? impl_->reader_->Int(column) : 0;
}

int32_t Selection::GetLong(int column) const {
  return impl_->Column(column, LongKind) ? impl_->reader_->Int(column) : 0;
}

double Selection::GetDouble(int column) const {
  return impl_->Column(column, IsFloatKind) ? impl_->reader_->Double(column) : 0;
}

std::string Selection::GetText(int column) const {
  const SelectColumn* c = impl_->Column(column, TextOrDateKind);
  if (!c || impl_->reader_->IsNull(column)) return {};
  if (IsDateKind(c->kind)) return impl_->DateOut(impl_->reader_->Date(column));
  return impl_->reader_->Text(column);
}

std::string Selection::GetTextByName(std::string_view fullName) const {
  const int column = impl_->clauses_.Find(fullName);
  const SelectColumn* c = impl_->Column(column, AnyKind);
  if (!c) return {};
  const ResultReader& r = *impl_->reader_;
  const bool null = r.IsNull(column);
  if (IsIntegerKind(c->kind)) return null ? "0" : IntText(r.Int(column));
  if (IsFloatKind(c->kind))
    return null ? "0,0" : PointToComma(FormatFixed(r.Double(column), 4, 20, true));
  if (null) return {};
  if (IsDateKind(c->kind)) return impl_->DateOut(r.Date(column));
  if (IsTextKind(c->kind)) return r.Text(column);
  return {};
}

bool Selection::GetBlob(int column, std::vector<uint8_t>& out) const {
  out.clear();
  if (!impl_->Column(column, BlobKind) || impl_->reader_->IsNull(column)) return false;
  std::string_view bytes = impl_->reader_->Bytes(column);
  out.assign(bytes.begin(), bytes.end());
  return true;
}

bool Selection::IsNull(int column) const {
  return !impl_->Column(column, AnyKind) || impl_->reader_->IsNull(column);
}

}  // namespace kvt::db
