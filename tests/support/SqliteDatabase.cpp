#include "SqliteDatabase.h"

namespace rq::test {

ConnectionFields SqliteDatabase::fields() const
{
    ConnectionFields fields;
    fields.server = QStringLiteral("testserver");
    fields.port = QStringLiteral("1433");
    fields.user = QStringLiteral("tester");
    fields.password = QStringLiteral("secret");
    fields.database = path();
    return fields;
}

} // namespace rq::test
