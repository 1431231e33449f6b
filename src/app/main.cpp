#include "app/WindowFlow.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineOptions.h"
#include "platform/ProcessStarter.h"
#include "ui/AppContext.h"
#include "ui/QtFileDialog.h"
#include "ui/QtMessageBoxes.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // A command runs without windows, before anything asks for a display.
    if (argc > 1 && rq::cli::startsCommandLine(QString::fromLocal8Bit(argv[1])))
        return rq::cli::commandLineMain(argc, argv);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing either window ends the program, hidden or not

    rq::QtMessageBoxes messages;
    rq::QtFileDialog fileDialog;
    rq::platform::QtProcessStarter processes;
    rq::AppContext context{messages, fileDialog, processes};
    // At once, even from inside a command that is letting events run: every setting is already saved.
    context.endProgram = [] {
        std::fflush(nullptr);
        std::_Exit(0);
    };

    rq::WindowFlow flow(context);
    flow.start();
    return app.exec();
}
