#pragma once

#include "logic/frame/Figures.h"

#include <QDateTime>
#include <QString>

namespace rq {

// How far a scan has come: data, which the window and the command line each show their own way.
struct ScanCounts {
    bool severalDatabases = false; // several databases may be read: the counts name the database
    int databases = 0;             // databases to read
    int databasesLeftOut = 0;      // listed but not read
    int databasesBegun = 0;
    int databasesFailed = 0; // could not be opened
    QString database;        // the database being read, where several may be
    int tablesInDatabase = 0;
    int tablesBegunInDatabase = 0;
    int tables = 0;       // tables to read
    int leftOut = 0;      // listed but not read: views, tables left out by name or by choice
    int tablesBegun = 0;  // tables whose reading has begun; the last of them is being read
    int tablesDone = 0;   // tables read to their end or passed over
    int tablesFailed = 0; // passed over because they could not be read
    QString table;        // the table being read, qualified within its database
    qint64 rows = 0;
    qint64 units = 0; // UTF-16 units of text, carriage returns included
    qint64 milliseconds = 0;
};

// How a scan ended.
enum class ScanEnd {
    Complete, // every table was read (or passed over, and named)
    Stopped,  // the user stopped it: the text is partial
    Failed,   // the connection failed or was lost: the text is partial
};

// What the status line says of the text the extractions search.
struct ScanSummary {
    ScanCounts counts;
    ScanEnd end = ScanEnd::Complete;
    QDateTime readAt; // when the scan ended

    // "Read 40 tables, 1,204,331 rows, 210 MB at 14:05 in 3.2 s."
    QString text() const;
};

// While a scan runs: "Table 3 of 40, 120,311 rows, 45 MB, 3.2 s", or where several databases are read
// "Database 2 of 12 (Sales), table 3 of 40, 120,311 rows, 45 MB, 3.2 s"
QString scanProgressText(const ScanCounts& counts);

} // namespace rq
