#pragma once

#include "platform/Failure.h"
#include "platform/MessageBoxes.h"

#include <QString>

namespace rq {

// Where the failure report sends the user.
inline constexpr auto kSupportAddress = "support@rowquarry.example";

// The full text of a failure report, as the user sees it.
QString failureReportText(const QString& description, const QString& form, const QString& procedure, int step);
// "in Tabelvane2021/08/31.<form>.<procedure> "
QString failureLocation(const QString& form, const QString& procedure);

// Runs a user command or window load as numbered steps (100, 102, ...). A failure inside a step is
// reported once, naming the step, and the command goes on with its next step, also inside loops.
class ReportingProcedure {
public:
    ReportingProcedure(platform::MessageBoxes& messages, QString form, QString procedure)
        : messages_(messages), form_(std::move(form)), procedure_(std::move(procedure))
    {
    }

    // A step may hold steps of its own (a loop body); its own number holds again once they are done.
    template <class Body> void step(int number, Body&& body)
    {
        const int enclosing = current_;
        current_ = number;
        try {
            body();
        } catch (...) {
            report(describeCurrentException());
        }
        current_ = enclosing;
    }

    void report(const QString& description);
    platform::MessageBoxes& messages() const { return messages_; }

private:
    platform::MessageBoxes& messages_;
    QString form_;
    QString procedure_;
    int current_ = 0;
};

} // namespace rq
