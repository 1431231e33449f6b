#include "OpenConnection.h"

namespace rq {

std::unique_ptr<platform::odbc::Connection> makeOdbcConnection()
{
    return std::make_unique<platform::odbc::Connection>();
}

bool OpenConnection(const ConnectionFields& fields, const ConnectionFactory& factory)
{
    try {
        const auto connection = factory();
        connection->open(connectionString(fields));
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace rq
