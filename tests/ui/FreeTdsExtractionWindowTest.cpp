// The extraction window reading SQL Server's protocol through the real FreeTDS driver: every matching line
// of the rows read, and a window that keeps running events however slow or silent the server.
#include "logic/results/ResultsList.h"
#include "logic/scan/DatabaseText.h"
#include "support/EventGaps.h"
#include "support/ExtractionWindow.h"
#include "support/TdsServing.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"
#include "ui/TablesDialog.h"
#include "ui/WindowPointer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace rq;
using test::fieldsFor;
using test::serving;
using test::TdsServer;
using test::TdsTable;
using test::TdsType;
using test::TdsValue;
using test::textTable;

namespace {

// A loaded extraction window whose connection fields point at a TdsServer; the server can be dropped
// part way through a test.
struct TdsWindow : test::LoadedExtractionWindow {
    std::unique_ptr<TdsServer> server;

    explicit TdsWindow(TdsServer::Options options) : server(std::make_unique<TdsServer>(std::move(options)))
    {
        fields = fieldsFor(*server);
    }
};

// What a line extraction lists from `text`: each piece between carriage returns holding `search`.
QStringList linesHolding(const QString& text, const QString& search)
{
    QStringList lines;
    for (const QString& piece : text.split(QLatin1Char('\r')))
        if (piece.contains(search, Qt::CaseInsensitive))
            lines.append(piece);
    return lines;
}

} // namespace

TEST(FreeTdsScan, LineExtractionListsEveryMatchingLineOfTheDescribedRows)
{
    TdsTable customers;
    customers.name = QStringLiteral("Customers");
    customers.columns = {{QStringLiteral("Id"), TdsType::Int},
                         {QStringLiteral("Name"), TdsType::NVarChar, 100},
                         {QStringLiteral("Note"), TdsType::NVarCharMax},
                         {QStringLiteral("City"), TdsType::VarChar, 50}};
    customers.rows = {
        {QVariant(qint64(1)), QVariant("Quarry Road Ltd"), std::nullopt, QVariant("Bath")},
        {QVariant(qint64(2)), QVariant("Stone & Co"), QVariant("ordered from the quarry\r\nsecond line QUARRY"),
         QVariant("Leeds")},
        {QVariant(qint64(3)), QVariant("Нет"), QVariant("no match here"), std::nullopt},
        {QVariant(qint64(4)), QVariant("<b>quarry</b>"), QVariant("quarry\rquarry\r"), QVariant("quarry town")},
    };
    TdsTable salesCustomers = textTable("Sales", "Customers", {"quarryman", "farmer"});
    TdsTable broken = textTable("Sales", "Broken", {"quarry broken 1", "quarry broken 2", "quarry broken 3"});
    broken.failAfterRows = 2;
    TdsTable generated;
    generated.schema = QStringLiteral("Sales");
    generated.name = QStringLiteral("Generated");
    generated.columns = {{QStringLiteral("Id"), TdsType::BigInt}, {QStringLiteral("Item"), TdsType::NVarChar, 60}};
    generated.generatedRows = 20'000;
    generated.generate = [](int i) {
        return QList<TdsValue>{QVariant(qint64(i) * 1000),
                               QVariant(QStringLiteral("item %1%2").arg(i).arg(i % 97 ? "" : " from the QUARRY"))};
    };
    TdsTable view = textTable("dbo", "QuarryView", {"quarry seen through a view"});
    view.type = QStringLiteral("VIEW");
    // Described in the order the server lists them: by schema, then name.
    const QList<TdsTable> tables = {customers, broken, salesCustomers, generated, view};

    // The expectation, from the described rows alone: each field's text and a carriage return.
    QString text;
    for (const TdsTable& table : tables) {
        if (table.type != QLatin1String("TABLE"))
            continue;
        const int rows = table.rows.size() + table.generatedRows;
        for (int r = 0; r < (table.failAfterRows >= 0 ? table.failAfterRows : rows); ++r) {
            const QList<TdsValue> row = r < table.rows.size() ? table.rows[r] : table.generate(r - table.rows.size());
            for (const TdsValue& field : row)
                text += (field ? field->toString() : QString()) + u'\r';
        }
    }
    const QStringList expected = linesHolding(text, "quarry");
    ASSERT_GT(expected.size(), 200);

    TdsWindow w(serving(tables));
    w.extractLines("Quarry");
    EXPECT_EQ(w.items(), expected);
    EXPECT_TRUE(test::failureReports(w.env.messages).isEmpty());
    ASSERT_EQ(w.env.messages.shown().size(), 1);
    EXPECT_TRUE(w.env.messages.shown()[0].reason.startsWith("Sales.Broken: "))
        << w.env.messages.shown()[0].reason.toStdString();
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);

    w.extractLines("Quarry"); // the text is complete: no second scan, no second notice
    EXPECT_EQ(w.items(), expected + expected);
    EXPECT_EQ(w.env.messages.shown().size(), 1);
    EXPECT_EQ(w.server->accepted(), 1);
}

TEST(FreeTdsScan, ASlowServerLeavesTheWindowRunningAndACommandInItsYieldsUsesTheTextSoFar)
{
    QStringList values;
    for (int i = 1; i <= 60; ++i)
        values << QStringLiteral("slow quarry row %1").arg(i);
    TdsServer::Options options = serving({textTable("dbo", "Slow", values), textTable("dbo", "Tail", {"quarry tail"})});
    options.rowDelayMs = 10;
    TdsWindow w(options);

    // Once a few rows have arrived, a second extraction runs inside the scan's yields.
    QString seenByNested;
    QString statusOfTheNested;
    bool scanningThen = false;
    int nestedRuns = 0;
    QTimer nested;
    QObject::connect(&nested, &QTimer::timeout, [&] {
        const DatabaseTextState& database = w.env.context.database;
        if (nestedRuns > 0 || !database.sealWriting)
            return;
        database.sealWriting(); // the rows so far, as a search during the read takes them
        if (database.rows < 5)
            return;
        ++nestedRuns;
        seenByNested = wholeText(database.DatabaseText);
        scanningThen = database.scanning;
        w.form.PushButton5->click();
        statusOfTheNested = w.form.Label1->text();
    });
    nested.start(5);

    test::EventGaps gaps;
    w.extractLines("quarry");
    const QString all = wholeText(w.env.context.database.DatabaseText);
    EXPECT_EQ(nestedRuns, 1);
    EXPECT_TRUE(scanningThen);
    EXPECT_TRUE(all.startsWith(seenByNested));
    EXPECT_EQ(w.items(), linesHolding(seenByNested, "quarry") + linesHolding(all, "quarry"));
    // It says what it searched, not what an earlier read held.
    EXPECT_EQ(statusOfTheNested, QStringLiteral("Searched %1 rows read so far; reading goes on. %2 lines found.")
                                     .arg(seenByNested.count(u'\r'))
                                     .arg(linesHolding(seenByNested, "quarry").size()));
    EXPECT_EQ(linesHolding(all, "quarry"), values + QStringList{"quarry tail"});
    EXPECT_EQ(w.server->accepted(), 1); // no second scan
    EXPECT_EQ(w.server->batches().filter("Slow").size(), 1);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
    EXPECT_GT(gaps.ticks, 10); // events ran all through the slow read, not once at its end
    gaps.log("slow server");
}

// Esc while the server stalls in the middle of a table: the driver is cancelled, the rows read so far are
// searched, the status line says the text is partial, and the next extraction does not read again.
TEST(FreeTdsScan, EscStopsAScanStalledInATableKeepingWhatWasRead)
{
    TdsTable stalled = textTable("dbo", "Second", {"quarry 1", "quarry 2", "quarry 3", "quarry 4", "never"});
    stalled.stallAfterRows = 3;
    TdsWindow w(serving({textTable("dbo", "First", {"first quarry"}), stalled, textTable("dbo", "Third", {"third"})}));
    w.form.show();
    QApplication::setActiveWindow(&w.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    // Esc once the server has been silent a while: time enough for the driver to hand over the rows before.
    QString countsWhileStalled;
    QElapsedTimer silent;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!countsWhileStalled.isEmpty() || w.server->stalls() == 0)
            return;
        if (!silent.isValid())
            silent.start();
        if (silent.elapsed() < 200)
            return;
        countsWhileStalled = w.form.scanCountsLabel->text();
        QTest::keyClick(w.form.Text1, Qt::Key_Escape);
    });
    user.start(5);
    w.extractLines("quarry");
    EXPECT_TRUE(countsWhileStalled.startsWith("Table 2 of 3, ")) << countsWhileStalled.toStdString();
    EXPECT_TRUE(countsWhileStalled.endsWith(" s. Esc stops.")) << countsWhileStalled.toStdString();
    EXPECT_EQ(w.items(), (QStringList{"first quarry", "quarry 1", "quarry 2", "quarry 3"}));
    EXPECT_GE(w.server->attentions(), 1); // the driver was cancelled, not merely left waiting
    EXPECT_TRUE(w.form.Label1->text().startsWith("Stopped after 1 of 3 tables, 4 rows, "))
        << w.form.Label1->text().toStdString();
    EXPECT_TRUE(w.form.Label1->text().endsWith(", partial. 4 lines found.")) << w.form.Label1->text().toStdString();
    EXPECT_EQ(w.form.readAgainButton->text(), "Read Again (F5)");
    EXPECT_EQ(w.form.scanCountsLabel->text(), "");

    w.extractLines("quarry"); // the partial text serves until a new read is asked for
    EXPECT_EQ(w.items().size(), 8);
    EXPECT_EQ(w.server->accepted(), 1);
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
    EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
}

TEST(FreeTdsScan, ClosingTheWindowDuringAStalledScanEndsTheProgramAtOnce)
{
    struct StallCase {
        const char* name;
        TdsServer::Fault fault;
        bool (*stalled)(const TdsServer&); // the driver is now waiting for an answer that never comes
    };
    const StallCase cases[] = {
        {"no answer after login", TdsServer::Fault::SilentAfterLogin,
         [](const TdsServer& s) { return !s.batches().isEmpty(); }},
        {"no answer to the login", TdsServer::Fault::NoLoginAnswer,
         [](const TdsServer& s) { return !s.logins().isEmpty(); }},
    };
    for (const StallCase& c : cases) {
        SCOPED_TRACE(c.name);
        TdsWindow w(serving({textTable("dbo", "T", {"never seen"})}, c.fault));
        // Closes the window once the driver waits, then after many more ticks drops the connection, which
        // ends the scan with a failure.
        int endCallsRightAfterClose = -1;
        int ticksSinceClose = 0;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!w.server)
                return;
            if (endCallsRightAfterClose < 0 && c.stalled(*w.server)) {
                w.form.close();
                endCallsRightAfterClose = w.env.endProgramCalls;
            } else if (endCallsRightAfterClose >= 0 && ++ticksSinceClose == 40) {
                w.server.reset();
            }
        });
        user.start(5);

        test::EventGaps gaps;
        w.extractLines("seen");
        EXPECT_EQ(endCallsRightAfterClose, 1);
        EXPECT_EQ(w.env.endProgramCalls, 1);
        EXPECT_FALSE(w.server); // the scan ended only when the connection dropped
        EXPECT_EQ(test::failureReports(w.env.messages).size(), 1);
        EXPECT_TRUE(w.items().isEmpty());
        EXPECT_FALSE(w.env.context.database.complete); // gathered again next time
        EXPECT_FALSE(w.env.context.database.scanning);
        EXPECT_EQ(w.form.pointer().value(), Pointer::Default);
        EXPECT_GT(gaps.ticks, 20);
        gaps.log(c.name);
    }
}

// "Tables..." against a server that never lists them: the dialog opens at once and says it is listing, the
// window keeps running events, and Esc gives the listing up with nothing reported.
TEST(FreeTdsScan, TheTablesDialogSaysItIsListingAndEscGivesUp)
{
    TdsWindow w(serving({textTable("dbo", "T", {"x"})}, TdsServer::Fault::SilentAfterLogin));
    QString said;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TablesDialog*>(QApplication::activeModalWidget());
        if (!dialog || w.server->logins().isEmpty())
            return;
        said = dialog->explanation->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    user.start(20);
    w.form.Tables_Click();
    EXPECT_EQ(said, "Listing the databases and tables of 127.0.0.1...");
    EXPECT_TRUE(w.env.messages.shown().isEmpty());
}
