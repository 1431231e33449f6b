#include "TableChoice.h"

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

} // namespace

TablePattern::TablePattern(QString pattern) : pattern_(std::move(pattern))
{
    const std::optional<QList<NamePart>> parts = splitName(pattern_);
    if (!parts || parts->size() > 3)
        return;
    for (NamePart part : *parts) {
        part.text = part.text.toCaseFolded();
        parts_.append(part);
    }
}

bool TablePattern::matches(const TableName& table) const
{
    if (parts_.isEmpty())
        return false;
    const auto partMatches = [](const NamePart& part, const QString& name) {
        const QString folded = name.toCaseFolded();
        return part.bracketed ? part.text == folded : wildcardMatch(part.text, folded);
    };
    if (!partMatches(parts_.last(), table.name))
        return false;
    if (parts_.size() >= 2 && !partMatches(parts_[parts_.size() - 2], table.schema))
        return false;
    return parts_.size() < 3 || partMatches(parts_.first(), table.database);
}

QString TableChoice::signature() const
{
    QStringList parts;
    for (const QList<TablePattern>* patterns : {&named, &excluded}) {
        QStringList texts;
        for (const TablePattern& pattern : *patterns)
            texts << pattern.text();
        parts << texts.join(QChar(0x1F));
    }
    parts << sortedList(ticked) << sortedList(unticked);
    return parts.join(QChar(0x1E));
}

bool isUserTable(const QString& type, const QString& name)
{
    return type == QLatin1String("TABLE") && !name.toUpper().contains(QLatin1String("SYS"));
}

QList<TableDecision> decideTables(const QList<ListedTable>& listed, const TableChoice& choice)
{
    const auto anyMatches = [](const QList<TablePattern>& patterns, const TableName& table) {
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](const TablePattern& pattern) { return pattern.matches(table); });
    };
    QList<TableDecision> decisions;
    decisions.reserve(listed.size());
    for (const ListedTable& entry : listed) {
        TableDecision decision{entry, TableDecision::Read};
        const QString quoted = TableName{entry.table.schema, entry.table.name}.quoted(); // within its database
        if (entry.type != QLatin1String("TABLE"))
            decision.reason = TableDecision::NotATable;
        else if (choice.ticked.contains(quoted))
            decision.reason = TableDecision::Read;
        else if (choice.unticked.contains(quoted))
            decision.reason = TableDecision::Unticked;
        else if (anyMatches(choice.excluded, entry.table))
            decision.reason = TableDecision::Excluded;
        else if (!choice.named.isEmpty())
            decision.reason = anyMatches(choice.named, entry.table) ? TableDecision::Read : TableDecision::NotNamed;
        else if (!isUserTable(entry.type, entry.table.name))
            decision.reason = TableDecision::SystemName;
        decisions.append(decision);
    }
    return decisions;
}

QString TableDecision::why() const
{
    switch (reason) {
    case Read:
        return {};
    case NotATable:
        return listed.type == QLatin1String("VIEW") ? QStringLiteral("a view")
                                                    : QStringLiteral("not a table (%1)").arg(listed.type.toLower());
    case SystemName:
        return QStringLiteral("a system table by its name (it holds \"sys\")");
    case Excluded:
        return QStringLiteral("excluded by a pattern");
    case NotNamed:
        return QStringLiteral("not named by a pattern");
    case Unticked:
        return QStringLiteral("left out by your choice");
    }
    return {};
}

bool TableDecision::readByDefault() const { return isUserTable(listed.type, listed.table.name); }

} // namespace rq
