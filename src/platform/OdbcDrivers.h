#pragma once

#include <QString>

namespace rq::platform {

// What the program must know of the ODBC driver registered as "SQL Server" to write a connection
// string that it reads as meant: Microsoft's driver (Windows) or FreeTDS (Linux, package tdsodbc).
struct SqlServerDriver {
    enum Kind { Microsoft, FreeTds };
    Kind kind = Microsoft;
    // FreeTDS only: the protocol version the connection string names; empty names none.
    QString tdsVersion;

    bool operator==(const SqlServerDriver&) const = default;
};

// FreeTDS's own choice, "auto", falls back to TDS 5.0 when a server does not answer and then waits
// in its disconnect regardless of the login time-out; a fixed version keeps the time-out.
inline constexpr auto kFreeTdsVersion = "7.4";

// Reads the driver manager's registration (odbcinst.ini) on every call, so that the answer always
// matches the driver that the next open loads. On Windows it is always Microsoft's driver.
SqlServerDriver registeredSqlServerDriver();

// The parts, for tests.
bool isFreeTdsDriverFile(const QString& driverFile);
// The version to name to FreeTDS. None when TDSVER is set: FreeTDS takes that over anything the
// connection string says. The user's own choice when the [global] section of the first freetds.conf
// that exists ($FREETDSCONF, ~/.freetds.conf, /etc/freetds/freetds.conf) names a version other than
// "auto": FreeTDS 1.3 does not read freetds.conf for a string that gives `Server=`, so the program passes
// the choice on. kFreeTdsVersion otherwise.
QString freeTdsVersion();

} // namespace rq::platform
