// Where the results go, as the shell's `>` would send them: regular files replaced whole, everything else
// written where it is, and the system's own reasons when it refuses.
#include "platform/ReplacementFile.h"
#include "platform/FileSystem.h"
#include "support/CoreEnvironment.h"
#include "support/Files.h"
#include "support/OrdinaryUser.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using namespace rq;
using platform::ReplacementFile;
using test::fileBytes;
using test::writeFile;

namespace {

// Writes `bytes` through a ReplacementFile; empty on success, else the error it gave.
QString writeThrough(const QString& target, const QByteArray& bytes)
{
    ReplacementFile file(target);
    if (!file.open())
        return file.errorString();
    if (!platform::writeFully(file.device(), bytes.constData(), bytes.size()))
        return file.device().errorString();
    return file.commit() ? QString() : file.errorString();
}

mode_t modeOf(const QString& path)
{
    struct stat status = {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mode;
}

} // namespace

TEST(ReplacementFile, DevicesFifosAndDescriptorsAreWrittenInPlace)
{
    test::CoreEnvironment env;
    // A FIFO keeps its reader, who gets every byte.
    const QString fifo = env.path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] { received = fileBytes(fifo); });
    EXPECT_EQ(writeThrough(fifo, "to the reader\n"), "");
    reader.join();
    EXPECT_EQ(received, "to the reader\n");
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));

    // /proc/self/fd/N names whatever the descriptor is, here a pipe: only the system can follow it.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    EXPECT_EQ(writeThrough(QStringLiteral("/proc/self/fd/%1").arg(pipe[1]), "through the pipe"), "");
    char buffer[64] = {};
    EXPECT_EQ(::read(pipe[0], buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(pipe[0]);
    ::close(pipe[1]);

    // A full device says why, in the system's words.
    EXPECT_EQ(writeThrough("/dev/full", "x"), "No space left on device");

    if (::geteuid() != 0)
        GTEST_SKIP() << "only root makes device files";
    const QString null = env.path("null");
    ASSERT_EQ(::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    EXPECT_EQ(writeThrough(null, "gone"), "");
    EXPECT_TRUE(S_ISCHR(modeOf(null)));
}

TEST(ReplacementFile, RegularFilesAreReplacedWholeKeepingTheirModeOrRefusedAsTheShellRefuses)
{
    test::CoreEnvironment env;
    const QString folder = env.path("out");
    QDir().mkpath(folder);
    const auto leftovers = [&] {
        return QDir(folder)
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
            .join(", ")
            .toStdString();
    };

    // Read-only for everyone: root may write it, as with `>`, and it stays read-only.
    const QString readOnly = writeFile(folder + "/read-only.txt", "old");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    if (::geteuid() == 0) {
        EXPECT_EQ(writeThrough(readOnly, "new"), "");
        EXPECT_EQ(fileBytes(readOnly), "new");
        EXPECT_EQ(modeOf(readOnly) & 07777, 0444u);
    }
    const test::OrdinaryUser user;
    if (user.available()) {
        QFile::setPermissions(env.path(""), QFile::permissions(env.path("")) | QFile::ExeOther);
        ::chmod(QFile::encodeName(folder).constData(), 0777); // the folder would take a new file from anyone
        QString refused;
        user.run([&] { refused = writeThrough(readOnly, "not allowed"); });
        EXPECT_EQ(refused, "Permission denied");
        EXPECT_NE(fileBytes(readOnly), "not allowed");
    }

    // A legal name near the folder's limit, and a loop of links.
    const QString longName = folder + "/" + QString(244, QLatin1Char('n'));
    EXPECT_EQ(writeThrough(longName, "long"), "");
    EXPECT_EQ(fileBytes(longName), "long");
    ::symlink("loop-b", QFile::encodeName(folder + "/loop-a").constData());
    ::symlink("loop-a", QFile::encodeName(folder + "/loop-b").constData());
    EXPECT_EQ(writeThrough(folder + "/loop-a", "x"), "Too many levels of symbolic links");
    EXPECT_TRUE(QFileInfo(folder + "/loop-a").isSymLink());
    EXPECT_EQ(leftovers(), "loop-a, loop-b, " + QString(244, QLatin1Char('n')).toStdString() + ", read-only.txt");

    // A disk that fills up: the old file stays, the new one goes, and the reason is the system's.
    const QString small = env.path("small");
    QDir().mkpath(small);
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "no tmpfs to fill here (mounting needs root)";
    const QString kept = writeFile(small + "/kept.txt", "old");
    EXPECT_EQ(writeThrough(kept, QByteArray(64 * 1024, 'x')), "No space left on device");
    EXPECT_EQ(fileBytes(kept), "old");
    EXPECT_EQ(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
    ::umount(QFile::encodeName(small).constData());
}
