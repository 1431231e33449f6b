#include "Form1.h"

#include "logic/connection/ConnectionHelp.h"
#include "logic/connection/ConnectionTest.h"
#include "logic/connection/PortNumber.h"
#include "logic/frame/ProductTitle.h"
#include "logic/frame/ReportingProcedure.h"
#include "logic/frame/SettingsKeys.h"
#include "logic/frame/UserMessages.h"
#include "platform/FileSystem.h"
#include "platform/OdbcDrivers.h"
#include "platform/SettingsStore.h"
#include "ui/AppContext.h"
#include "ui/Controls.h"
#include "ui/FormStyle.h"
#include "ui/PortValidator.h"
#include "ui/SecurityDialog.h"
#include "ui/Twips.h"
#include "ui/WindowPointer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

namespace rq {

namespace {
// An open that answers within this long shows nothing of its waiting.
constexpr qint64 kConnectingShownAfterMs = 250;
} // namespace

Form1::Form1(AppContext& context, QWidget* parent) : QWidget(parent), context_(context)
{
    buildControls();
    pointer_ = new WindowPointer(*this);
    for (QWidget* b : {PushButton2, PushButton3, PushButton5, SecurityButton})
        pointer_->addButton(b);
    for (QWidget* s : std::initializer_list<QWidget*>{Frame1, Text1, Text2, Text3, Text4, Text9})
        pointer_->addSurface(s);

    bindToSetting(Text1, settings::kServer);
    bindToSetting(Text2, settings::kUser);
    bindToSetting(Text3, settings::kPassword);
    bindToSetting(Text4, settings::kDatabase);
    bindToSetting(Text9, settings::kPort);
    connect(Check6, &QCheckBox::toggled, this,
            [](bool ticked) { settings::store(settings::kLocalConnection, ticked); });
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(SecurityButton, &QPushButton::clicked, this, &Form1::Security_Click);
    connect(cancelButton, &QPushButton::clicked, this, [this] { givenUp_ = true; });
    // Enter in any box goes on, as "Next >" does.
    for (QLineEdit* box : {Text1, Text9, Text2, Text3, Text4})
        connect(box, &QLineEdit::returnPressed, this, &Form1::PushButton2_Click);
}

void Form1::buildControls()
{
    setFixedSize(twips(8040), twips(3945));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(boldArial(9));

    Frame1 = frame(this, QStringLiteral("MS SQL Server Login"), twipsRect(120, 120, 7800, 3180));
    Text1 = place<QLineEdit>(Frame1, twipsRect(1320, 360, 4575, 345));
    Text9 = place<QLineEdit>(Frame1, twipsRect(6600, 360, 975, 345));
    Text2 = place<QLineEdit>(Frame1, twipsRect(1320, 840, 6255, 345));
    Text3 = place<QLineEdit>(Frame1, twipsRect(1320, 1320, 6255, 345));
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // one '*' per character
    Text4 = place<QLineEdit>(Frame1, twipsRect(1320, 1800, 6255, 345));
    Label4 = label(Frame1, QStringLiteral("Password:"), twipsRect(240, 1365, 1095, 255), Text3);
    Label3 = label(Frame1, QStringLiteral("Database:"), twipsRect(240, 1845, 975, 255), Text4);
    Label2 = label(Frame1, QStringLiteral("Server:"), twipsRect(240, 405, 1095, 255), Text1);
    Label1 = label(Frame1, QStringLiteral("Username:"), twipsRect(240, 885, 1095, 255), Text2);
    Label9 = label(Frame1, QStringLiteral("Port:"), twipsRect(6120, 405, 495, 255), Text9);
    Check6 = place<QCheckBox>(Frame1, twipsRect(1305, 2250, 1950, 255));
    Check6->setText(QStringLiteral("Local Connection"));
    // Beside "Local Connection", flush with the boxes' right edge, in the labels' size: every designed control
    // keeps its place.
    SecurityButton = button(Frame1, QStringLiteral("Security..."), twipsRect(5955, 2220, 1620, 315));
    SecurityButton->setFont(boldArial(9));
    PushButton3 = button(Frame1, QStringLiteral("Test Connection"), twipsRect(240, 2610, 3600, 405));
    PushButton5 = button(Frame1, QStringLiteral("Help"), twipsRect(3960, 2610, 3600, 405));
    PushButton2 = button(this, QStringLiteral("Next >"), twipsRect(120, 3420, 7800, 405));
    connectingLabel = place<QLabel>(this, twipsRect(240, 3420, 5520, 405));
    connectingLabel->setTextFormat(Qt::PlainText);
    connectingLabel->hide();
    cancelButton = button(this, QStringLiteral("Cancel"), twipsRect(5880, 3420, 2040, 405));
    cancelButton->hide();
    Text9->setValidator(new PortValidator(Text9));

    // Designed white; a skin beside the program recolours the window at load.
    setBackground(*this, Qt::white);
    for (QWidget* plain :
         std::initializer_list<QWidget*>{Frame1, Label1, Label2, Label3, Label4, Label9, Check6, connectingLabel})
        setBackground(*plain, Qt::white);

    QWidget* order[] = {Text1,  Text9,          Text2,       Text3,       Text4,
                        Check6, SecurityButton, PushButton3, PushButton5, PushButton2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    for (QLineEdit* box : {Text1, Text9, Text2, Text3, Text4})
        box->installEventFilter(this);
}

void Form1::bindToSetting(QLineEdit* box, const char* key)
{
    connect(box, &QLineEdit::textChanged, this, [this, key](const QString& text) {
        if (!filling_)
            settings::store(key, text);
    });
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // Whole text selected whenever a box receives the focus, by Tab or by mouse. Selecting after the
    // event keeps a mouse press from moving the cursor and undoing the selection.
    // The focus a box gets when the window appears counts; coming back to the window from another
    // program's window does not (it would put the whole text at risk of the next key).
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* box = qobject_cast<QLineEdit*>(watched);
        const bool activation = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (box && (!activation || justShown_))
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        justShown_ = false;
    }
    return QWidget::eventFilter(watched, event);
}

ConnectionFields Form1::fields() const
{
    return {Text1->text(), Text9->text(), Text2->text(), Text3->text(), Text4->text(), Check6->isChecked()};
}

void Form1::Form_Load()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    proc.step(100, [&] { ApplySkin(*this); });
    proc.step(102, [&] { setWindowTitle(QLatin1String(kProductTitle)); });
    proc.step(104, [&] { setWindowIcon(QIcon(QStringLiteral(":/rowquarry.png"))); });
    proc.step(106, [&] { SetAppTitle(); });
    proc.step(108, [&] { pointer_->loadCustomCursor(platform::programFolder() + QLatin1String("/HAND-M.CUR")); });
    {
        // Filling a box is not an edit and stores nothing: a stored value longer than the box holds would be
        // written back cut. Only an absent port is stored, as the default the box then shows.
        const QScopedValueRollback filling(filling_, true);
        proc.step(110, [&] {
            tellIfTheSettingsCannotBeRead();
            Text1->setText(settings::stored(settings::kServer));
        });
        proc.step(112, [&] { Text2->setText(settings::stored(settings::kUser)); });
        proc.step(114, [&] { Text3->setText(settings::stored(settings::kPassword)); });
        proc.step(116, [&] { Text4->setText(settings::stored(settings::kDatabase)); });
        proc.step(118, [&] {
            Text9->setText(settings::stored(settings::kPort, settings::kDefaultPort));
            if (!settings::isStored(settings::kPort))
                settings::store(settings::kPort, QLatin1String(settings::kDefaultPort));
            tellIfTheSavedPortIsNoPort();
        });
    }
    proc.step(120, [&] { Check6->setChecked(settings::storedLocalConnection()); });
    bool goOn = false;
    proc.step(122, [&] {
        if (Text1->text().isEmpty() || Text2->text().isEmpty() || Text3->text().isEmpty() || Text4->text().isEmpty())
            return;
        const ConnectionFields saved = fields();
        whileConnecting(saved, [&](const OpenWaiting& waiting) {
            goOn = OpenConnection(saved, context_.connectionFactory, platform::registeredSqlServerDriver(),
                                  storedSecurity(), waiting);
        });
    });
    if (goOn)
        proc.step(124, [&] { PushButton2_Click(); });
}

void Form1::tellIfTheSettingsCannotBeRead()
{
    const QString problem = platform::settingsFileProblem(QLatin1String(settings::kApplication));
    if (problem.isEmpty())
        return;
    showMessage(context_.messages,
                QStringLiteral("The saved connection could not be read from %1: %2. The fields start empty, and "
                               "changes to them are not saved there.")
                    .arg(platform::settingsFilePath(QLatin1String(settings::kApplication)), problem));
}

void Form1::tellIfTheSavedPortIsNoPort()
{
    const QString port = Text9->text();
    if (port.isEmpty() || isPortNumber(port) || settings::storedLocalConnection())
        return;
    showMessage(context_.messages, QStringLiteral("The saved port \"%1\" is not a number from 1 to 65535: type the "
                                                  "server's port in the Port box.")
                                       .arg(port));
}

void Form1::whileConnecting(const ConnectionFields& fields, const std::function<void(const OpenWaiting&)>& open)
{
    givenUp_ = false;
    QElapsedTimer waited;
    waited.start();
    bool shown = false;
    OpenWaiting waiting;
    waiting.whileWaiting = [&] {
        if (!shown && waited.elapsed() >= kConnectingShownAfterMs) {
            shown = true;
            if (!isVisible() && showConnectionWindow) // start-up: the window had not come up yet
                showConnectionWindow();
            showConnecting(fields, true);
        }
        platform::letWindowRepaint(
            [this](QObject* target, QEvent* event) { return takesWhileConnecting(target, event); });
    };
    waiting.givenUp = [this] { return givenUp_; };
    waiting.ended = [this] { showConnecting({}, false); }; // before any answer to the open shows
    struct Hiding {
        Form1& form;
        ~Hiding() { form.showConnecting({}, false); }
    } hiding{*this};
    open(waiting);
}

// While an open waits only Esc and Cancel are taken; a window hands each click and key on to a widget, where it is
// judged.
bool Form1::takesWhileConnecting(QObject* target, QEvent* event)
{
    if (target->isWindowType())
        return true;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        givenUp_ = true;
        return false;
    }
    return target == cancelButton;
}

void Form1::showConnecting(const ConnectionFields& fields, bool shown)
{
    if (shown)
        connectingLabel->setText(QStringLiteral("Connecting to %1...").arg(serverValue(fields)));
    connectingLabel->setVisible(shown);
    cancelButton->setVisible(shown);
    PushButton2->setVisible(!shown);
}

void Form1::PushButton2_Click()
{
    ReportingProcedure proc(context_.messages, QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    bool opens = false;
    proc.step(100, [&] {
        const ConnectionFields typed = fields();
        const platform::SqlServerDriver driver = platform::registeredSqlServerDriver();
        if (ShowConnectionProblem(context_.messages, typed, driver))
            return;
        whileConnecting(typed, [&](const OpenWaiting& waiting) {
            opens = OpenConnection(typed, context_.connectionFactory, driver, storedSecurity(), waiting);
        });
    });
    if (!opens)
        return;
    proc.step(102, [&] { showExtractionWindow(); });
    proc.step(104, [&] { hide(); });
}

void Form1::PushButton3_Click()
{
    const ConnectionFields typed = fields();
    whileConnecting(typed, [&](const OpenWaiting& waiting) {
        TestConnection(
            {context_.messages, QStringLiteral("Form1"), QStringLiteral("PushButton3_Click")}, *pointer_,
            context_.connectionFactory, [typed] { return typed; }, platform::registeredSqlServerDriver(),
            storedSecurity(), waiting);
    });
}

void Form1::PushButton5_Click()
{
    ShowConnectionHelp({context_.messages, QStringLiteral("Form1"), QStringLiteral("PushButton5_Click")},
                       context_.processes);
}

void Form1::Security_Click()
{
    SecurityDialog dialog(this);
    dialog.exec();
}

void Form1::showEvent(QShowEvent* event)
{
    justShown_ = true;
    QWidget::showEvent(event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    context_.endProgram();
}

} // namespace rq
