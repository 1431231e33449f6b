#pragma once

#include "logic/ConnectionString.h"
#include "logic/TextOrigins.h"

#include <QString>
#include <functional>

namespace rq::cli {

struct DatabaseRead {
    QString text;        // as the extraction window gathers it
    TextOrigins origins; // where each field of the text came from
    QString passedOver;  // the report of tables that could not be read; empty when every table was
};

// The command line's only call to the scan: the whole text of the database, `progress` receiving each
// table as it is read. Throws a Failure naming what failed, with the driver's message, when the
// database cannot be opened or its tables listed.
DatabaseRead readDatabase(const ConnectionFields& fields, const std::function<void(const QString&)>& progress);

} // namespace rq::cli
