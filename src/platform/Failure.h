#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace rq {

// A run-time failure with a description worded for the user; the failure report shows the description
// as its first line.
class Failure : public std::exception {
public:
    explicit Failure(QString description) : description_(std::move(description)), utf8_(description_.toUtf8()) {}
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString description_;
    QByteArray utf8_;
};

// The description of the exception in flight, for code inside a catch block.
QString describeCurrentException();

} // namespace rq
