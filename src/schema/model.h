// The dictionary as the generators see it: tables with their columns, indices and
// relations, read back from the dictionary tables of a database (or built straight from the
// catalogue, for comparisons and statement previews).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::db {
class Database;
}

namespace kvt::schema {

struct DictColumn {
  std::string name;
  char letter = 0;
  int size = 0;
  bool mandatory = false;
  bool operator==(const DictColumn&) const = default;
};

struct DictIndex {
  std::string name;
  bool primaryKey = false;
  std::vector<std::string> columns;
  bool duplicate = false;  // same column list as an earlier index of the table
  bool operator==(const DictIndex&) const = default;
};

struct DictRelation {
  std::string name;
  std::string parent;
  std::string child;
  std::vector<std::string> parentColumns;
  std::vector<std::string> childColumns;
  // The parent columns are already an index of the parent, or the parent side of an
  // earlier relation: no idx_ index is needed for them.
  bool parentSetDuplicate = false;
  bool operator==(const DictRelation&) const = default;
};

struct DictTable {
  std::string name;
  std::vector<DictColumn> columns;
  std::vector<DictIndex> indices;     // the key index `codice` first, then by name
  std::vector<DictRelation> asChild;  // by relation name
  std::vector<DictRelation> asParent;
  // The first index flagged primary key, or null.
  const DictIndex* PrimaryIndex() const;
  bool operator==(const DictTable&) const = default;
};

struct Dictionary {
  std::vector<DictTable> tables;  // by name
  const DictTable* Find(std::string_view table) const;
  bool operator==(const Dictionary&) const = default;
};

// The catalogue in the shape ReadDictionary gives (tables by name), duplicates not marked.
Dictionary DictionaryFromCatalogue();

// Marks duplicate indices and parent-side column sets. Names are compared exactly, so the
// relations that name the parent column `id` are not taken for the key on `ID`.
void MarkDuplicates(Dictionary& dictionary);

// Reads the whole dictionary. Errors are shown by the selections; nothing then.
std::optional<Dictionary> ReadDictionary(db::Database& db);

}  // namespace kvt::schema
