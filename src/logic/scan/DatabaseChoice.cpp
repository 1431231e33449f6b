#include "DatabaseChoice.h"

#include "logic/text/Wildcards.h"

#include <algorithm>

namespace rq {

namespace {

QString sortedList(const QSet<QString>& names)
{
    QStringList list(names.begin(), names.end());
    list.sort();
    return list.join(QChar(0x1F));
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

bool isSystemDatabase(const QString& name)
{
    static const QStringList own = {"master", "model", "msdb", "tempdb", "distribution"};
    return std::any_of(own.begin(), own.end(), [&](const QString& system) { return sameName(system, name); });
}

bool DatabaseChoice::several() const
{
    const auto hasWildcard = [](const QString& pattern) {
        return pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char('?'));
    };
    return all || named.size() > 1 || std::any_of(named.begin(), named.end(), hasWildcard) || !ticked.isEmpty();
}

QString DatabaseChoice::signature() const
{
    return QStringList{named.join(QChar(0x1F)), all ? QStringLiteral("all") : QString(), sortedList(ticked),
                       sortedList(unticked)}
        .join(QChar(0x1E));
}

QList<DatabaseDecision> decideDatabases(const QList<ServerDatabase>& listed, const DatabaseChoice& choice,
                                        const QString& connection)
{
    const auto isNamed = [&](const QString& name) {
        return std::any_of(choice.named.begin(), choice.named.end(), [&](const QString& pattern) {
            return wildcardMatch(pattern.toCaseFolded(), name.toCaseFolded());
        });
    };
    QList<DatabaseDecision> decisions;
    for (const ServerDatabase& database : listed) {
        DatabaseDecision decision{database, DatabaseDecision::Read};
        const bool named = isNamed(database.name);
        const bool ticked = choice.ticked.contains(database.name);
        if (!database.accessible)
            decision.reason = DatabaseDecision::NoAccess;
        else if (!database.online)
            decision.reason = DatabaseDecision::Offline;
        else if (choice.unticked.contains(database.name))
            decision.reason = DatabaseDecision::Unticked;
        else if (named || ticked)
            decision.reason = DatabaseDecision::Read;
        else if (!choice.named.isEmpty())
            decision.reason = DatabaseDecision::NotNamed;
        else if (isSystemDatabase(database.name))
            decision.reason = DatabaseDecision::SystemDatabase;
        else if (!choice.all && !sameName(database.name, connection))
            decision.reason = DatabaseDecision::Unticked;
        decisions.append(decision);
    }
    return decisions;
}

QString DatabaseDecision::why() const
{
    switch (reason) {
    case Read:
        return {};
    case SystemDatabase:
        return QStringLiteral("SQL Server's own");
    case Offline:
        return QStringLiteral("offline");
    case NoAccess:
        return QStringLiteral("the login has no access");
    case NotNamed:
        return QStringLiteral("not named by --database");
    case Unticked:
        return QStringLiteral("not chosen");
    }
    return {};
}

} // namespace rq
