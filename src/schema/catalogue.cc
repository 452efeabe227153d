#include "schema/catalogue.h"

#include "schema/dictionary.h"

namespace kvt::schema {
namespace {

// Columns, then each index with its columns, then the table row.
bool WriteTable(DictionaryWriter& w, const TableDef& t) {
  for (const ColumnDef& c : t.columns) {
    if (!w.DefineColumn(t.name, c.name, c.letter, c.size, c.mandatory, c.label, c.description)) {
      return false;
    }
  }
  for (const IndexDef& i : t.indices) {
    if (!w.DefineIndex(t.name, i.name, i.primaryKey, i.label)) return false;
    for (size_t k = 0; k < i.columns.size(); ++k) {
      if (!w.DefineIndexColumn(t.name, i.name, static_cast<int>(k), i.columns[k])) return false;
    }
  }
  return w.DefineTable(t.name, t.label, t.description);
}

bool WriteRelation(DictionaryWriter& w, const RelationDef& r) {
  if (!w.DefineRelation(r.name, r.parent, r.child)) return false;
  for (size_t k = 0; k < r.pairs.size(); ++k) {
    if (!w.DefineRelationColumn(r.name, static_cast<int>(k), r.pairs[k].first, r.pairs[k].second)) {
      return false;
    }
  }
  return true;
}

}  // namespace

const TableDef* FindTableDef(std::string_view name) {
  for (const TableDef& t : ApplicationTables()) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

bool WriteCatalogue(DictionaryWriter& writer) {
  for (const TableDef& t : ApplicationTables()) {
    if (!WriteTable(writer, t)) return false;
  }
  for (const RelationDef& r : ApplicationRelations()) {
    if (!WriteRelation(writer, r)) return false;
  }
  return true;
}

}  // namespace kvt::schema
