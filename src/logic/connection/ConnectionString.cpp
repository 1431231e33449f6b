#include "ConnectionString.h"

#include <algorithm>

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

QString joined(const ConnectionFields& fields, const SqlServerDriver& driver)
{
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

// The driver manager passes a connection string's length as a 16-bit count.
constexpr qsizetype kLongestConnectionString = 32767;

} // namespace

QString serverValue(const ConnectionFields& fields)
{
    return fields.local ? fields.server : fields.server + QLatin1Char(',') + fields.port;
}

std::optional<FieldProblem> fieldProblem(const ConnectionFields& fields, const SqlServerDriver& driver)
{
    using F = FieldProblem;
    if (!carriable(serverValue(fields), driver)) // the "};" lies in one box: the comma stands between them
        return F{fields.server.contains(QLatin1String("};")) ? F::Server : F::Port, F::HoldsBraceSemicolon};
    if (!carriable(fields.user, driver))
        return F{F::User, F::HoldsBraceSemicolon};
    if (!carriable(fields.password, driver))
        return F{F::Password, F::HoldsBraceSemicolon};
    if (!carriable(fields.database, driver))
        return F{F::Database, F::HoldsBraceSemicolon};
    if (joined(fields, driver).size() > kLongestConnectionString) {
        // The longest value is the one to shorten.
        const std::pair<F::Field, qsizetype> sizes[] = {{F::Server, fields.server.size()},
                                                        {F::Port, fields.local ? 0 : fields.port.size()},
                                                        {F::User, fields.user.size()},
                                                        {F::Password, fields.password.size()},
                                                        {F::Database, fields.database.size()}};
        const auto longest = std::max_element(std::begin(sizes), std::end(sizes),
                                              [](const auto& a, const auto& b) { return a.second < b.second; });
        return F{longest->first, F::TooLong};
    }
    return std::nullopt;
}

QString connectionProblem(const ConnectionFields& fields, const SqlServerDriver& driver)
{
    const std::optional<FieldProblem> problem = fieldProblem(fields, driver);
    if (!problem)
        return {};
    static const char* const boxes[] = {"server name", "port", "username", "password", "database name"};
    const QString box = QLatin1String(boxes[problem->field]);
    return QStringLiteral("The %1 %2. Please %3 the %1.")
        .arg(box, problem->what(),
             problem->kind == FieldProblem::TooLong ? QLatin1String("shorten") : QLatin1String("change"));
}

QString FieldProblem::what() const
{
    return kind == TooLong
               ? QStringLiteral("is too long: the SQL Server driver takes at most 32,767 characters for the whole "
                                "connection")
               : QStringLiteral("contains \"};\", which the SQL Server driver (FreeTDS) cannot accept");
}

QString connectionProblem(const ConnectionFields& fields)
{
    return connectionProblem(fields, platform::registeredSqlServerDriver());
}

QString connectionString(const ConnectionFields& fields, const SqlServerDriver& driver)
{
    if (const QString problem = connectionProblem(fields, driver); !problem.isEmpty())
        throw UncarriableField(problem);
    return joined(fields, driver);
}

QString connectionString(const ConnectionFields& fields)
{
    return connectionString(fields, platform::registeredSqlServerDriver());
}

} // namespace rq
