#include "logic/results/ResultFormats.h"
#include "logic/results/ResultsFile.h"
#include "logic/results/ResultsList.h"
#include "platform/Failure.h"
#include "support/CoreEnvironment.h"
#include "support/Files.h"
#include "support/OrdinaryUser.h"
#include "support/RecordingPointer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringEncoder>
#include <QTimer>
#include <unistd.h>

using namespace rq;
using test::fileBytes;
using test::OrdinaryUser;
using test::writeFile;

namespace {

struct SaveFixture {
    test::CoreEnvironment env;
    test::RecordingPointer pointer;
    ResultsList list;
    void save() { SaveResults({env.messages, "Form2", "PushButton6_Click"}, list, env.fileDialog, pointer); }
};

QString shown(const ResultsList& list, int row) { return list.data(list.index(row, 0), Qt::DisplayRole).toString(); }

QByteArray systemEncoded(const QString& text)
{
    return QStringEncoder(QStringConverter::System, QStringConverter::Flag::Stateless)(text);
}

// A folder in the test's own that takes no new files from the ordinary user, holding one file.
struct LockedFolder {
    QString folder;
    QString file;
    LockedFolder(const test::CoreEnvironment& env, const OrdinaryUser& user, const QByteArray& bytes, bool fileWritable)
        : folder(env.path("locked")), file(folder + "/results.txt")
    {
        QFile::setPermissions(env.path(""), QFile::permissions(env.path("")) | QFile::ExeOther); // reachable
        QDir().mkpath(folder);
        writeFile(file, bytes);
        if (fileWritable)
            EXPECT_TRUE(user.own(file));
        else
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::ExeOther);
    }
    ~LockedFolder() { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
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
    const QString path = f.env.path("results.txt"); // the chosen type's extension added
    f.env.fileDialog.answerNext(f.env.path("results"));
    std::optional<Pointer> pointerWhileWriting;
    QTimer::singleShot(0, [&] { pointerWhileWriting = f.pointer.value(); }); // runs in the first yield
    f.save();
    EXPECT_EQ(pointerWhileWriting, Pointer::Hourglass);
    EXPECT_EQ(fileBytes(path), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(f.env.fileDialog.lastOptions().title, "Save");
    EXPECT_EQ(
        f.env.fileDialog.lastOptions().filters,
        (QStringList{"Text Files (*.txt)", "All Files (*.*)", "Tab-separated, with where each was found (*.tsv)"}));
    EXPECT_TRUE(f.env.messages.shown().isEmpty());
    EXPECT_EQ(f.pointer.value(), Pointer::Arrow);
    EXPECT_EQ(f.list.count(), 3);

    f.list.clear();
    f.list.append("line\nfeed é");
    f.env.fileDialog.answerNext(f.env.path("results"));
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    EXPECT_EQ(f.env.messages.texts(), QStringList{"Are you sure you wish to overwrite " + path + " ?"});
    EXPECT_EQ(f.env.messages.shown()[0].buttons, platform::Buttons::YesNo);
    EXPECT_EQ(fileBytes(path), QString("line\nfeed é\r\n").toUtf8());

    f.list.clear();
    f.env.fileDialog.answerNext(f.env.path("empty.txt"));
    f.save();
    EXPECT_EQ(fileBytes(f.env.path("empty.txt")), "");

    // The third type: tab-separated, with where each item was found, read back whole.
    const QString hostile = "tab\there\r\nnew\\line é";
    f.list.append(hostile, Origin{"Sales", "Or\tders", "Note", 3, {{"OrderID", "7", 0}, {"Line", "a\\b", 0}}});
    f.list.addPlace(hostile);
    f.list.append("plain", Origin{"", "T", "a", 2, {}});
    f.env.fileDialog.answerNext(f.env.path("places.tsv"), 2);
    f.save();
    const QList<QByteArray> lines = fileBytes(f.env.path("places.tsv")).split('\n');
    ASSERT_EQ(lines.size(), 4) << fileBytes(f.env.path("places.tsv")).toStdString();
    EXPECT_EQ(lines[0], "item\tschema\ttable\tcolumn\tkey or row\tfurther places");
    const QStringList first = QString::fromUtf8(lines[1]).split('\t');
    ASSERT_EQ(first.size(), 6);
    EXPECT_EQ(tsvValue(first[0]), hostile);
    EXPECT_EQ(tsvValue(first[2]), "Or\tders");
    EXPECT_EQ(tsvValue(first[4]), "OrderID 7, Line a\\b");
    EXPECT_EQ(first[5], "1");
    EXPECT_EQ(lines[2], "plain\t\tT\ta\trow 2\t0");
    // The same item as a JSON line reads back whole.
    const QJsonObject json = QJsonDocument::fromJson(jsonLine(hostile, f.list.origin(0), 1)).object();
    EXPECT_EQ(json["item"].toString(), hostile);
    EXPECT_EQ(json["key"].toObject()["Line"].toString(), "a\\b");
    EXPECT_EQ(json["furtherPlaces"].toInt(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(jsonLine(u"plain", f.list.origin(1), -1)).object()["row"].toInt(), 2);
}

// Half a surrogate pair cannot be written in UTF-8: every format writes the replacement character instead, and
// keeps whole pairs.
TEST(ResultFormats, HalfASurrogatePairIsTheReplacementCharacterInEveryFormat)
{
    const QString item = "a" + QString(QChar(0xD800)) + "b" + QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString replaced = "a" + QString(QChar::ReplacementCharacter) + "b" + QString::fromUtf8("\xF0\x9F\x98\x80");
    const Origin origin{"dbo", "T", "v", 1, {{"Key", "k" + QString(QChar(0xDC00)), 0}}};
    const QByteArray tsv = tsvLine(item, origin, -1);
    EXPECT_EQ(tsv, (replaced + "\tdbo\tT\tv\tKey k\uFFFD\t\n").toUtf8());
    const QByteArray json = jsonLine(item, origin, -1);
    EXPECT_FALSE(json.contains("\\ud")) << json.toStdString();
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(object["item"].toString(), replaced);
    EXPECT_EQ(object["key"].toObject()["Key"].toString(), "k\uFFFD");
}

// A name without an extension gets the chosen type's, unless a file of that name exists.
TEST(ResultsFile, ANameWithoutAnExtensionGetsTheChosenTypes)
{
    test::CoreEnvironment env;
    writeFile(env.path("kept"), "");
    const struct {
        QString name;
        const char* filter;
        QString saved;
    } rows[] = {
        {"res1", "Text Files (*.txt)", "res1.txt"}, {"res1", kPlacesFilter, "res1.tsv"},
        {"res1", "All Files (*.*)", "res1"},        {"res.1", "Text Files (*.txt)", "res.1"},
        {"kept", "Text Files (*.txt)", "kept"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(withTypeExtension(env.path(row.name), row.filter), env.path(row.saved)) << qPrintable(row.name);
    EXPECT_EQ(withTypeExtension("/dev/null", "Text Files (*.txt)"), "/dev/null");
}

TEST(ResultsFile, CancelAndNoLeaveEverythingAsItWas)
{
    SaveFixture f;
    f.list.append("new");
    f.save(); // cancelled: no answer scripted
    EXPECT_EQ(f.env.fileDialog.timesShown(), 1);
    EXPECT_TRUE(QDir(f.env.path("")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(f.pointer.value(), Pointer::Default);

    const QString path = f.env.path("old.txt");
    writeFile(path, "old");
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::No);
    f.save();
    EXPECT_EQ(fileBytes(path), "old");
    EXPECT_EQ(f.pointer.value(), Pointer::Default);
}

TEST(ResultsFile, AFailedSaveKeepsTheOldFileAndReportsOnce)
{
    const OrdinaryUser user;
    if (!user.available())
        GTEST_SKIP() << "running as root with no user \"nobody\" to take ordinary rights from";
    SaveFixture f;
    for (int i = 0; i < 100; ++i)
        f.list.append(QString::number(i));
    const LockedFolder locked(f.env, user, "precious", false);
    f.env.fileDialog.answerNext(locked.file);
    f.env.messages.answerNext(platform::Answer::Yes);
    user.run([&] { f.save(); });
    EXPECT_EQ(fileBytes(locked.file), "precious");
    const QStringList reports = test::failureReports(f.env.messages);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("Form2.PushButton6_Click at line 106")) << qPrintable(reports[0]);
    EXPECT_EQ(f.pointer.value(), Pointer::Arrow);
}

TEST(ResultsFile, TheFileIsReplacedWhereItsFolderAllowsAndWrittenInPlaceWhereNot)
{
    SaveFixture f;
    f.list.append("a");
    f.list.append("b");

    // Replaced by a new file: another name of the old one keeps the old bytes.
    const QString replaced = f.env.path("replaced.txt");
    writeFile(replaced, "old");
    ASSERT_EQ(::link(QFile::encodeName(replaced).constData(), QFile::encodeName(f.env.path("link.txt")).constData()),
              0);
    f.env.fileDialog.answerNext(replaced);
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    EXPECT_EQ(fileBytes(replaced), "a\r\nb\r\n");
    EXPECT_EQ(fileBytes(f.env.path("link.txt")), "old");

    const OrdinaryUser user;
    if (!user.available())
        GTEST_SKIP() << "running as root with no user \"nobody\" to take ordinary rights from";
    const LockedFolder locked(f.env, user, "old", true);
    f.env.fileDialog.answerNext(locked.file);
    f.env.messages.answerNext(platform::Answer::Yes);
    user.run([&] { f.save(); });
    EXPECT_EQ(fileBytes(locked.file), "a\r\nb\r\n");
    EXPECT_EQ(QDir(locked.folder).entryList(QDir::Files | QDir::Hidden), QStringList{"results.txt"});
    EXPECT_TRUE(test::failureReports(f.env.messages).isEmpty());
    EXPECT_EQ(f.pointer.value(), Pointer::Arrow);
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
    EXPECT_EQ(fileBytes(first).count("\r\n"), 1000); // the items as they stood when its writing began
    EXPECT_EQ(fileBytes(second).count("\r\n"), 1001);
    EXPECT_TRUE(f.env.messages.shown().isEmpty());
    EXPECT_EQ(f.pointer.value(), Pointer::Arrow);
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
    const QByteArray before = fileBytes(path);
    SaveFixture f;
    f.list.append("x");
    f.env.fileDialog.answerNext(path);
    f.env.messages.answerNext(platform::Answer::Yes);
    f.save();
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(test::failureReports(f.env.messages).size(), 1);
    EXPECT_EQ(f.pointer.value(), Pointer::Arrow);
}

TEST(ResultsList, AHugeItemShowsItsBeginningAndIsSavedWhole)
{
    SaveFixture f;
    QString huge;
    huge.reserve(5'000'100);
    for (int line = 0; huge.size() < 5'000'000; ++line)
        huge += QStringLiteral("row %1 \u00e9\n").arg(line);
    f.list.addColumn({});
    f.list.append(huge);
    f.list.append("next");
    const QString head = shown(f.list, 0);
    EXPECT_LE(head.size(), kShownUnits + 1);
    EXPECT_TRUE(head.startsWith(QStringLiteral("row 0 \u00e9\u21b5row 1 \u00e9\u21b5"))) << qPrintable(head.left(40));
    EXPECT_TRUE(head.endsWith(QChar(0x2026)));
    EXPECT_EQ(shown(f.list, 1), "next");

    f.env.fileDialog.answerNext(f.env.path("huge.txt"));
    f.save();
    EXPECT_TRUE(f.list.at(0) == huge);
    // Not EXPECT_EQ: a failure would print megabytes.
    EXPECT_TRUE(fileBytes(f.env.path("huge.txt")) == systemEncoded(huge) + "\r\nnext\r\n");
}

TEST(ResultsList, HugeItemsThatDifferOnlyAtTheirEndAreTwoItems)
{
    const QString common(5'000'000, u'x');
    const QString first = common + u'1', second = common + u'2';
    ResultsList list;
    list.addColumn({});
    list.append(first);
    EXPECT_FALSE(list.contains(second));
    list.append(second);
    ASSERT_EQ(shown(list, 0), shown(list, 1)); // the view cannot tell them apart
    list.removeAt(0);
    EXPECT_FALSE(list.contains(first));
    EXPECT_TRUE(list.contains(second));
    EXPECT_TRUE(list.at(0) == second);
}

TEST(ResultsList, ControlsAndBrokenSurrogatesShowAsSymbolsAndAreSavedAsTheyStand)
{
    static const char16_t raw[] = u"nul\0 hi\xD800 lo\xDC00 ls\u2028 emoji\U0001F600 cr\r lf\n crlf\r\n tab\t <b>x</b>";
    const QString value = QString::fromUtf16(raw, std::size(raw) - 1);
    SaveFixture f;
    f.list.addColumn({});
    f.list.append(value);
    EXPECT_EQ(shown(f.list, 0).toStdString(), "nul\u2400 hi\uFFFD lo\uFFFD ls\u21B5 emoji\U0001F600 cr\u21B5 lf\u21B5 "
                                              "crlf\u21B5 tab\u2409 <b>x</b>");

    f.env.fileDialog.answerNext(f.env.path("controls.txt"));
    f.save();
    EXPECT_TRUE(f.list.at(0) == value);
    // Every unit as it stands; the system encoding writes each broken surrogate as U+FFFD.
    static const char bytes[] =
        "nul\0 hi\xEF\xBF\xBD lo\xEF\xBF\xBD ls\xE2\x80\xA8 emoji\xF0\x9F\x98\x80 cr\r lf\n crlf\r\n "
        "tab\t <b>x</b>\r\n";
    EXPECT_EQ(fileBytes(f.env.path("controls.txt")), QByteArray(bytes, std::size(bytes) - 1));
}

TEST(ResultsList, AShownTextIsCutAtTheLimitButNeverInsideASurrogatePair)
{
    const QString a(kShownUnits - 1, u'a');
    const QString pair = QStringLiteral(u"\U0001F600");
    const struct {
        const char* name;
        QString text;
        QString shown;
    } cases[] = {
        {"exactly the limit", a + u'b', a + u'b'},
        {"one unit over", a + QStringLiteral("bc"), a + u'b' + QChar(0x2026)},
        {"a pair across the limit", a + pair, a + QChar(0x2026)},
        {"a pair ending at the limit", a.left(kShownUnits - 2) + pair + u'c',
         a.left(kShownUnits - 2) + pair + QChar(0x2026)},
    };
    for (const auto& c : cases) {
        const QString got = shownText(c.text);
        EXPECT_TRUE(got == c.shown) << c.name << ": ends \"" << qPrintable(got.right(3)) << '"';
    }
}

// Undo puts back what a removal or a clear took, where it was and with its further places, also after appends;
// a few stretches and a scattered many alike.
TEST(ResultsList, UndoPutsBackWhatARemovalOrAClearTook)
{
    ResultsList list;
    QStringList items;
    for (int i = 0; i < 100; ++i) {
        items << QString::number(i);
        list.append(items.last());
    }
    list.addPlace("4"); // a duplicate of an item that is removed and put back
    const QList<qsizetype> stretches = {3, 4, 5, 50, 99};
    QList<qsizetype> scattered;
    for (qsizetype i = 0; i < 100; i += 2)
        scattered << i;
    for (const QList<qsizetype>& positions : {stretches, scattered}) {
        SCOPED_TRACE(positions.size());
        list.remove(positions);
        EXPECT_EQ(list.count(), 100 - positions.size());
        EXPECT_FALSE(list.contains(QString::number(positions.first())));
        list.append("appended");
        EXPECT_EQ(list.undo(), positions);
        EXPECT_EQ(list.snapshot(), items + QStringList{"appended"});
        EXPECT_TRUE(list.contains("4"));
        EXPECT_EQ(list.rows()[4].furtherPlaces, 1);
        list.removeAt(100);
    }
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.undo().size(), 100);
    EXPECT_EQ(list.snapshot(), items);
    EXPECT_EQ(list.rows()[4].furtherPlaces, 1);
}
