#pragma once

// Runs a query through the registered driver, as a user would in another tool, and gives its rows as text.
#include "platform/Odbc.h"

#include <QList>
#include <QStringList>

namespace rq::test {

inline QList<QStringList> queryRows(const QString& connectionString, const QString& sql)
{
    platform::odbc::Connection connection;
    connection.open(connectionString);
    platform::odbc::Statement statement(connection);
    statement.execute(sql);
    QList<QStringList> rows;
    QString buffer;
    while (statement.fetch()) {
        QStringList row;
        for (int column = 1; column <= statement.columnCount(); ++column)
            row << platform::NullToDefault(statement.readText(column, buffer), QStringView(u"<null>")).toString();
        rows << row;
    }
    return rows;
}

} // namespace rq::test
