#pragma once

#include "logic/connection/ConnectionString.h"
#include "logic/connection/OpenConnection.h"

#include <QWidget>
#include <functional>

class QCheckBox;
class QEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rq {

struct AppContext;
class WindowPointer;

// The connection window: where the database is and how to log in. Every change of a field is written
// to the settings store at once.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppContext& context, QWidget* parent = nullptr);

    ConnectionFields fields() const;
    WindowPointer& pointer() const { return *pointer_; }

    void Form_Load();
    void PushButton2_Click(); // "Next >"
    void PushButton3_Click(); // "Test Connection"
    void PushButton5_Click(); // "Help"
    void Security_Click();    // "Security...": the choices about encryption

    // Shows the extraction window, loading it on its first use.
    std::function<void()> showExtractionWindow;
    // Shows this window where the flow shows it: start-up's open shows it when it has to wait.
    std::function<void()> showConnectionWindow;

    QLineEdit* Text1; // server
    QLineEdit* Text9; // port
    QLineEdit* Text2; // user
    QLineEdit* Text3; // password
    QLineEdit* Text4; // database
    QGroupBox* Frame1;
    QLabel* Label4;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label1;
    QLabel* Label9;
    QCheckBox* Check6; // "Local Connection"
    QPushButton* SecurityButton;
    QPushButton* PushButton3;
    QPushButton* PushButton5;
    QPushButton* PushButton2;
    QLabel* connectingLabel;   // "Connecting to SERVER..." in place of "Next >" while an open waits
    QPushButton* cancelButton; // beside it: gives the open up, as Esc does

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void bindToSetting(QLineEdit* box, const char* key);
    void tellIfTheSettingsCannotBeRead();
    void tellIfTheSavedPortIsNoPort();
    // Runs `open` with "Connecting to SERVER..." and Cancel in place of "Next >" once it has waited a moment;
    // Esc and Cancel give it up at once.
    void whileConnecting(const ConnectionFields& fields, const std::function<void(const OpenWaiting&)>& open);
    bool takesWhileConnecting(QObject* target, QEvent* event);
    void showConnecting(const ConnectionFields& fields, bool shown);

    AppContext& context_;
    WindowPointer* pointer_;
    bool justShown_ = false; // the focus that comes with showing the window selects like a Tab
    bool filling_ = false;   // the load is putting the stored fields into the boxes
    bool givenUp_ = false;   // the user gave up the open that is waiting
};

} // namespace rq
