// The results list: 200,000 appends with their places and duplicate checks into a list that a view shows, one repaint
// of the list with a huge item in view, removing 50,000 selected items from the extraction window, then the save,
// against writing the same bytes with one buffered write.
#include "BenchSupport.h"
#include "BenchWindow.h"

#include "logic/results/ResultsFile.h"
#include "logic/results/ResultsList.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeView>
#include <functional>

using namespace rq;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList items;
    for (int i = 0; i < 200'000; ++i)
        items << QStringLiteral("Customer %1 <customer%1@example.com> ordered item %2").arg(i).arg(i % 977);

    ResultsList list;
    QTreeView view;
    view.setModel(&list);
    view.setUniformRowHeights(true);
    list.addColumn({});
    list.addColumn({});
    view.show();
    const QString schema = QStringLiteral("Sales"), table = QStringLiteral("Customer"), column = QStringLiteral("Note");
    const double appends = bench::medianSeconds(1, [&] {
        qint64 row = 0;
        for (const QString& item : items) {
            if (!list.contains(item))
                list.append(item, Origin{schema, table, column, ++row, {}}); // each with the place it came from
        }
        QApplication::processEvents();
    });
    std::printf("%-58s %8.3f s  (target well under 1 s) %s\n",
                "200,000 appends with places and duplicate checks, list shown", appends,
                appends < 0.5 ? "ok" : "MISSED");

    {
        // The list as the extraction window sets it up, with a 5,000,000-unit value (a line feed every 80
        // units) in its first row and the 200,000 ordinary items after it.
        QString huge;
        huge.reserve(5'000'000);
        while (huge.size() < 5'000'000)
            huge += QString(79, QLatin1Char('h')) + QLatin1Char('\n');
        ResultsList withHuge;
        withHuge.addColumn({});
        withHuge.addColumn({});
        withHuge.append(huge);
        for (const QString& item : items)
            withHuge.append(item);
        QTreeView shown;
        shown.setGeometry(twipsRect(100, 240, 3735, 1935));
        shown.setModel(&withHuge);
        shown.setRootIsDecorated(false);
        shown.setUniformRowHeights(true);
        shown.setItemsExpandable(false);
        shown.header()->setStretchLastSection(false);
        shown.setColumnWidth(0, twips(3000));
        shown.setColumnWidth(1, 0);
        shown.show();
        QApplication::processEvents();
        const double repaint = bench::medianSeconds(3, [&] { shown.viewport()->repaint(); });
        std::printf("%-58s %8.2f ms (target under 20 ms) %s\n", "one repaint, 5,000,000-unit item in view",
                    repaint * 1000, repaint < 0.020 ? "ok" : "MISSED");
    }

    {
        // 50,000 items in the extraction window, a selection of them removed with Delete and put back with Ctrl+Z
        // (not timed): all of them from the last row (End, Ctrl+A, Delete), all from the first, every other one.
        bench::BenchWindow window(ConnectionFields{});
        Form2& form = window.form;
        for (int i = 0; i < 50'000; ++i)
            form.results().append(items[i]);
        QApplication::processEvents();
        QTreeView& listView = *form.ListView1;
        const auto removal = [&](const char* what, const std::function<void()>& select) {
            std::vector<double> times;
            for (int run = 0; run < 3; ++run) {
                select();
                QApplication::processEvents();
                times.push_back(bench::seconds([&] {
                    form.ListView1_KeyDown(Qt::Key_Delete);
                    QApplication::processEvents();
                }));
                form.undoRemoval();
                QApplication::processEvents();
            }
            const double removed = bench::median(times);
            std::printf("%-58s %8.3f s  (target well under 1 s) %s\n", what, removed, removed < 0.5 ? "ok" : "MISSED");
        };
        removal("removing 50,000 items, current row last (End, Ctrl+A)", [&] {
            listView.setCurrentIndex(form.results().index(49'999, 0));
            listView.selectAll();
        });
        removal("removing 50,000 items, current row first", [&] {
            listView.setCurrentIndex(form.results().index(0, 0));
            listView.selectAll();
        });
        removal("removing every other item of 50,000 (25,000 stretches)", [&] {
            QItemSelection every;
            for (int row = 0; row < 50'000; row += 2)
                every.select(form.results().index(row, 0), form.results().index(row, 1));
            listView.setCurrentIndex(form.results().index(49'998, 0));
            listView.selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
        });
    }

    QTemporaryDir dir;
    const QList<QString> snapshot = list.snapshot();
    const double save = bench::medianSeconds(5, [&] {
        QSaveFile file(dir.filePath("results.txt"));
        file.open(QIODevice::WriteOnly);
        writeResults(file, snapshot, [] { return false; });
        file.commit();
    });
    const double oneWrite = bench::medianSeconds(5, [&] {
        QByteArray bytes;
        QStringEncoder encoder(QStringConverter::System);
        for (const QString& item : snapshot) {
            bytes += encoder(item);
            bytes += "\r\n";
        }
        QFile file(dir.filePath("plain.txt"));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    });
    bench::report("save of 200,000 items", save, oneWrite, "encode all, one write", 2.0);
    return 0;
}
