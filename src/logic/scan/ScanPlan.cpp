#include "ScanPlan.h"

#include <QStringList>

namespace rq {

ScanPlan ScanPlan::of(const ConnectionFields& fields, const TableChoice& tables)
{
    ScanPlan plan;
    plan.fields = fields;
    plan.driver = platform::registeredSqlServerDriver();
    plan.security = storedSecurity();
    plan.tables = tables;
    return plan;
}

TableChoice ScanPlan::tablesOf(const QString& database) const
{
    TableChoice choice = tables;
    const auto chosen = tablesChosen.constFind(database);
    if (chosen != tablesChosen.constEnd()) {
        choice.ticked = chosen->ticked;
        choice.unticked = chosen->unticked;
    }
    return choice;
}

QString ScanPlan::connectionString(const QString& database) const
{
    ConnectionFields opened = fields;
    opened.database = database;
    QString text = rq::connectionString(opened, driver, security);
    // FreeTDS asks for 4 KB packets; a long result then costs a receive call every 4 KB.
    if (driver.kind == platform::SqlServerDriver::FreeTds)
        text += QLatin1String("PacketSize=32767;");
    // Both drivers take the same keyword; FreeTDS sets its login's read-only intent from it.
    if (reading.readOnlyIntent)
        text += QLatin1String("ApplicationIntent=ReadOnly;");
    return text;
}

QString ScanPlan::signature() const
{
    QStringList parts{connectionString(fields.database), reading.signature(), databases.signature(), tables.signature(),
                      needsKeys ? QStringLiteral("keys") : QString()};
    QStringList names = tablesChosen.keys();
    names.sort();
    for (const QString& name : names)
        parts << name + QChar(0x1F) + tablesChosen.value(name).signature();
    return parts.join(QChar(0x1D));
}

} // namespace rq
