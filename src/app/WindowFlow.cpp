#include "WindowFlow.h"

#include "ui/AppContext.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QGuiApplication>
#include <QScreen>

namespace rq {

WindowFlow::WindowFlow(AppContext& context) : context_(context), form1_(std::make_unique<Form1>(context))
{
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
