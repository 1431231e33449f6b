#pragma once

#include <memory>

class QObject;
class QWidget;

namespace rq {

struct AppContext;
class Form1;
class Form2;

// One instance of each main window for the whole run. The connection window's load does the start-up
// work; the extraction window is loaded on its first use and afterwards only shown or hidden.
class WindowFlow {
public:
    explicit WindowFlow(AppContext& context);
    ~WindowFlow();

    // Loads the connection window and shows it centred, unless its load went on to the extraction window.
    void start();

    Form1& connectionWindow() { return *form1_; }
    Form2* extractionWindowIfLoaded() { return form2_.get(); }
    void showExtractionWindow();
    void showConnectionWindow();

private:
    AppContext& context_;
    std::unique_ptr<QObject> closingAsks_; // declared first, gone last: the windows may still send it events
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    bool form1Shown_ = false;
};

// Moves a window to the middle of its screen.
void centreOnScreen(QWidget& window);

} // namespace rq
