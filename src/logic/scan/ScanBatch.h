#pragma once

#include "logic/scan/TableChoice.h"
#include "logic/text/TextOrigins.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace rq {

struct TableStart {
    TableName table;
    QStringList columns;
    QList<KeyColumn> key; // the columns of its primary key, where it has one
};

// Whole rows read from one table, handed from the reading thread to whoever consumes the scan, in order.
// Its text is laid out as the database text is: each field and a carriage return.
struct ScanBatch {
    // The first batch only: every listed table with what the table choice makes of it.
    std::optional<QList<TableDecision>> listing;
    std::optional<TableStart> table; // the rows that follow are this table's first
    QString text;
    std::vector<qsizetype> rowStarts; // where each row begins in `text`
    // Rows that keep their field ends: the row (an index into rowStarts) and where its ends begin in
    // fieldEnds, which counts each end from its row's start.
    std::vector<std::pair<std::size_t, std::size_t>> detailedRows;
    std::vector<quint32> fieldEnds;
    QString failure;       // the table ended here with this driver message; it is passed over
    bool tableEnd = false; // the table's last batch: it was read to its end, or passed over
};

} // namespace rq
