#pragma once

#include "logic/ConnectionString.h"
#include "logic/TextOrigins.h"

#include <QString>
#include <functional>

namespace rq::cli {

struct DatabaseRead {
    QString text;        // as the extraction window gathers it
    TextOrigins origins; // where each field of the text came from
    // Why the text is not the whole database (tables passed over, or a connection lost part way); empty
    // when every table was read. What was read is still searched, as in the windows.
    QString incomplete;
};

// The command line's only call to the scan: the text of the database, `progress` receiving each table as
// it is read. Throws a Failure naming what failed, with the driver's message, when the database cannot be
// opened or its tables listed.
DatabaseRead readDatabase(const ConnectionFields& fields, const std::function<void(const QString&)>& progress);

} // namespace rq::cli
