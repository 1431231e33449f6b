#pragma once

#include "logic/connection/ConnectionString.h"
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

} // namespace rq
