#include "ScanCounts.h"

#include "logic/frame/Figures.h"

namespace rq {

QString scanProgressText(const ScanCounts& counts)
{
    QString text = counts.tables == 0 ? QStringLiteral("Listing the tables")
                                      : QStringLiteral("Table %1 of %2")
                                            .arg(countText(std::max(counts.tablesBegun, 1)), countText(counts.tables));
    return text + QLatin1String(", ") + plural(counts.rows, "row", "rows") + QLatin1String(", ") +
           sizeText(counts.units) + QLatin1String(", ") + secondsText(counts.milliseconds);
}

QString ScanSummary::text() const
{
    QString tables;
    switch (end) {
    case ScanEnd::Complete:
        tables = counts.tablesFailed == 0 ? QLatin1String("Read ") + plural(counts.tables, "table", "tables")
                                          : QStringLiteral("Read %1 of %2 tables (%3 could not be read)")
                                                .arg(countText(counts.tables - counts.tablesFailed),
                                                     countText(counts.tables), countText(counts.tablesFailed));
        break;
    case ScanEnd::Stopped:
        tables =
            QStringLiteral("Stopped after %1 of %2 tables").arg(countText(counts.tablesDone), countText(counts.tables));
        break;
    case ScanEnd::Failed:
        tables = QStringLiteral("Read %1 of %2 tables before a failure")
                     .arg(countText(counts.tablesDone), countText(counts.tables));
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
