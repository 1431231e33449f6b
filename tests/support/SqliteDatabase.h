#pragma once

#include "logic/connection/ConnectionString.h"
#include "support/SqliteFile.h"

namespace rq::test {

// A test's SQLite file as the program reaches it: through the connection fields.
class SqliteDatabase : public SqliteFile {
public:
    using SqliteFile::SqliteFile;

    // Connection fields that reach this database through the registered driver.
    ConnectionFields fields() const;
};

} // namespace rq::test
