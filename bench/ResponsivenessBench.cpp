// The longest time the window goes without running events while the line extraction reads, searches and
// lists huge values: 1,100 rows of 50,000 units, then 3 rows of 5,000,000 units, every value a hit.
//   bench_responsiveness [folder]   the databases are made there once
#include "logic/ResultsList.h"
#include "ui/AppContext.h"
#include "ui/Form2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <sqlite3.h>

using namespace rq;

namespace {

// Reports go to standard error: a benchmark must not stop at a modal box.
class PrintedMessages final : public platform::MessageBoxes {
public:
    platform::Answer show(const platform::MessageBox& box) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(box.text));
        return platform::Answer::No;
    }
};

class NoDialog final : public platform::FileDialog {
public:
    QString askSaveFileName(const platform::SaveDialogOptions&) override { return {}; }
};

class NoProcesses final : public platform::ProcessStarter {
public:
    bool startDetached(const platform::StartRequest&) override { return false; }
};

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
qint64 longestGap(const QString& path, qsizetype& items)
{
    PrintedMessages messages;
    NoDialog dialog;
    NoProcesses processes;
    AppContext context{messages, dialog, processes};
    Form2 form(context);
    form.connectionFields = [&] { return ConnectionFields{"bench", "1433", "u", "p", path, false}; };
    form.showConnectionWindow = [] {};
    form.Form_Load();
    form.show();
    QApplication::processEvents();

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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    struct Case {
        const char* what;
        const char* file;
        int rows;
        int units;
    };
    for (const Case& c : {Case{"1,100 values of 50,000 units", "rowquarry-bench-50k.db", 1100, 50'000},
                          Case{"3 values of 5,000,000 units", "rowquarry-bench-5m.db", 3, 5'000'000}}) {
        const QString path = QDir(folder).filePath(QLatin1String(c.file));
        if (!QFile::exists(path))
            generate(path, c.rows, c.units);
        qsizetype items = 0;
        const qint64 gap = longestGap(path, items);
        std::printf("%-58s %8lld ms  (%lld items; target < 50 ms) %s\n",
                    qPrintable(QStringLiteral("longest wait for events, line extraction, %1").arg(c.what)),
                    static_cast<long long>(gap), static_cast<long long>(items), gap < 50 ? "ok" : "MISSED");
    }
    return 0;
}
