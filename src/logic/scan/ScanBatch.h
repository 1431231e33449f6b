#pragma once

#include "logic/scan/DatabaseChoice.h"
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

// A database whose tables follow.
struct DatabaseStart {
    QString name;
    int index = 0; // from 1, of `count` databases to read
    int count = 1;
    bool named = false; // several databases are read: each table is named with its database
    QString failure;    // it could not be opened, and is passed over: the driver's message
    QString note;       // how it was read where that differs from what was asked
};

// Whole rows read from one table, handed from the reading thread to whoever consumes the scan, in order.
// Its text is laid out as the database text is: each field and a carriage return.
struct ScanBatch {
    // The first batch only, where several databases may be read: every database of the server with what the
    // choice makes of it.
    std::optional<QList<DatabaseDecision>> databases;
    std::optional<DatabaseStart> database;
    // With each database: every listed table with what the table choice makes of it.
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
