#pragma once

// The TDS servers the FreeTDS tests start, and the connection fields that log in to them.
#include "logic/connection/ConnectionString.h"
#include "support/TdsServer.h"

namespace rq::test {

inline const QString kTdsUser = QStringLiteral("sa");
inline const QString kTdsDatabase = QStringLiteral("Sales");

// A server with one empty database, kTdsDatabase, that takes kTdsUser with `password`.
inline TdsServer::Options serverOptions(const QString& password, TdsServer::Fault fault = TdsServer::Fault::None,
                                        quint16 port = 0)
{
    TdsServer::Options options;
    options.user = kTdsUser;
    options.password = password;
    options.databases = {TdsDatabase{kTdsDatabase, {}}};
    options.fault = fault;
    options.port = port;
    return options;
}

// The fields that log in to a serverOptions() server listening on `port`.
inline ConnectionFields fieldsFor(quint16 port, const QString& password, const QString& database = kTdsDatabase)
{
    return {QStringLiteral("127.0.0.1"), QString::number(port), kTdsUser, password, database, false};
}

// A server whose one database, "dbname", holds `tables`; it takes "user" with "password".
inline TdsServer::Options serving(QList<TdsTable> tables, TdsServer::Fault fault = TdsServer::Fault::None)
{
    TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QStringLiteral("password");
    options.databases = {TdsDatabase{QStringLiteral("dbname"), std::move(tables)}};
    options.fault = fault;
    return options;
}

// The fields that log in to a serving() server.
inline ConnectionFields fieldsFor(const TdsServer& server)
{
    return {"127.0.0.1", QString::number(server.port()), "user", "password", "dbname", false};
}

} // namespace rq::test
