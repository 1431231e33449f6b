#pragma once

#include <QElapsedTimer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace rq {

namespace platform::odbc {
class Connection;
class Statement;
} // namespace platform::odbc

// Stops a scan from any thread. The reading thread looks at the flag between rows and between tables;
// where the driver allows it (SQL Server's drivers do), the statement it is running is cancelled as well,
// so that a driver waiting on a server that does not answer returns. The cancel is sent from a thread of
// its own: the thread that asks to stop never waits on a driver. A server that ignores the cancel and goes
// on sending would keep the driver reading for ever: when the reading thread still holds its connection a
// few seconds after the cancel, that thread breaks the link. Made with std::make_shared.
class ScanControl : public std::enable_shared_from_this<ScanControl> {
public:
    void stop();
    bool stopRequested() const { return stopped_; }
    // Milliseconds since stop() was first called; -1 before.
    qint64 sinceStop() const;

    // The reading thread's side.
    void markOpened() { opened_ = true; }
    bool opened() const { return opened_; }
    void allowCancel();
    // The statement now running, or nullptr; a statement must be withdrawn before it is freed. Gives the one
    // that ran before.
    platform::odbc::Statement* setRunning(platform::odbc::Statement* statement);
    // The reading thread's connection, or nullptr once it is done with it; withdrawn before it is closed.
    void setConnection(const platform::odbc::Connection* connection);

private:
    std::atomic<bool> stopped_ = false;
    std::atomic<bool> opened_ = false;
    std::atomic<qint64> stoppedAt_ = -1;
    std::atomic<bool> cancelAllowed_ = false;
    std::mutex statementMutex_; // the running statement is not freed while a cancel is in flight
    platform::odbc::Statement* running_ = nullptr;
    std::mutex connectionMutex_; // nor the connection while its link is being broken
    std::condition_variable released_;
    const platform::odbc::Connection* connection_ = nullptr;
};

// The reading thread's connection, offered for breaking while the thread works with it.
class ConnectionInUse {
public:
    ConnectionInUse(ScanControl& control, const platform::odbc::Connection& connection) : control_(control)
    {
        control_.setConnection(&connection);
    }
    ~ConnectionInUse() { control_.setConnection(nullptr); }
    ConnectionInUse(const ConnectionInUse&) = delete;
    ConnectionInUse& operator=(const ConnectionInUse&) = delete;

private:
    ScanControl& control_;
};

// The statement a reading thread runs, offered for cancelling while it lives; the one it interrupts (a batch
// whose results are still being read) is offered again after it.
class RunningStatement {
public:
    RunningStatement(ScanControl& control, platform::odbc::Statement& statement)
        : control_(control), before_(control_.setRunning(&statement))
    {
    }
    ~RunningStatement() { control_.setRunning(before_); }
    RunningStatement(const RunningStatement&) = delete;
    RunningStatement& operator=(const RunningStatement&) = delete;

private:
    ScanControl& control_;
    platform::odbc::Statement* before_;
};

} // namespace rq
