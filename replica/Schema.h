#pragma once

#include "replica/Sqlite.h"

namespace orvanta::sqlite {

// The schema version this program writes (PRAGMA user_version); a file of a higher one
// is refused, one of a lower one is brought up to it step by step.
inline constexpr int kSchemaVersion = 3;

// Brings the schema from version `from` (0: an empty file) to kSchemaVersion, inside the
// caller's transaction.
void MigrateSchema(TDatabase& db, int from);

}  // namespace orvanta::sqlite
