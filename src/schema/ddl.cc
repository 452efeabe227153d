#include "schema/ddl.h"

namespace kvt::schema {

std::string ColumnDefinition(const DictColumn& column, const db::Dialect& dialect) {
  return column.name + dialect.ColumnType(column.letter, column.size) +
         (column.mandatory ? " NOT NULL" : " NULL");
}

std::string CreateTableSql(const DictTable& table, const db::Dialect& dialect, KeyNaming naming) {
  std::string sql = "CREATE TABLE " + table.name;
  bool first = true;
  for (const DictColumn& c : table.columns) {
    sql += first ? "(\n" : ",\n";
    sql += ColumnDefinition(c, dialect);
    first = false;
  }
  if (const DictIndex* key = table.PrimaryIndex()) {
    sql += dialect.PrimaryKeyClause(
        naming == KeyNaming::TablePrefixed ? table.name + "_" + key->name : key->name,
        key->columns);
  }
  if (dialect.ForeignKeysInCreateTable()) {
    for (const DictRelation& r : table.asChild) sql += ForeignKeyClause(r, dialect);
  }
  return sql + "\n)\n";
}

std::string CreateIndexSql(std::string_view table, const DictIndex& index,
                           const db::Dialect& dialect) {
  return dialect.CreateIndex(std::string(table) + "_" + index.name, table, index.columns,
                             index.primaryKey);
}

std::string RelationIndexSql(const DictRelation& relation, const db::Dialect& dialect) {
  return dialect.CreateIndex("idx_" + relation.name, relation.parent, relation.parentColumns, true);
}

std::string ForeignKeySql(const DictRelation& relation, const db::Dialect& dialect) {
  return dialect.AddForeignKey(relation.child, relation.name, relation.childColumns,
                               relation.parent, relation.parentColumns);
}

std::string ForeignKeyClause(const DictRelation& relation, const db::Dialect& dialect) {
  return dialect.ForeignKeyClause(relation.name, relation.childColumns, relation.parent,
                                  relation.parentColumns);
}

std::vector<PlannedStatement> SchemaStatements(const Dictionary& dictionary,
                                               const db::Dialect& dialect) {
  std::vector<PlannedStatement> out;
  for (const DictTable& t : dictionary.tables) {
    out.push_back({CreateTableSql(t, dialect, KeyNaming::TablePrefixed),
                   "Errore in fase di inserimento tavola \"" + t.name + "\""});
    const DictIndex* key = t.PrimaryIndex();
    for (const DictIndex& i : t.indices) {
      if (&i == key || i.duplicate) continue;
      out.push_back({CreateIndexSql(t.name, i, dialect),
                     "Errore creazione indice \"" + i.name + "\" tavola \"" + t.name + "\""});
    }
    for (const DictRelation& r : t.asParent) {
      if (r.parentSetDuplicate) continue;
      out.push_back({RelationIndexSql(r, dialect),
                     "Errore creazione indice \"idx_" + r.name + "\" tavola \"" + t.name + "\""});
    }
  }
  if (dialect.ForeignKeysInCreateTable()) return out;
  for (const DictTable& t : dictionary.tables) {
    for (const DictRelation& r : t.asChild) {
      out.push_back({ForeignKeySql(r, dialect), "Errore relazione \"" + r.name + "\""});
    }
  }
  return out;
}

}  // namespace kvt::schema
