#pragma once

#include "logic/scan/DatabaseText.h"
#include "logic/text/TextOrigins.h"

#include <QList>
#include <QString>
#include <optional>

namespace rq {

// The row a found item came from, as the database text holds it: no query to the database.
struct SourceRow {
    struct Field {
        QString column;
        QString value;
        bool key = false; // a column of the table's primary key
    };
    QList<Field> fields; // in the table's column order
};

// The row `origin` names, read from the text it was found in; nothing where the text no longer holds that read of
// its table (the database was read again since, or another database was read).
std::optional<SourceRow> sourceRow(const DatabaseTextState& database, const Origin& origin);

} // namespace rq
