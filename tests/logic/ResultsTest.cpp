#include "logic/ResultsFile.h"
#include "logic/ResultsList.h"
#include "support/TestEnvironment.h"
#include "ui/WindowPointer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

using namespace rq;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct SaveFixture {
    test::TestEnvironment env;
    QWidget window;
    WindowPointer pointer{window};
    ResultsList list;
    void save() { SaveResults(list, env.fileDialog, env.messages, pointer); }
};

// A device that accepts a few bytes and then fails, like a disk that fills up.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override
    {
        if (size > room_) {
            setErrorString("No space left on device");
            return -1;
        }
        room_ -= size;
        return size;
    }

private:
    qint64 room_;
};

} // namespace

TEST(ResultsFile, WritesEachItemWithCarriageReturnAndLineFeed)
{
    SaveFixture f;
    for (const char* item : {"a", "b", "c"})
        f.list.append(item);
    const QString path = f.env.path("results"); // no extension added
    f.env.fileDialog.answerNext(path);
    int pointerWhileWriting = -1;
    QTimer::singleShot(0, [&] { pointerWhileWriting = f.pointer.value(); }); // runs in the first yield
    f.save();
    EXPECT_EQ(pointerWhileWriting, Hourglass);
    EXPECT_EQ(contents(path), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(f.env.fileDialog.lastOptions().title, "Save");
    EXPECT_EQ(f.env.fileDialog.lastOptions().filters, (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
    EXPECT_TRUE(f.env.messages.shown().isEmpty());
    EXPECT_EQ(f.pointer.value(), Arrow);
    EXPECT_EQ(f.list.count(), 3);

    f.list.clear();
    f.list.append("line\nfeed é");
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    EXPECT_EQ(f.env.messages.texts(), QStringList{"Are you sure you wish to overwrite " + path + " ?"});
    EXPECT_EQ(f.env.messages.shown()[0].buttons, platform::Buttons::YesNo);
    EXPECT_EQ(contents(path), QString("line\nfeed é\r\n").toUtf8());

    f.list.clear();
    f.env.fileDialog.answerNext(f.env.path("empty.txt"));
    f.save();
    EXPECT_EQ(contents(f.env.path("empty.txt")), "");
}

TEST(ResultsFile, CancelAndNoLeaveEverythingAsItWas)
{
    SaveFixture f;
    f.list.append("new");
    f.save(); // cancelled: no answer scripted
    EXPECT_EQ(f.env.fileDialog.timesShown(), 1);
    EXPECT_TRUE(QDir(f.env.path("")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(f.pointer.value(), Default);

    const QString path = f.env.path("old.txt");
    writeFile(path, "old");
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::No);
    f.save();
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(f.pointer.value(), Default);
}

TEST(ResultsFile, AFailedSaveKeepsTheOldFileAndReportsOnce)
{
    SaveFixture f;
    for (int i = 0; i < 100; ++i)
        f.list.append(QString::number(i));
    const QString folder = f.env.path("locked");
    QDir().mkpath(folder);
    const QString path = folder + "/results.txt";
    writeFile(path, "precious");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (QFile probe(folder + "/probe"); probe.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(contents(path), "precious");
    const QStringList reports = test::failureReports(f.env.messages);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("Form2.PushButton6_Click at line 106")) << qPrintable(reports[0]);
    EXPECT_EQ(f.pointer.value(), Arrow);
}

TEST(ResultsFile, ASaveStartedDuringAnotherSavesYieldsLeavesItAlone)
{
    SaveFixture f;
    for (int i = 0; i < 1000; ++i)
        f.list.append(QString::number(i));
    const QString first = f.env.path("first.txt"), second = f.env.path("second.txt");
    f.env.fileDialog.answerNext(first);
    bool nested = false;
    QTimer::singleShot(0, [&] {
        f.env.fileDialog.answerNext(second);
        f.list.append("added during the first save");
        f.save();
        nested = true;
    });
    f.save();
    ASSERT_TRUE(nested);
    EXPECT_EQ(contents(first).count("\r\n"), 1000); // the items as they stood when its writing began
    EXPECT_EQ(contents(second).count("\r\n"), 1001);
    EXPECT_TRUE(f.env.messages.shown().isEmpty());
    EXPECT_EQ(f.pointer.value(), Arrow);
}

TEST(ResultsFile, AWriteThatFailsPartWayThrowsOnce)
{
    QList<QString> items;
    for (int i = 0; i < 50000; ++i)
        items.append(QStringLiteral("item %1").arg(i));
    FailingDevice device(1000);
    EXPECT_THROW(writeResults(device, items, [] { return false; }), Failure);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeResults(buffer, items, [] { return false; });
    EXPECT_EQ(buffer.data().count("\r\n"), 50000);
    EXPECT_TRUE(buffer.data().endsWith("item 49999\r\n"));
}

TEST(ResultsFile, AFileWhoseFolderTakesNoNewFilesStaysWhole)
{
    // Works with any rights: nothing can create a temporary file in /proc.
    const QString path = "/proc/version";
    if (!QFile::exists(path))
        GTEST_SKIP() << "no /proc here";
    const QByteArray before = contents(path);
    SaveFixture f;
    f.list.append("x");
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(test::failureReports(f.env.messages).size(), 1);
    EXPECT_EQ(f.pointer.value(), Arrow);
}
