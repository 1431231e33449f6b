#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace rq {

// "Sales.Orders", or "Orders" where the driver names no schema.
QString qualifiedName(const QString& schema, const QString& name);

// One part of a dotted name as the user or a file writes it: its text, and whether it stood between brackets,
// where it is taken literally ("[dot.ted]", "]" doubled inside).
struct NamePart {
    QString text;
    bool bracketed = false;
};

// Splits "a.[b.c].d" at the dots outside brackets; std::nullopt where a bracket is not closed or a part goes
// on after its closing bracket.
std::optional<QList<NamePart>> splitName(QStringView written);

// A table as the driver's tables list names it; the schema is empty where the driver gives none. The database
// is named where a scan reads several; empty, the table is the connection's database's.
struct TableName {
    QString schema;
    QString name;
    QString database = {};
    QString qualified() const { return qualifiedName(schema, name); } // "Sales.Orders", or "Orders"
    // "Shop.Sales.Orders" where the database is named, else qualified().
    QString full() const { return database.isEmpty() ? qualified() : database + QLatin1Char('.') + qualified(); }
    // The name written so that it reads back as this table alone: the parts joined by dots, a part that holds
    // a dot, a bracket, * or ? put between brackets as SQL Server writes it: "dbo.Orders", "[we.ird].x"; the
    // database first where it is named.
    QString quoted() const;
    bool operator==(const TableName&) const = default;
};

} // namespace rq
