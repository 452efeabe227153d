// Comparison of a live database with the catalogue, shared by the schema tests.
#pragma once

#include "db/database.h"

namespace kvt::schema::test {

// Every catalogue table with its columns (type class, nullability, text size), key, unique
// and non-unique indices, idx_ indices and foreign keys; the seven dictionary tables; and
// nothing else. Failures are reported through gtest.
void ExpectLiveSchemaMatchesCatalogue(db::Database& db);

// The dictionary rows read back: every text byte for byte, positions, NULL rules.
void ExpectDictionaryMatchesCatalogue(db::Database& db);

// The seed rows: companies, authorities and the placeholders ID 0.
void ExpectSeedRows(db::Database& db);

}  // namespace kvt::schema::test
