#include "schema/ddl.h"

#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

std::string ColumnList(const std::vector<std::string>& columns) {
  return "\n(\n" + Join(columns, ",\n") + "\n)";
}

std::string ForeignKeyBody(const DictRelation& r) {
  return r.name + " FOREIGN KEY" + ColumnList(r.childColumns) + "REFERENCES " + r.parent +
         ColumnList(r.parentColumns);
}

}  // namespace

std::string ColumnDefinition(const DictColumn& column, const db::Dialect& dialect) {
  return column.name + dialect.ColumnType(column.letter, column.size) +
         (column.mandatory ? " NOT NULL" : " NULL");
}

std::string CreateTableSql(const DictTable& table, const db::Dialect& dialect, KeyNaming naming) {
  KeySyntax syntax = KeySyntaxFor(dialect.engine());
  std::string sql = "CREATE TABLE " + table.name;
  bool first = true;
  for (const DictColumn& c : table.columns) {
    sql += first ? "(\n" : ",\n";
    sql += ColumnDefinition(c, dialect);
    first = false;
  }
  if (const DictIndex* key = table.PrimaryIndex()) {
    std::string name =
        naming == KeyNaming::TablePrefixed ? table.name + "_" + key->name : key->name;
    sql += ",\nCONSTRAINT " + name + std::string(syntax.primaryKey) + ColumnList(key->columns);
  }
  if (syntax.foreignKeysInTable) {
    for (const DictRelation& r : table.asChild) sql += ",\n" + ForeignKeyClause(r);
  }
  return sql + "\n)\n";
}

std::string CreateIndexSql(std::string_view table, const DictIndex& index,
                           const db::Dialect& dialect) {
  std::string t(table);
  return std::string("CREATE ") + (index.primaryKey ? "UNIQUE " : "") +
         std::string(KeySyntaxFor(dialect.engine()).index) + t + "_" + index.name + " ON " + t +
         ColumnList(index.columns) + "\n";
}

std::string RelationIndexSql(const DictRelation& relation, const db::Dialect& dialect) {
  return "CREATE UNIQUE " + std::string(KeySyntaxFor(dialect.engine()).index) + "idx_" +
         relation.name + " ON " + relation.parent + ColumnList(relation.parentColumns) + "\n";
}

std::string ForeignKeySql(const DictRelation& relation) {
  return "ALTER TABLE " + relation.child + " ADD CONSTRAINT " + ForeignKeyBody(relation) + "\n";
}

std::string ForeignKeyClause(const DictRelation& relation) {
  return "CONSTRAINT " + ForeignKeyBody(relation);
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
  if (KeySyntaxFor(dialect.engine()).foreignKeysInTable) return out;
  for (const DictTable& t : dictionary.tables) {
    for (const DictRelation& r : t.asChild) {
      out.push_back({ForeignKeySql(r), "Errore relazione \"" + r.name + "\""});
    }
  }
  return out;
}

}  // namespace kvt::schema
