#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/connection/ReadingOptions.h"
#include "logic/scan/DatabaseChoice.h"
#include "logic/scan/TableChoice.h"
#include "platform/OdbcDrivers.h"

#include <QHash>
#include <QString>

namespace rq {

// What a scan reads and how: the connection, the databases and tables chosen, and how each session reads.
// Made on the calling thread (it reads the driver's registration and the settings) and copied to the reading
// thread, which then needs nothing else.
struct ScanPlan {
    ConnectionFields fields; // as the connection window has them; each database read replaces the database
    platform::SqlServerDriver driver;
    ConnectionSecurity security;
    ReadingOptions reading;
    DatabaseChoice databases;
    TableChoice tables;                       // the command line's patterns, for every database
    QHash<QString, TableChoice> tablesChosen; // the window's ticks, per database (by name)
    // Origins name rows by their primary key: the window's always do; the command line's only where it prints
    // where an item was found. Without, no key is asked for.
    bool needsKeys = true;

    // The plan for one database with the driver registered now and the security choices saved.
    static ScanPlan of(const ConnectionFields& fields, const TableChoice& tables = {});

    // The tables chosen in a database: the patterns, and that database's ticks.
    TableChoice tablesOf(const QString& database) const;
    // The connection string that opens `database` for reading.
    QString connectionString(const QString& database) const;
    // Equal for two plans that read the same tables in the same way.
    QString signature() const;
};

} // namespace rq
