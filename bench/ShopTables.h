#pragma once

// The tables the FreeTDS benchmarks serve from our TDS server.
#include "support/TdsServer.h"

#include <QDate>
#include <QDateTime>

namespace rq::bench {

using test::TdsColumn;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;

inline TdsTable generatedTable(const QString& name, int rows, QList<TdsColumn> columns,
                               std::function<QList<TdsValue>(int)> generate)
{
    TdsTable table;
    table.name = name;
    table.columns = std::move(columns);
    table.generatedRows = rows;
    table.generate = std::move(generate);
    return table;
}

// Rows like a small shop's, `rows` in each of four tables: names, notes with line breaks, a few long notes (a
// (max) column), Nulls, numbers and dates.
inline QList<TdsTable> shopTables(int rows)
{
    const QDate day(2026, 11, 30);
    const QString longNote(20000, QLatin1Char('L'));
    return {
        generatedTable("Customers", rows,
                       {{"Id", TdsType::Int},
                        {"Name", TdsType::NVarChar, 100},
                        {"Email", TdsType::NVarChar, 100},
                        {"City", TdsType::VarChar, 50},
                        {"Balance", TdsType::Float}},
                       [](int i) {
                           return QList<TdsValue>{qint64(i), QStringLiteral("Customer number %1").arg(i),
                                                  QStringLiteral("customer%1@example.com").arg(i),
                                                  i % 7 ? TdsValue(QStringLiteral("Springfield")) : std::nullopt,
                                                  i * 1.25};
                       }),
        generatedTable("Measurements", rows,
                       {{"Id", TdsType::BigInt},
                        {"A", TdsType::Float},
                        {"B", TdsType::Float},
                        {"Label", TdsType::NVarChar, 50},
                        {"Extra", TdsType::NVarChar, 50}},
                       [](int i) {
                           return QList<TdsValue>{qint64(i), i / 3.0, -i * 0.5, QStringLiteral("sensor"), std::nullopt};
                       }),
        generatedTable("Notes", rows,
                       {{"Id", TdsType::Int},
                        {"Body", TdsType::NVarCharMax},
                        {"Author", TdsType::VarChar, 50},
                        {"Created", TdsType::DateTime},
                        {"Flag", TdsType::Bit}},
                       [longNote, day](int i) {
                           // A few long values, read in several pieces.
                           const QString body = i % 10000 ? QStringLiteral("Called about the invoice;\r\nwill call "
                                                                           "back on Monday.")
                                                          : longNote;
                           return QList<TdsValue>{qint64(i), body, QStringLiteral("support"),
                                                  QDateTime(day, QTime(10, 0)), i % 2 == 1};
                       }),
        generatedTable("Orders", rows,
                       {{"Id", TdsType::Int},
                        {"Customer", TdsType::Int},
                        {"Note", TdsType::NVarChar, 200},
                        {"Total", TdsType::Decimal, 0, 10, 2},
                        {"Shipped", TdsType::Date}},
                       [day](int i) {
                           return QList<TdsValue>{
                               qint64(i), qint64(i % 1000), QStringLiteral("Leave at the <b>back door</b>, ring twice"),
                               QStringLiteral("%1.99").arg(19 + i % 100), i % 3 ? TdsValue(day) : std::nullopt};
                       }),
    };
}

} // namespace rq::bench
