#include "ScanCounts.h"

#include "logic/frame/Figures.h"

namespace rq {

namespace {

// "Database 2 of 12 (Sales), " where several databases are read.
QString databasePlace(const ScanCounts& counts)
{
    if (!counts.severalDatabases)
        return {};
    if (counts.databasesBegun == 0)
        return QStringLiteral("Listing the databases");
    return QStringLiteral("Database %1 of %2 (%3), ")
        .arg(countText(counts.databasesBegun), countText(counts.databases), counts.database);
}

// "3 databases (2 left out), ", or for a scan that ended early "2 of 3 databases, ": where several may be read.
QString databasesRead(const ScanCounts& counts, ScanEnd end)
{
    if (!counts.severalDatabases)
        return {};
    if (end != ScanEnd::Complete)
        return QStringLiteral("%1 of %2, ")
            .arg(countText(counts.databasesBegun), plural(counts.databases, "database", "databases"));
    const int read = counts.databases - counts.databasesFailed;
    QString text =
        counts.databasesFailed == 0
            ? plural(read, "database", "databases")
            : QStringLiteral("%1 of %2").arg(countText(read), plural(counts.databases, "database", "databases"));
    QStringList besides;
    if (counts.databasesFailed > 0)
        besides << QStringLiteral("%1 could not be opened").arg(countText(counts.databasesFailed));
    if (counts.databasesLeftOut > 0)
        besides << QStringLiteral("%1 left out").arg(countText(counts.databasesLeftOut));
    if (!besides.isEmpty())
        text += QLatin1String(" (") + besides.join(QLatin1String(", ")) + QLatin1Char(')');
    return text + QLatin1String(", ");
}

} // namespace

QString scanProgressText(const ScanCounts& counts)
{
    QString text = databasePlace(counts);
    if (counts.severalDatabases && counts.databasesBegun == 0)
        return text + QLatin1String(", ") + secondsText(counts.milliseconds);
    const bool first = text.isEmpty();
    text += counts.tablesInDatabase == 0 ? QLatin1String(first ? "Listing the tables" : "listing the tables")
                                         : QLatin1String(first ? "Table " : "table ") +
                                               QStringLiteral("%1 of %2")
                                                   .arg(countText(std::max(counts.tablesBegunInDatabase, 1)),
                                                        countText(counts.tablesInDatabase));
    return text + QLatin1String(", ") + plural(counts.rows, "row", "rows") + QLatin1String(", ") +
           sizeText(counts.units) + QLatin1String(", ") + secondsText(counts.milliseconds);
}

QString ScanSummary::text() const
{
    const QString databases = databasesRead(counts, end);
    QString tables;
    switch (end) {
    case ScanEnd::Complete:
        tables = QLatin1String("Read ") + databases +
                 (counts.tablesFailed == 0 ? plural(counts.tables, "table", "tables")
                                           : QStringLiteral("%1 of %2 tables (%3 could not be read)")
                                                 .arg(countText(counts.tables - counts.tablesFailed),
                                                      countText(counts.tables), countText(counts.tablesFailed)));
        break;
    case ScanEnd::Stopped:
        tables = QStringLiteral("Stopped after %1%2 of %3 tables")
                     .arg(databases, countText(counts.tablesDone), countText(counts.tables));
        break;
    case ScanEnd::Failed:
        tables = QStringLiteral("Read %1%2 of %3 tables before a failure")
                     .arg(databases, countText(counts.tablesDone), countText(counts.tables));
        break;
    }
    if (counts.leftOut > 0)
        tables += QStringLiteral(", %1 left out").arg(countText(counts.leftOut));
    QString text = tables + QLatin1String(", ") + plural(counts.rows, "row", "rows") + QLatin1String(", ") +
                   sizeText(counts.units) + QLatin1String(" at ") + readAt.toString(QStringLiteral("HH:mm")) +
                   QLatin1String(" in ") + secondsText(counts.milliseconds);
    if (end != ScanEnd::Complete)
        text += QLatin1String(", partial");
    return text + QLatin1Char('.');
}

} // namespace rq
