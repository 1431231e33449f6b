#pragma once

#include <QString>

namespace rq {

// The six connection fields of the connection window, as they stand when they are used.
struct ConnectionFields {
    QString server;
    QString port;
    QString user;
    QString password;
    QString database;
    bool local = false;
};

// "Driver={SQL Server};Server=<server>[,<port>];Database=<db>;Uid=<user>;Pwd=<password>;"
// The port is written, even when empty, unless the connection is local. Values go in as typed; only a
// value holding ';', '{' or '}' is put between braces with each '}' doubled, so that it reaches the
// driver whole and cannot add keys of its own to the string.
QString connectionString(const ConnectionFields& fields);

} // namespace rq
