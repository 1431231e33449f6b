#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <sql.h>
#include <sqlext.h>

namespace rq::bench {

// The smallest reader we could write, the anchor the scan is measured against: plain ODBC calls, each
// field of each query's rows read with SQLGetData as wide text and appended to one string. `setup`
// statements run first (the scan's SET TEXTSIZE, where it sends one). Gives the units gathered.
inline qsizetype readMinimal(const QString& connectionString, const QStringList& setup, const QStringList& queries)
{
    const auto wide = [](const QString& text) {
        return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
    };
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT stmt;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    if (!SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, wide(connectionString), SQL_NTS, nullptr, 0, nullptr,
                                         SQL_DRIVER_NOPROMPT))) {
        std::fprintf(stderr, "the minimal reader could not connect\n");
        std::exit(2);
    }
    for (const QString& statement : setup) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLExecDirectW(stmt, wide(statement), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    QString text;
    SQLWCHAR buffer[4096];
    for (const QString& query : queries) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLExecDirectW(stmt, wide(query), SQL_NTS);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                SQLLEN indicator = 0;
                SQLRETURN rc;
                while ((rc = SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &indicator)) != SQL_NO_DATA &&
                       SQL_SUCCEEDED(rc) && indicator != SQL_NULL_DATA) {
                    const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                                      (indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer));
                    text.append(reinterpret_cast<const QChar*>(buffer), more ? 4095 : indicator / 2);
                    if (!more)
                        break;
                }
                text += QLatin1Char('\r');
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return text.size();
}

} // namespace rq::bench
