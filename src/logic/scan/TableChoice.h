#pragma once

#include "logic/text/TableName.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace rq {

// One row of the driver's tables list: tables, views and the rest, told apart by their type.
struct ListedTable {
    TableName table;
    QString type; // "TABLE", "VIEW", "SYSTEM TABLE", ...
};

// `database.schema.table`, `schema.table` or `table` (any schema, any database), `*` and `?` as wildcards,
// letter case ignored. A part between brackets is taken as it stands, dots and wildcards included:
// `[we.ird].x`, `dbo.[dot.ted]` (see TableName::quoted). A pattern that cannot be read (an unclosed bracket,
// more parts than a table name has) matches nothing.
class TablePattern {
public:
    explicit TablePattern(QString pattern);
    bool isValid() const { return !parts_.isEmpty(); }
    bool matches(const TableName& table) const;
    const QString& text() const { return pattern_; }

private:
    QString pattern_;
    QList<NamePart> parts_; // folded; empty when the pattern cannot be read
};

// Which tables a scan reads. By default every table whose upper-cased name holds no "SYS" (SQL Server's
// own tables, and some ordinary ones); views and other kinds are never read.
struct TableChoice {
    // The command line's: when `named` holds patterns, only the tables they match are read, whatever
    // their name; a table that `excluded` matches is never read.
    QList<TablePattern> named;
    QList<TablePattern> excluded;
    // The window's: tables ticked or unticked against the default, by quoted name within their database
    // (TableName::quoted without the database).
    QSet<QString> ticked;
    QSet<QString> unticked;

    // Equal for two choices that read the same tables of any database.
    QString signature() const;
};

struct TableDecision {
    enum Reason { Read, NotATable, SystemName, Excluded, NotNamed, Unticked };
    ListedTable listed;
    Reason reason = Read;

    bool read() const { return reason == Read; }
    // Why a table is not read, as the user sees it ("a view", "a system table by its name"); empty when read.
    QString why() const;
    // What the default (no choice made) would do with it.
    bool readByDefault() const;
};

// "TABLE" (exactly, as the driver lists it) and no "SYS" in the upper-cased name.
bool isUserTable(const QString& type, const QString& name);

// Every listed table with what the choice makes of it, in list order.
QList<TableDecision> decideTables(const QList<ListedTable>& listed, const TableChoice& choice);

} // namespace rq
