#pragma once

// SQL Server's errors as this server sends them: number, severity, state and text, word for word.
#include "support/TdsServer.h"

namespace rq::test::tds {

struct ServerError {
    quint32 number = 0;
    quint8 severity = 16;
    quint8 state = 1;
    QString text;
};

// The table's failure: failAfterRows alone stands for DataMovement.
TdsFailure failureOf(const TdsTable& table);
// The error of a failure that comes after rows: DataMovement or Conversion.
ServerError rowsFailure(TdsFailure failure);

ServerError permissionDenied(const TdsTable& table, const QString& database);
ServerError invalidObject(const QString& name); // the name as the statement wrote it
ServerError lockTimeout();
ServerError snapshotNotAllowed(const QString& database);
ServerError noAccess(const QString& login, const QString& database);
ServerError offline(const QString& database);
ServerError singleUserTaken(const QString& database);

} // namespace rq::test::tds
