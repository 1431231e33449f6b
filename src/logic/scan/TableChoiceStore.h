#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/connection/ReadingOptions.h"
#include "logic/scan/DatabaseChoice.h"
#include "logic/scan/ScanPlan.h"
#include "logic/scan/TableChoice.h"

namespace rq {

// The tables chosen in the window, kept per server and database in the settings file, in a section of their
// own ("Rowquarry Tables db.example.com,1433/Shop"): "Read" lists the tables read although the default leaves
// them out, "LeftOut" those left out although the default reads them. Read on every use, as every setting is.
TableChoice loadTableChoice(const ConnectionFields& fields);
bool saveTableChoice(const ConnectionFields& fields, const QSet<QString>& ticked, const QSet<QString>& unticked);

// Saves which of the decided tables are to be read: `read` names them by quoted name (TableName::quoted).
bool saveTableChoice(const ConnectionFields& fields, const QList<TableDecision>& decisions, const QSet<QString>& read);

QString tableChoiceSection(const ConnectionFields& fields);

// The databases chosen in the window, kept per server in a section of their own ("Rowquarry Databases
// db.example.com,1433"): "Read" lists the databases read besides the connection's, "LeftOut" those not read
// although the connection names them.
DatabaseChoice loadDatabaseChoice(const ConnectionFields& fields);
bool saveDatabaseChoice(const ConnectionFields& fields, const DatabaseChoice& choice);

// How the window reads, as the settings file keeps it ("Isolation", "Lock Timeout", "Read-Only Intent");
// a value that cannot be read counts as the default.
ReadingOptions loadReadingOptions();
bool saveReadingOptions(const ReadingOptions& options);

// What the window's next scan reads: the connection, the databases and, for each, the tables chosen, and how.
ScanPlan savedScanPlan(const ConnectionFields& fields);

} // namespace rq
