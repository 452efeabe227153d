#include "db/row_writer.h"

#include <algorithm>

#include "core/text.h"

namespace kvt::db {

RowWriter::RowWriter(OdbcConnection& conn, std::string table, std::vector<ColumnInfo> columns,
                     std::vector<std::string> key)
    : conn_(conn),
      table_(std::move(table)),
      quotedTable_(conn.QuoteName(table_)),
      columns_(std::move(columns)),
      key_(std::move(key)) {}

bool RowWriter::Fail(const Diagnostic& error) {
  error_ = error;
  return false;
}

bool RowWriter::Run(const std::string& sql, std::vector<Value*>& params,
                    std::vector<Kind>& kinds) {
  rows_ = 0;
  if (!stmt_ || sql != lastSql_) {
    stmt_ = std::make_unique<OdbcStatement>(conn_);
    lastSql_.clear();
    if (!stmt_->Prepare(sql)) return Fail(stmt_->LastError());
    lastSql_ = sql;
  }
  stmt_->ResetParams();
  for (size_t p = 0; p < params.size(); ++p)
    if (!BindValue(*stmt_, static_cast<int>(p + 1), kinds[p], *params[p]))
      return Fail(stmt_->LastError());
  if (!stmt_->Execute()) {
    error_ = stmt_->LastError();
    stmt_->CloseCursor();
    return false;
  }
  const long long count = stmt_->RowCount();
  rows_ = count < 0 ? 1 : static_cast<long>(count);
  stmt_->CloseCursor();
  return true;
}

bool RowWriter::Insert(std::vector<Value>& values, const std::vector<bool>& set) {
  std::string names, markers;
  std::vector<Value*> params;
  std::vector<Kind> kinds;
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (!set[c]) continue;
    names += (names.empty() ? "" : ", ") + conn_.QuoteName(columns_[c].name);
    markers += markers.empty() ? "?" : ", ?";
    params.push_back(&values[c]);
    kinds.push_back(columns_[c].kind);
  }
  const std::string sql =
      names.empty() ? "INSERT INTO " + quotedTable_ + " DEFAULT VALUES"
                    : "INSERT INTO " + quotedTable_ + " (" + names + ") VALUES (" + markers + ")";
  return Run(sql, params, kinds);
}

bool RowWriter::Update(std::vector<Value>& original, std::vector<Value>& values,
                       const std::vector<bool>& changed) {
  std::string assignments;
  std::vector<Value*> params;
  std::vector<Kind> kinds;
  for (size_t c = 0; c < columns_.size(); ++c) {
    if (!changed[c]) continue;
    assignments += (assignments.empty() ? "" : ", ") + conn_.QuoteName(columns_[c].name) + " = ?";
    params.push_back(&values[c]);
    kinds.push_back(columns_[c].kind);
  }
  rows_ = 0;
  if (assignments.empty()) return true;
  // The row is found by its key; a table without one by every old value.
  std::vector<size_t> where;
  for (const std::string& name : key_) {
    const int c = FindColumn(columns_, name);
    if (c < 0) {
      where.clear();
      break;
    }
    where.push_back(static_cast<size_t>(c));
  }
  if (where.empty())
    for (size_t c = 0; c < columns_.size(); ++c)
      if (columns_[c].kind != Kind::Binary && columns_[c].kind != Kind::LongText)
        where.push_back(c);
  std::string condition;
  for (size_t c : where) {
    condition += condition.empty() ? "" : " AND ";
    const std::string name = conn_.QuoteName(columns_[c].name);
    if (original[c].null) {
      condition += name + " IS NULL";
      continue;
    }
    condition += name + " = ?";
    params.push_back(&original[c]);
    kinds.push_back(columns_[c].kind);
  }
  return Run("UPDATE " + quotedTable_ + " SET " + assignments + " WHERE " + condition, params,
             kinds);
}

std::vector<std::string> RowWriter::IndexColumns(std::string_view name) {
  if (EqualsNoCase(name, "codice") && !key_.empty()) return key_;
  OdbcStatement stmt(conn_);
  std::string table = table_;
  if (!stmt.Check(SQLStatistics(stmt.handle(), nullptr, 0, nullptr, 0,
                                reinterpret_cast<SQLCHAR*>(table.data()), SQL_NTS, SQL_INDEX_ALL,
                                SQL_QUICK)))
    return {};
  const std::string prefixed = table_ + "_" + std::string(name);
  std::vector<std::pair<long, std::string>> exact, withPrefix;
  while (stmt.Fetch() == SQL_SUCCESS) {
    if (GetDataLong(stmt, 7) == SQL_TABLE_STAT) continue;
    const std::string index = GetDataText(stmt, 6);
    auto part = std::make_pair(GetDataLong(stmt, 8), GetDataText(stmt, 9));
    if (EqualsNoCase(index, name))
      exact.push_back(part);
    else if (EqualsNoCase(index, prefixed))
      withPrefix.push_back(part);
  }
  auto& found = exact.empty() ? withPrefix : exact;
  std::sort(found.begin(), found.end());
  std::vector<std::string> columns;
  for (auto& part : found) columns.push_back(std::move(part.second));
  return columns;
}

}  // namespace kvt::db
