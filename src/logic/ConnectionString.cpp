#include "ConnectionString.h"

namespace rq {

namespace {

using platform::SqlServerDriver;

bool needsBraces(const QString& value)
{
    return value.contains(QLatin1Char(';')) || value.startsWith(QLatin1Char('{'));
}

// FreeTDS ends a braced value at its first "};".
bool carriable(const QString& value, const SqlServerDriver& driver)
{
    return driver.kind != SqlServerDriver::FreeTds || !needsBraces(value) || !value.contains(QLatin1String("};"));
}

QString attributeValue(const QString& value, const SqlServerDriver& driver)
{
    if (!needsBraces(value))
        return value;
    QString inside = value;
    if (driver.kind == SqlServerDriver::Microsoft)
        inside.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + inside + QLatin1Char('}');
}

QString problemWith(const char* field)
{
    return QStringLiteral("The %1 contains \"};\", which the SQL Server driver (FreeTDS) cannot accept. Please "
                          "change the %1.")
        .arg(QLatin1String(field));
}

} // namespace

QString serverValue(const ConnectionFields& fields)
{
    return fields.local ? fields.server : fields.server + QLatin1Char(',') + fields.port;
}

QString connectionProblem(const ConnectionFields& fields, const SqlServerDriver& driver)
{
    if (!carriable(serverValue(fields), driver)) // the "};" lies in one box: the comma stands between them
        return problemWith(fields.server.contains(QLatin1String("};")) ? "server name" : "port");
    if (!carriable(fields.user, driver))
        return problemWith("username");
    if (!carriable(fields.password, driver))
        return problemWith("password");
    if (!carriable(fields.database, driver))
        return problemWith("database name");
    return {};
}

QString connectionProblem(const ConnectionFields& fields)
{
    return connectionProblem(fields, platform::registeredSqlServerDriver());
}

QString connectionString(const ConnectionFields& fields, const SqlServerDriver& driver)
{
    if (const QString problem = connectionProblem(fields, driver); !problem.isEmpty())
        throw UncarriableField(problem);
    QString text = QLatin1String("Driver={SQL Server};Server=") + attributeValue(serverValue(fields), driver) +
                   QLatin1String(";Database=") + attributeValue(fields.database, driver) + QLatin1String(";Uid=") +
                   attributeValue(fields.user, driver) + QLatin1String(";Pwd=") +
                   attributeValue(fields.password, driver) + QLatin1String(";");
    if (driver.kind == SqlServerDriver::FreeTds) {
        if (!driver.tdsVersion.isEmpty())
            text += QLatin1String("TDS_Version=") + driver.tdsVersion + QLatin1Char(';');
        // Microsoft's driver takes 1433 for a server named alone; FreeTDS would refuse to connect.
        if (fields.local && !fields.server.contains(QLatin1Char('\\')) && !fields.server.contains(QLatin1Char(',')))
            text += QLatin1String("Port=1433;");
    }
    return text;
}

QString connectionString(const ConnectionFields& fields)
{
    return connectionString(fields, platform::registeredSqlServerDriver());
}

} // namespace rq
