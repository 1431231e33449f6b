#pragma once

#include <QFile>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

namespace rq::test {

// Root passes every permission check, so a save that must meet a refused permission runs as an ordinary user: as
// root, the process becomes "nobody" for the save and root again afterwards (the saved user stays root).
class OrdinaryUser {
public:
    OrdinaryUser()
    {
        if (::geteuid() != 0)
            return;
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) {
            available_ = false;
            return;
        }
        switching_ = true;
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
    }
    bool available() const { return available_; }
    // Makes the path the ordinary user's own.
    bool own(const QString& path) const
    {
        return !switching_ || ::chown(QFile::encodeName(path).constData(), uid_, gid_) == 0;
    }
    template <class Work> void run(Work&& work) const
    {
        if (switching_) {
            ASSERT_EQ(::setresgid(gid_, gid_, 0), 0);
            ASSERT_EQ(::setresuid(uid_, uid_, 0), 0);
        }
        work();
        if (switching_) {
            ASSERT_EQ(::setresuid(0, 0, 0), 0);
            ASSERT_EQ(::setresgid(0, 0, 0), 0);
        }
    }

private:
    bool available_ = true;
    bool switching_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

} // namespace rq::test
