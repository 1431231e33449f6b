#pragma once

#include "support/TdsCertificates.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

namespace rq::bench {

// FreeTDS registered as "SQL Server" in a private odbcinst.ini, before any ODBC call: the machine's own
// registration is neither read nor changed. unixODBC reads the registration once per process, so a
// process that has made ODBC calls with another driver cannot switch to this one.
inline bool registerFreeTds(const QTemporaryDir& folder)
{
    QStringList candidates;
    for (const QString& arch : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        candidates << QStringLiteral("/usr/lib/%1/odbc/libtdsodbc.so").arg(arch);
    candidates << QStringLiteral("/usr/lib/odbc/libtdsodbc.so");
    QString driver;
    for (const QString& candidate : candidates)
        if (driver.isEmpty() && QFile::exists(candidate))
            driver = candidate;
    if (driver.isEmpty()) {
        std::fprintf(stderr, "FreeTDS (libtdsodbc.so) was not found under /usr/lib/*/odbc\n");
        return false;
    }
    QFile odbcinst(folder.filePath(QStringLiteral("odbcinst.ini")));
    QFile odbc(folder.filePath(QStringLiteral("odbc.ini")));
    if (!odbcinst.open(QIODevice::WriteOnly) || !odbc.open(QIODevice::WriteOnly) ||
        odbcinst.write("[SQL Server]\nDriver=" + driver.toUtf8() + "\n") < 0)
        return false;
    qputenv("ODBCSYSINI", folder.path().toUtf8());
    qputenv("ODBCINSTINI", "odbcinst.ini");
    return true;
}

// Connections as the program makes them by default, the whole session encrypted and the TDS server's certificate
// checked, against the tests' own authority; the settings and Rowquarry's FreeTDS entries go to `folder`, not to
// the user's own folders. Before any thread starts.
inline void connectAsByDefault(const QTemporaryDir& folder)
{
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", folder.filePath(QStringLiteral("cache")).toUtf8());
    test::trustTestAuthority();
}

} // namespace rq::bench
