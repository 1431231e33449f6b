#include "WindowFlow.h"

#include "ui/AppContext.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace rq {

namespace {

// Closing the connection window ends the program too: with results in the hidden extraction window that no save
// has written, the extraction window asks first.
class ClosingAsks : public QObject {
public:
    explicit ClosingAsks(WindowFlow& flow) : flow_(flow) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Close || !flow_.extractionWindowIfLoaded() ||
            flow_.extractionWindowIfLoaded()->readyToClose())
            return false;
        event->ignore();
        return true;
    }

private:
    WindowFlow& flow_;
};

} // namespace

WindowFlow::WindowFlow(AppContext& context) : context_(context), form1_(std::make_unique<Form1>(context))
{
    closingAsks_ = std::make_unique<ClosingAsks>(*this);
    form1_->installEventFilter(closingAsks_.get());
    form1_->showExtractionWindow = [this] { showExtractionWindow(); };
    form1_->showConnectionWindow = [this] { showConnectionWindow(); };
}

WindowFlow::~WindowFlow() = default;

void WindowFlow::start()
{
    form1_->Form_Load();
    if (!(form2_ && form2_->isVisible()))
        showConnectionWindow();
}

void WindowFlow::showExtractionWindow()
{
    if (!form2_) {
        form2_ = std::make_unique<Form2>(context_);
        form2_->connectionFields = [this] { return form1_->fields(); };
        form2_->showConnectionWindow = [this] { showConnectionWindow(); };
        form2_->Form_Load();
        if (!form2_->restorePlace())
            centreOnScreen(*form2_);
    }
    form2_->show();
}

void WindowFlow::showConnectionWindow()
{
    if (!form1Shown_) // also when start-up went straight on to the extraction window
        centreOnScreen(*form1_);
    form1Shown_ = true;
    form1_->show();
}

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace rq
