#include "TableChoice.h"

#include <algorithm>

namespace rq {

namespace {

// `*` any run of characters, `?` any one, everything else itself; both sides already folded.
bool wildcardMatch(QStringView pattern, QStringView text)
{
    // The classic greedy walk with one backtracking point: linear for patterns without several stars.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

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
    if (!parts || parts->size() > 2)
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
    return parts_.size() == 1 || partMatches(parts_.first(), table.schema);
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
        const QString quoted = entry.table.quoted();
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
