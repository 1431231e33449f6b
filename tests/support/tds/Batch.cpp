#include "Batch.h"

#include "Protocol.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace rq::test::tds {

namespace {

struct SqlToken {
    enum Kind { Word, Name, Symbol, Text } kind = Word; // Name: a [bracketed] or "quoted" identifier
    QString text;                                       // Text: a 'string' or N'string', quotes undone
};

// What stands between quotes from `i` on, a doubled closing quote standing for one; `i` ends past the closing
// quote. Nothing when the quote is never closed.
std::optional<QString> quoted(QStringView sql, qsizetype& i, QChar close)
{
    QString text;
    for (;; ++i) {
        if (i >= sql.size())
            return std::nullopt;
        if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close) {
                text += close;
                ++i;
                continue;
            }
            ++i;
            return text;
        }
        text += sql[i];
    }
}

// Splits a batch into words, identifiers, string literals and symbols; comments are not expected.
std::optional<QList<SqlToken>> tokenize(QStringView sql)
{
    QList<SqlToken> tokens;
    qsizetype i = 0;
    const auto isWordChar = [](QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
    };
    while (i < sql.size()) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < sql.size() && sql[i + 1] == u'-') {
            while (i < sql.size() && sql[i] != u'\n')
                ++i;
        } else if (c == u'[' || c == u'"') {
            const std::optional<QString> name = quoted(sql, ++i, c == u'[' ? u']' : u'"');
            if (!name)
                return std::nullopt;
            tokens.append({SqlToken::Name, *name});
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < sql.size() && sql[i + 1] == u'\'')) {
            i += c == u'\'' ? 1 : 2;
            const std::optional<QString> text = quoted(sql, i, u'\'');
            if (!text)
                return std::nullopt;
            tokens.append({SqlToken::Text, *text});
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < sql.size() && isWordChar(sql[i]))
                ++i;
            tokens.append({SqlToken::Word, sql.mid(start, i - start).toString()});
        } else {
            tokens.append({SqlToken::Symbol, QString(c)});
            ++i;
        }
    }
    return tokens;
}

bool isWord(const SqlToken& token, QLatin1StringView word)
{
    return token.kind == SqlToken::Word && token.text.compare(word, Qt::CaseInsensitive) == 0;
}

// The catalogue queries the program sends, answered when they come word for word.
const std::pair<SqlStatement::Kind, QStringView> kCatalogQueries[] = {
    {SqlStatement::DatabaseList,
     u"SELECT name, state_desc, HAS_DBACCESS(name), snapshot_isolation_state FROM sys.databases ORDER BY name"},
    {SqlStatement::PrimaryKeyList,
     u"SELECT SCHEMA_NAME(t.schema_id), t.name, c.name, ic.key_ordinal FROM sys.tables AS t JOIN sys.indexes AS i "
     u"ON i.object_id = t.object_id AND i.is_primary_key = 1 JOIN sys.index_columns AS ic ON ic.object_id = "
     u"i.object_id AND ic.index_id = i.index_id JOIN sys.columns AS c ON c.object_id = ic.object_id AND "
     u"c.column_id = ic.column_id ORDER BY 1, 2, 4"},
};

// Which catalogue query the tokens from `i` on are, if any; `i` ends past it.
std::optional<SqlStatement::Kind> catalogQuery(const QList<SqlToken>& tokens, qsizetype& i)
{
    for (const auto& [kind, text] : kCatalogQueries) {
        const QList<SqlToken> query = *tokenize(text);
        const auto same = [](const SqlToken& a, const SqlToken& b) {
            return a.kind == b.kind && a.text.compare(b.text, Qt::CaseInsensitive) == 0;
        };
        if (tokens.size() - i >= query.size() && std::equal(query.begin(), query.end(), tokens.begin() + i, same)) {
            i += query.size();
            return kind;
        }
    }
    return std::nullopt;
}

std::optional<TdsIsolation> isolationLevel(const QStringList& words)
{
    static const std::pair<QLatin1StringView, TdsIsolation> levels[] = {
        {"READ UNCOMMITTED"_L1, TdsIsolation::ReadUncommitted},
        {"READ COMMITTED"_L1, TdsIsolation::ReadCommitted},
        {"REPEATABLE READ"_L1, TdsIsolation::RepeatableRead},
        {"SERIALIZABLE"_L1, TdsIsolation::Serializable},
        {"SNAPSHOT"_L1, TdsIsolation::Snapshot},
    };
    const QString level = words.join(u' ').toUpper();
    for (const auto& [name, isolation] : levels)
        if (level == name)
            return isolation;
    return std::nullopt;
}

} // namespace

std::optional<QList<SqlStatement>> parseBatch(QStringView sql)
{
    const auto tokens = tokenize(sql);
    if (!tokens)
        return std::nullopt;
    const QList<SqlToken>& t = *tokens;
    qsizetype i = 0;
    const auto at = [&](qsizetype k) -> const SqlToken* { return k < t.size() ? &t[k] : nullptr; };
    const auto statementEnds = [&] {
        const SqlToken* next = at(i);
        return !next || (next->kind == SqlToken::Symbol && next->text == u";") || isWord(*next, "SET"_L1) ||
               isWord(*next, "SELECT"_L1) || isWord(*next, "USE"_L1);
    };
    const auto isName = [&](const SqlToken* token) { return token && token->kind != SqlToken::Symbol; };

    QList<SqlStatement> statements;
    while (i < t.size()) {
        const SqlToken& first = t[i++];
        if (first.kind == SqlToken::Symbol && first.text == u";")
            continue;
        SqlStatement statement;
        if (isWord(first, "SET"_L1)) {
            if (!isName(at(i)) || at(i)->kind != SqlToken::Word)
                return std::nullopt;
            statement.option = t[i++].text.toUpper();
            if (statement.option == u"TEXTSIZE" || statement.option == u"LOCK_TIMEOUT") {
                const bool negative = at(i) && at(i)->kind == SqlToken::Symbol && at(i)->text == u"-";
                i += negative ? 1 : 0;
                bool ok = false;
                statement.value = at(i) ? at(i)->text.toLongLong(&ok) * (negative ? -1 : 1) : 0;
                if (!ok)
                    return std::nullopt;
                ++i;
            } else if (statement.option == u"TRANSACTION") {
                if (!at(i + 1) || !isWord(*at(i), "ISOLATION"_L1) || !isWord(*at(i + 1), "LEVEL"_L1))
                    return std::nullopt;
                QStringList words;
                for (i += 2; !statementEnds(); ++i)
                    words << t[i].text;
                const std::optional<TdsIsolation> isolation = isolationLevel(words);
                if (!isolation)
                    return std::nullopt;
                statement.isolation = *isolation;
            } else if (at(i) && at(i)->kind == SqlToken::Word) {
                statement.name = QStringList{at(i)->text.toUpper()}; // ON, OFF, or whatever the option takes
            }
            while (!statementEnds())
                ++i;
        } else if (isWord(first, "USE"_L1)) {
            if (!isName(at(i)))
                return std::nullopt;
            statement.kind = SqlStatement::Use;
            statement.name = QStringList{t[i++].text};
        } else if (isWord(first, "SELECT"_L1) && at(i) && at(i)->text.startsWith(u"@@")) {
            statement.kind = SqlStatement::SelectVariable;
            statement.option = t[i++].text.mid(2).toUpper();
        } else if (isWord(first, "SELECT"_L1) && at(i) && at(i)->text == u"*" && at(i + 1) &&
                   isWord(*at(i + 1), "FROM"_L1)) {
            i += 2;
            statement.kind = SqlStatement::SelectTable;
            for (;;) {
                const bool part = isName(at(i)) && !statementEnds();
                statement.name.append(part ? t[i].text : QString());
                i += part ? 1 : 0;
                if (!(at(i) && at(i)->kind == SqlToken::Symbol && at(i)->text == u"."))
                    break;
                ++i;
            }
            if (statement.name.size() > 3 || statement.name.constLast().isEmpty())
                return std::nullopt;
            // WHERE [column] = value AND ...: a number, a 'string' or N'string'.
            if (at(i) && isWord(*at(i), "WHERE"_L1)) {
                do {
                    ++i;
                    if (!isName(at(i)) || !at(i + 1) || at(i + 1)->text != u"=" || !at(i + 2))
                        return std::nullopt;
                    const bool negative = at(i + 2)->kind == SqlToken::Symbol && at(i + 2)->text == u"-";
                    const SqlToken* value = at(i + 2 + (negative ? 1 : 0));
                    if (!value || value->kind == SqlToken::Symbol || value->kind == SqlToken::Name)
                        return std::nullopt;
                    statement.conditions.append({t[i].text, (negative ? u"-"_s : QString()) + value->text});
                    i += negative ? 4 : 3;
                } while (at(i) && isWord(*at(i), "AND"_L1));
            }
        } else if (const auto catalog = catalogQuery(t, --i)) {
            statement.kind = *catalog;
        } else {
            return std::nullopt;
        }
        if (!statementEnds())
            return std::nullopt;
        statements.append(statement);
    }
    return statements;
}

QString batchText(const QByteArray& payload)
{
    Reader text = afterHeaders(payload);
    return text.utf16(text.left() / 2);
}

} // namespace rq::test::tds
