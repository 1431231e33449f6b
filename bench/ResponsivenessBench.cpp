// The longest time the window goes without running events while the line extraction reads, searches and
// lists huge values: 1,100 rows of 50,000 units, then 3 rows of 5,000,000 units, every value a hit; read
// through the SQLite driver, then through FreeTDS from our TDS server, where a slow server is added.
//   bench_responsiveness [folder]   the SQLite databases are made there once
//   bench_responsiveness --freetds  the FreeTDS cases alone (the first form runs them as a child process)
#include "BenchWindow.h"
#include "FreeTdsRegistration.h"

#include "logic/results/ResultsList.h"
#include "support/TdsServer.h"
#include "ui/Form2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

using namespace rq;
using bench::BenchWindow;

namespace {

void generate(const QString& path, int rows, int units)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "CREATE TABLE Documents(id INTEGER, body TEXT); BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Documents VALUES (?, ?)", -1, &insert, nullptr);
    const QByteArray body = "hit " + QByteArray(units - 4, 'x');
    for (int i = 0; i < rows; ++i) {
        sqlite3_bind_int(insert, 1, i);
        sqlite3_bind_text(insert, 2, body.constData(), int(body.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Runs the line extraction on a fresh window and gives the longest gap between two ticks of a 1 ms timer.
qint64 longestGap(const ConnectionFields& fields, qsizetype& items)
{
    BenchWindow window(fields);
    Form2& form = window.form;

    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    form.Text1->setText(QStringLiteral("HIT"));
    sinceTick.start();
    ticks.start();
    form.PushButton5_Click();
    longest = std::max(longest, sinceTick.elapsed());
    items = form.results().count();
    return longest;
}

// From "Stop" (Esc) during a scan that waits on its driver until the window is free for a new command: the
// extraction that started the scan has returned.
void measureStop(const QString& what, const ConnectionFields& fields, const std::function<bool()>& waiting)
{
    BenchWindow window(fields);
    Form2& form = window.form;
    const AppContext& context = window.context;
    QElapsedTimer sinceStop;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (sinceStop.isValid() || !context.database.scanning || !waiting())
            return;
        sinceStop.start();
        form.readAgainButton->click();
    });
    user.start(5);
    form.Text1->setText(QStringLiteral("HIT"));
    form.PushButton5_Click();
    const qint64 ms = sinceStop.isValid() ? sinceStop.elapsed() : -1;
    std::printf("%-58s %8lld ms  (target < 1000 ms) %s\n",
                qPrintable(QStringLiteral("from Stop to a free window, %1").arg(what)), static_cast<long long>(ms),
                ms >= 0 && ms < 1000 ? "ok" : "MISSED");
    std::fflush(stdout);
}

struct Case {
    const char* what;
    int rows;
    int units;
};
constexpr Case kManyValues{"1,100 values of 50,000 units", 1100, 50'000};
constexpr Case kHugeValues{"3 values of 5,000,000 units", 3, 5'000'000};

void measure(const QString& what, const ConnectionFields& fields)
{
    qsizetype items = 0;
    const qint64 gap = longestGap(fields, items);
    std::printf("%-58s %8lld ms  (%lld items; target < 50 ms) %s\n",
                qPrintable(QStringLiteral("longest wait for events, line extraction, %1").arg(what)),
                static_cast<long long>(gap), static_cast<long long>(items), gap < 50 ? "ok" : "MISSED");
    std::fflush(stdout); // before a child process writes to the same output
}

void measureSqlite(const QString& folder)
{
    const std::pair<Case, const char*> cases[] = {{kManyValues, "rowquarry-bench-50k.db"},
                                                  {kHugeValues, "rowquarry-bench-5m.db"}};
    for (const auto& [c, file] : cases) {
        const QString path = QDir(folder).filePath(QLatin1String(file));
        if (!QFile::exists(path))
            generate(path, c.rows, c.units);
        measure(QLatin1String(c.what), ConnectionFields{"bench", "1433", "u", "p", path, false});
    }
    // A database another program holds locked: the SQLite driver waits, and takes no cancel.
    const QString locked = QDir(folder).filePath(QStringLiteral("rowquarry-bench-50k.db"));
    sqlite3* locker = nullptr;
    sqlite3_open(locked.toUtf8().constData(), &locker);
    sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    QElapsedTimer waited;
    waited.start();
    measureStop(QStringLiteral("SQLite, a locked database"), ConnectionFields{"bench", "1433", "u", "p", locked, false},
                [&] { return waited.elapsed() > 300; });
    sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(locker);
}

// One server per case, since the pause after each row is the whole server's.
int measureFreeTds()
{
    QTemporaryDir registration;
    if (!registration.isValid() || !bench::registerFreeTds(registration))
        return 1;
    bench::connectAsByDefault(registration);
    const std::pair<Case, int> cases[] = {
        {kManyValues, 0}, {kHugeValues, 0}, {{"200 values of 50,000 units, 20 ms a row", 200, 50'000}, 20}};
    for (const auto& [c, rowDelayMs] : cases) {
        test::TdsTable documents;
        documents.name = QStringLiteral("Documents");
        documents.columns = {{QStringLiteral("id"), test::TdsType::Int},
                             {QStringLiteral("body"), test::TdsType::NVarCharMax}};
        documents.generatedRows = c.rows;
        const QString body = QStringLiteral("hit ") + QString(c.units - 4, QLatin1Char('x'));
        documents.generate = [body](int i) { return QList<test::TdsValue>{qint64(i), body}; };
        test::TdsServer::Options options;
        options.user = QStringLiteral("user");
        options.password = QStringLiteral("password");
        options.databases = {test::TdsDatabase{QStringLiteral("bench"), {documents}}};
        options.rowDelayMs = rowDelayMs;
        test::TdsServer server(options);
        if (!server.listening()) {
            std::fprintf(stderr, "the TDS server could not listen\n");
            return 1;
        }
        measure(QStringLiteral("FreeTDS, %1").arg(QLatin1String(c.what)),
                ConnectionFields{"127.0.0.1", QString::number(server.port()), "user", "password", "bench", false});
    }
    // A server that stops answering in the middle of a table: the driver is cancelled.
    test::TdsTable stalling =
        test::textTable(QStringLiteral("dbo"), QStringLiteral("Stalling"),
                        {QStringLiteral("hit 1"), QStringLiteral("hit 2"), QStringLiteral("never")});
    stalling.stallAfterRows = 2;
    test::TdsServer::Options options;
    options.user = QStringLiteral("user");
    options.password = QStringLiteral("password");
    options.databases = {test::TdsDatabase{QStringLiteral("bench"), {stalling}}};
    test::TdsServer server(options);
    measureStop(QStringLiteral("FreeTDS, a server silent in a table"),
                ConnectionFields{"127.0.0.1", QString::number(server.port()), "user", "password", "bench", false},
                [&] { return server.stalls() > 0; });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--freetds") == 0)
        return measureFreeTds();
    measureSqlite(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath());
    // Both drivers are registered as "SQL Server", and this process has already read the SQLite
    // registration: FreeTDS gets a process of its own.
    QProcess freeTds;
    freeTds.setProcessChannelMode(QProcess::ForwardedChannels);
    freeTds.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--freetds")});
    if (!freeTds.waitForFinished(-1) || freeTds.exitStatus() != QProcess::NormalExit || freeTds.exitCode() != 0) {
        std::fprintf(stderr, "the FreeTDS cases did not run to the end\n");
        return 1;
    }
    return 0;
}
