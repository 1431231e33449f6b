#include "ConnectionString.h"

#include <QRegularExpression>
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

// FreeTDS can check a certificate only for a server named by an entry of its configuration file.
bool namedByFreeTdsEntry(const SqlServerDriver& driver, const ConnectionSecurity& security)
{
    return driver.kind == SqlServerDriver::FreeTds && !security.allowUnencrypted;
}

QString securityAttributes(const SqlServerDriver& driver, const ConnectionSecurity& security)
{
    if (driver.kind == SqlServerDriver::FreeTds)
        return security.allowUnencrypted ? QStringLiteral("Encryption=request;")
                                         : QStringLiteral("Encryption=require;");
    return (security.allowUnencrypted ? QStringLiteral("Encrypt=no;") : QStringLiteral("Encrypt=yes;")) +
           (security.trustServerCertificate ? QStringLiteral("TrustServerCertificate=yes;") : QString());
}

// Where the driver is sent: the server (with its port, where FreeTDS needs it), or FreeTDS's entry for it.
QString addressAttributes(const ConnectionFields& fields, const SqlServerDriver& driver,
                          const ConnectionSecurity& security)
{
    if (namedByFreeTdsEntry(driver, security))
        return QLatin1String("Servername=") + freeTdsEntry(fields, security).name() + QLatin1Char(';');
    return QLatin1String("Server=") + attributeValue(serverValue(fields), driver) + QLatin1Char(';');
}

QString joined(const ConnectionFields& fields, const SqlServerDriver& driver, const ConnectionSecurity& security)
{
    QString text = QLatin1String("Driver={SQL Server};") + addressAttributes(fields, driver, security) +
                   QLatin1String("Database=") + attributeValue(fields.database, driver) + QLatin1String(";Uid=") +
                   attributeValue(fields.user, driver) + QLatin1String(";Pwd=") +
                   attributeValue(fields.password, driver) + QLatin1String(";");
    if (driver.kind == SqlServerDriver::FreeTds) {
        if (!driver.tdsVersion.isEmpty())
            text += QLatin1String("TDS_Version=") + driver.tdsVersion + QLatin1Char(';');
        // Microsoft's driver takes 1433 for a server named alone; FreeTDS would refuse to connect. (An entry
        // names the port itself.)
        if (fields.local && !fields.server.contains(QLatin1Char('\\')) && !fields.server.contains(QLatin1Char(',')) &&
            !namedByFreeTdsEntry(driver, security))
            text += QLatin1String("Port=1433;");
    }
    return text + securityAttributes(driver, security);
}

// The number at the start of `text` as C's atoi reads it, which is how FreeTDS reads the port after a comma.
int leadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*\\+?(\\d{1,9})"));
    return number.match(text).captured(1).toInt();
}

// The driver manager passes a connection string's length as a 16-bit count.
constexpr qsizetype kLongestConnectionString = 32767;

// The box that holds what FreeTDS's file cannot hold. The port the entry names is a number already.
std::optional<FieldProblem::Field> unwritableEntryField(const ConnectionFields& fields,
                                                        const ConnectionSecurity& security)
{
    const platform::FreeTdsEntry entry = freeTdsEntry(fields, security);
    if (platform::carriableInFreeTdsConf(entry.host) && platform::carriableInFreeTdsConf(entry.instance))
        return std::nullopt;
    // A port that is no number stays with the host, as FreeTDS leaves it there.
    return !fields.local && platform::carriableInFreeTdsConf(fields.server) ? FieldProblem::Port : FieldProblem::Server;
}

} // namespace

QString serverValue(const ConnectionFields& fields)
{
    return fields.local ? fields.server : fields.server + QLatin1Char(',') + fields.port;
}

platform::FreeTdsEntry freeTdsEntry(const ConnectionFields& fields, const ConnectionSecurity& security)
{
    platform::FreeTdsEntry entry;
    const QString server = serverValue(fields);
    const qsizetype backslash = server.indexOf(QLatin1Char('\\'));
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    if (backslash >= 0) {
        entry.host = server.left(backslash);
        entry.instance = server.mid(backslash + 1);
    } else if (comma >= 0 && leadingNumber(server.mid(comma + 1)) > 0) {
        entry.host = server.left(comma);
        entry.port = QString::number(leadingNumber(server.mid(comma + 1)));
    } else {
        entry.host = server;
        if (fields.local) // a server named alone: SQL Server's port, which FreeTDS has no default for
            entry.port = QStringLiteral("1433");
    }
    if (!security.trustServerCertificate)
        entry.caFile = platform::freeTdsCaFile();
    return entry;
}

std::optional<FieldProblem> fieldProblem(const ConnectionFields& fields, const SqlServerDriver& driver,
                                         const ConnectionSecurity& security)
{
    using F = FieldProblem;
    if (namedByFreeTdsEntry(driver, security)) {
        if (const std::optional<F::Field> field = unwritableEntryField(fields, security))
            return F{*field, F::NotInFreeTdsConf};
    } else if (!carriable(serverValue(fields), driver)) { // the "};" lies in one box: the comma stands between them
        return F{fields.server.contains(QLatin1String("};")) ? F::Server : F::Port, F::HoldsBraceSemicolon};
    }
    if (!carriable(fields.user, driver))
        return F{F::User, F::HoldsBraceSemicolon};
    if (!carriable(fields.password, driver))
        return F{F::Password, F::HoldsBraceSemicolon};
    if (!carriable(fields.database, driver))
        return F{F::Database, F::HoldsBraceSemicolon};
    if (joined(fields, driver, security).size() > kLongestConnectionString) {
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

QString connectionProblem(const ConnectionFields& fields, const SqlServerDriver& driver,
                          const ConnectionSecurity& security)
{
    const std::optional<FieldProblem> problem = fieldProblem(fields, driver, security);
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
    switch (kind) {
    case TooLong:
        return QStringLiteral("is too long: the SQL Server driver takes at most 32,767 characters for the whole "
                              "connection");
    case HoldsBraceSemicolon:
        return QStringLiteral("contains \"};\", which the SQL Server driver (FreeTDS) cannot accept");
    case NotInFreeTdsConf:
        break;
    }
    return QStringLiteral("holds a line break, \"#\", \";\", a blank at either end or two blanks in a row, which the "
                          "SQL Server driver (FreeTDS) cannot accept for an encrypted connection");
}

QString connectionProblem(const ConnectionFields& fields, const ConnectionSecurity& security)
{
    return connectionProblem(fields, platform::registeredSqlServerDriver(), security);
}

QString connectionString(const ConnectionFields& fields, const SqlServerDriver& driver,
                         const ConnectionSecurity& security)
{
    if (const QString problem = connectionProblem(fields, driver, security); !problem.isEmpty())
        throw UncarriableField(problem);
    if (namedByFreeTdsEntry(driver, security))
        platform::registerFreeTdsEntry(freeTdsEntry(fields, security));
    else if (driver.kind == SqlServerDriver::FreeTds)
        platform::pointFreeTdsAtRowquarrysFile(); // now, should a later connection need an entry
    return joined(fields, driver, security);
}

QString connectionString(const ConnectionFields& fields, const ConnectionSecurity& security)
{
    return connectionString(fields, platform::registeredSqlServerDriver(), security);
}

} // namespace rq
