#pragma once

// What a power user does with FreeTDS's own tools to search a database: freebcp each table out, grep each file.
#include "ChildProcess.h"

#include "support/TdsServer.h"

#include <QTemporaryDir>

namespace rq::bench {

// freebcp each table out to a file, then grep -i -c each file: the times added up.
inline double runToolRoute(const test::TdsServer& server, const QList<test::TdsTable>& tables, const QString& database,
                           const char* word, const QTemporaryDir& scratch)
{
    double seconds = 0;
    const QStringList environment = {"TDSVER=7.4", "TDSPORT=" + QString::number(server.port())};
    for (const test::TdsTable& table : tables) {
        const QString file = scratch.filePath(QStringLiteral("table.bcp"));
        const ChildRun out =
            runChild({"freebcp", QStringLiteral("SELECT * FROM [dbo].[%1]").arg(table.name), "queryout", file, "-c",
                      "-S", "127.0.0.1", "-U", "user", "-P", "password", "-D", database},
                     environment, scratch.filePath("freebcp.txt"));
        if (out.status != 0) {
            std::fprintf(stderr, "freebcp failed (status %d) on %s\n", out.status, qPrintable(table.name));
            std::exit(1);
        }
        seconds += out.seconds +
                   runChild({"grep", "-i", "-c", word, file}, {"LC_ALL=C.UTF-8"}, scratch.filePath("grep.txt")).seconds;
    }
    return seconds;
}

} // namespace rq::bench
