#include "ConnectionFailure.h"

#include "logic/connection/OpenConnection.h"
#include "platform/Odbc.h"

#include <QRegularExpression>

namespace rq {

namespace {

// The driver's records, each without its "[vendor][component]" names.
QStringList records(const QString& description)
{
    static const QRegularExpression start(QStringLiteral("(?:^|\\s)(?:\\[[^\\]]*\\])+"));
    QStringList found;
    qsizetype from = -1;
    for (auto match = start.globalMatch(description); match.hasNext();) {
        const QRegularExpressionMatch next = match.next();
        if (from >= 0)
            found << description.mid(from, next.capturedStart() - from).trimmed();
        from = next.capturedEnd();
    }
    found << (from >= 0 ? description.mid(from) : description).trimmed();
    return found;
}

// The first record that holds the first of `words` any record holds.
QString recordHolding(const QStringList& records, const QStringList& words)
{
    for (const QString& word : words) {
        for (const QString& record : records) {
            if (record.contains(word))
                return record;
        }
    }
    return {};
}

} // namespace

QString commonFailureReason(const ConnectionFields& fields)
{
    const QString where = serverValue(fields);
    const QString noAnswer =
        QStringLiteral("The server at %1 did not answer within %2 seconds.").arg(where).arg(kLoginTimeoutSeconds);
    try {
        throw;
    } catch (const LoginTimeout&) {
        return noAnswer;
    } catch (const platform::odbc::OdbcError& error) {
        const QStringList said = records(error.description());
        // SQL Server refuses a login to a database it cannot open with both messages; the database's says more.
        const QString refused =
            recordHolding(said, {QStringLiteral("Cannot open database"), QStringLiteral("Login failed")});
        if (error.sqlState() == QLatin1String("28000") || !refused.isEmpty())
            return QStringLiteral("The server refused the login: %1").arg(refused.isEmpty() ? said.first() : refused);
        if (error.sqlState() == QLatin1String("HYT00") || error.sqlState() == QLatin1String("S1T00"))
            return noAnswer;
        // FreeTDS, then Microsoft's drivers, where the connection was refused.
        const QString nobody =
            recordHolding(said, {QStringLiteral("unavailable or does not exist"), QStringLiteral("Connection refused"),
                                 QStringLiteral("actively refused")});
        if (!nobody.isEmpty())
            return QStringLiteral("Nothing answers at %1: %2").arg(where, nobody);
        return {};
    } catch (...) {
        return {};
    }
}

} // namespace rq
