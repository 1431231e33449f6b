#pragma once

// The SQL batches this server understands: SET, USE, SELECT @@variable, SELECT * FROM a table and the
// catalogue queries the program sends.
#include "support/TdsServer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace rq::test::tds {

struct SqlStatement {
    enum Kind { Set, Use, SelectTable, SelectVariable, DatabaseList, PrimaryKeyList } kind = Set;
    QString option;   // Set: the option; SelectVariable: the variable, both upper case
    qint64 value = 0; // SET TEXTSIZE's size, SET LOCK_TIMEOUT's milliseconds
    TdsIsolation isolation = TdsIsolation::ReadCommitted; // SET TRANSACTION ISOLATION LEVEL's
    // Use: the database; SelectTable: the name's parts as written (an empty part is the default); Set: the word
    // after the option (ON, OFF), upper case
    QStringList name;
    // SelectTable: WHERE column = value, joined by AND; the value as written, quotes undone.
    QList<std::pair<QString, QString>> conditions;
};

// Parses the statements this server understands; anything else makes the whole batch unknown.
std::optional<QList<SqlStatement>> parseBatch(QStringView sql);

// The SQL text of a batch request.
QString batchText(const QByteArray& payload);

} // namespace rq::test::tds
