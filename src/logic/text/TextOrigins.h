#pragma once

#include "logic/text/TableName.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace rq {

// A column of a table's primary key, by its place among the table's columns (from 0).
struct KeyColumn {
    int column = 0;
    int sqlType = 0; // as the driver reports it: how a value is written in a query
};

// One column of a row's primary key and the row's value in it, as the database text holds it.
struct KeyValue {
    QString column;
    QString value;
    int sqlType = 0;
};

// Where a stretch of the database text came from: a field of a row of a table.
struct Origin {
    QString schema; // empty where the driver names no schema (SQLite)
    QString table;
    QString column;
    qint64 row = 0;        // 1-based, in the order the scan read the table's rows
    QList<KeyValue> key;   // the row's primary key, where its table has one
    QString database = {}; // named where a scan reads several databases, else empty
    quint64 tableRead = 0; // the read of the table that gave it (TextOrigins::beginTable), unique in the process

    bool known() const { return row > 0; }
    // "Sales.Customer.EmailAddress" (or "Customer.EmailAddress" without a schema; "Shop.Sales.Customer.EmailAddress"
    // where the database is named)
    QString field() const;
    TableName tableName() const { return {schema, table, database}; }
    // "CustomerID 42" (several key columns joined by commas), or "row 1,204" where the table has no key
    QString rowName() const;
    // "Sales.Customer.EmailAddress, CustomerID 42", or "Sales.Customer.EmailAddress, row 1,204"
    QString description() const;
};

// What the scan records beside the database text so that any position in it can be traced back to its
// field, without changing the text's layout: where each row starts, and each table's columns. A field
// ends at a carriage return; only rows whose values hold carriage returns themselves, or that are long,
// keep their field ends, so finding a field never counts far. About 4 bytes a row, kept in blocks that
// never need copying as they grow.
class TextOrigins {
public:
    // A table whose rows follow; `rowsBefore` of its rows came before these origins begin. Each call is a read of
    // its own, with a number no other read in the process has (Origin::tableRead).
    void beginTable(const TableName& table, const QStringList& columns, qint64 rowsBefore = 0,
                    const QList<KeyColumn>& key = {});
    // A row of the current table whose first field starts at `position` of the text.
    void beginRow(qsizetype position);
    // Where every field of the row begun last ends (its closing carriage return), counted from the row's
    // start.
    void setFieldEnds(std::span<const quint32> endsInRow);
    // Lets go of the room kept for rows still to come: for origins that are complete, such as a block's.
    void squeeze();

    bool empty() const { return tables_.isEmpty(); }
    // The table of the first rows, or an empty name.
    TableName firstTable() const { return tables_.isEmpty() ? TableName{} : tables_.front().name; }
    // How many rows have begun so far.
    qsizetype rows() const { return rows_; }

    // Where the first row that starts at or after `position` starts; -1 where none does.
    qsizetype rowStartFrom(qsizetype position) const;

    // The field that holds `position` of `text`, the text these origins were recorded with; an Origin
    // that is not known() for a position before the first row.
    Origin at(QStringView text, qsizetype position) const;
    // The field where `found`, a view into `text`, starts.
    Origin at(QStringView text, QStringView found) const { return at(text, found.data() - text.data()); }

    // A row as `text` holds it: each column's name and value, and whether it belongs to the primary key.
    struct RowField {
        QString column;
        QStringView value;
        bool key = false;
    };
    // The fields of row `row` (1-based, as Origin counts) of the table read `tableRead`; nothing where these
    // origins hold no such read or row.
    std::optional<QList<RowField>> rowFields(QStringView text, quint64 tableRead, qint64 row) const;
    // Whether these origins hold that row: asked before the text is at hand.
    bool holdsRow(quint64 tableRead, qint64 row) const { return rowIndex(tableRead, row).second >= 0; }

private:
    struct Table {
        TableName name;
        QStringList columns;
        qsizetype firstRow = 0;
        qint64 rowsBefore = 0;
        QList<KeyColumn> key;
        quint64 read = 0;
    };
    // Rows in blocks: each row's start as a 32-bit distance from its block's first row.
    struct RowBlock {
        qsizetype firstRow = 0;
        qsizetype base = 0;
        std::vector<quint32> offsets;
    };
    qsizetype rowStart(qsizetype row) const;
    // The table read `tableRead` and where its row `row` is among these origins' rows; -1 where there is none.
    std::pair<const Table*, qsizetype> rowIndex(quint64 tableRead, qint64 row) const;
    qsizetype rowAt(qsizetype position) const; // the last row starting at or before it, or -1
    // The field ends the row keeps, or an empty range.
    std::pair<std::deque<quint32>::const_iterator, std::deque<quint32>::const_iterator> keptEnds(qsizetype row) const;
    // The text of a row's field (from 0); empty where the row has no such field.
    QStringView fieldText(QStringView text, qsizetype row, int column) const;

    QList<Table> tables_;
    std::vector<RowBlock> blocks_;
    qsizetype rows_ = 0;
    // Rows that keep their field ends, by row index, ascending, each with where its ends begin in fieldEnds_.
    struct DetailedRow {
        qsizetype row;
        qsizetype firstEnd;
    };
    std::deque<DetailedRow> detailedRows_; // deques grow without copying what they hold
    std::deque<quint32> fieldEnds_;
};

} // namespace rq
