#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/scan/DatabaseText.h"
#include "logic/search/ExtractionSession.h"
#include "ui/StatusLabel.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTimer;
class QTreeView;

namespace rq {

struct AppContext;
class GrowingLayout;
class ResultsColumns;
class Matcher;
class ResultsList;
class ValuePane;
class WindowPointer;

// The extraction window: the two extraction commands, the results list and its file, and the way back
// to the connection window.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(AppContext& context, QWidget* parent = nullptr);
    ~Form2() override;

    WindowPointer& pointer() const { return *pointer_; }
    ResultsList& results() const { return *results_; }
    AppContext& context() const { return context_; }

    void Form_Load();
    void PushButton5_Click(); // line "Extract"
    void PushButton1_Click(); // between "Extract"
    void PushButton6_Click(); // "Save Results"
    void PushButton9_Click(); // "Clear List"
    void PushButton2_Click(); // "Switch SQL Server Database"
    void readAgainOrStop();   // "Read Again", or "Stop" while the database is being read
    void Tables_Click();      // "Tables...": its button, the list's menu, or the "left out" count
    void ListView1_KeyDown(int key);
    void ListView1_DblClick();
    void undoRemoval(); // Ctrl+Z: the last removal or "Clear List" undone

    // Reads the database into the program's text as the extraction commands need it, showing the counts
    // while it reads. False when a command run meanwhile took the text over for another database.
    bool gatherText(Gathering when);
    // Searches the blocks on the search threads, Esc or "Stop" ending it, then the tables the memory budget left
    // unkept, read again and searched as they arrive.
    void searchBlocks(ExtractionSession& session, const std::vector<TextBlockPtr>& blocks);
    // The tables to read, as chosen for the database the connection fields name.
    TableChoice tableChoice() const;
    // The status line after a command: how the text was read, then what the command found. A command that
    // searched the text of a read still going on (`rowsSoFar`) says so instead.
    void showOutcome(const QString& found, std::optional<qsizetype> rowsSoFar = std::nullopt);
    // Scrolls the list to the first item a command added (-1: none).
    void showFirstNew(qsizetype row);
    // The frame's title with the number of items: "Results (1,204 items)".
    void showCount();
    // The search whose matches the value pane highlights: the last extraction's, kept whatever the boxes hold
    // since (none after an extraction between markers: its items are what lay between them).
    void setLastSearch(std::shared_ptr<const Matcher> search, const QString& searchText);
    // The value pane shows the current item, or nothing.
    void showValue();
    // The value pane shown or hidden, as the list's menu does it.
    void showValuePane(bool shown);

    // The window's place and size as the user left them last time; false where none was kept, or where it
    // would lie off every screen.
    bool restorePlace();
    // Before the window closes with results no save has written: asks whether to save them (unless the settings
    // say not to ask), and saves. True when the window may close.
    bool readyToClose();

    // The connection window's fields as they stand now, and the way back to that window.
    std::function<ConnectionFields()> connectionFields;
    std::function<void()> showConnectionWindow;

    QGroupBox* Frame1;
    QLineEdit* Text1; // search text
    QPushButton* PushButton5;
    QGroupBox* Frame4;
    QLabel* Label3;
    QLineEdit* Text3; // start marker
    QLabel* Label2;
    QLineEdit* Text4;               // end marker
    QCheckBox* Check3;              // "Keep Duplicates"
    QCheckBox* matchCaseBox;        // "Match case" of the line extraction
    QCheckBox* wholeWordBox;        // "Whole word"
    QCheckBox* regexBox;            // "Regex"
    QCheckBox* markersMatchCaseBox; // "Match case" of the markers
    QPushButton* PushButton1;
    QGroupBox* Frame2;
    QTreeView* ListView1;
    QSplitter* resultsSplitter; // the list above, the value pane below
    ValuePane* valuePane;
    QPushButton* PushButton6;
    QPushButton* PushButton9;
    QPushButton* PushButton2;
    StatusLabel* Label1;          // status line
    StatusLabel* scanCountsLabel; // counts while the database is read
    QPushButton* tablesButton;    // "Tables..."
    QPushButton* readAgainButton;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildActions();
    void removeSelectedItem();
    void selectAfterRemoval(qsizetype firstRemoved);
    QList<qsizetype> selectedPositions() const;
    void copySelectedItems();
    void copyQuery();
    void showPlaces(bool shown);
    void stopScan();
    void showScanning(bool scanning);
    void showPassedOver(const ScanOutcome& outcome);
    bool saveResults();    // true when the list was written
    void rememberInputs(); // each search text and option written to the settings as it changes
    void restoreInputs();  // ... and put back, with the columns' widths
    void savePlace() const;

    AppContext& context_;
    std::unique_ptr<GrowingLayout> layout_;
    ResultsList* results_;
    ResultsColumns* columns_ = nullptr;
    QTimer* countTimer_ = nullptr; // shows the count once a burst of appends has passed
    QAction* showWhereFound_ = nullptr;
    QAction* showValuePane_ = nullptr;
    std::shared_ptr<const Matcher> lastSearch_;
    QString lastSearchText_;
    QMenu* listMenu_ = nullptr; // the results list's menu
    WindowPointer* pointer_;
    bool restoring_ = false;          // the load is putting the stored inputs back
    bool searchedDuringRead_ = false; // the status line says what a command searched while the read goes on
    int searches_ = 0;                // running, nested in each other's yields
    bool searchStopped_ = false;      // the user asked the running searches to stop
};

} // namespace rq
