#pragma once

// A terminal for a child process to write to, as someone watching would have it, and what it showed.
#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace rq::test {

class PseudoTerminal {
public:
    PseudoTerminal()
    {
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        path_ = QString::fromLocal8Bit(ptsname(master_));
        held_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY); // keeps the terminal up after the child
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        if (held_ >= 0)
            ::close(held_);
        if (master_ >= 0)
            ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ready() const { return held_ >= 0; }
    // The terminal's device, for a child's standard output or error.
    const QString& path() const { return path_; }
    // Everything written to it so far (line feeds as the terminal shows them: CR LF).
    QByteArray shown()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;)
            shown_.append(buffer, n);
        return shown_;
    }

private:
    int master_ = posix_openpt(O_RDWR | O_NOCTTY);
    int held_ = -1;
    QString path_;
    QByteArray shown_;
};

} // namespace rq::test
