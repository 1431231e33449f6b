#include "app/WindowFlow.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineOptions.h"
#include "platform/LargeAllocations.h"
#include "platform/ProcessStarter.h"
#include "ui/AppContext.h"
#include "ui/QtFileDialog.h"
#include "ui/QtMessageBoxes.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// On X11 and Wayland desktops the windows need a display; without one Qt would abort. Elsewhere (Windows,
// macOS) there always is one.
bool noDisplay(const QStringList& arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !arguments.contains(QLatin1String("-platform"));
#else
    Q_UNUSED(arguments);
    return false;
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    // A command runs without windows, before anything asks for a display.
    const QStringList arguments = argumentsOf(argc, argv);
    if (rq::cli::startsCommandLine(arguments))
        return rq::cli::commandLineMain(argc, argv);
    if (noDisplay(arguments)) {
        std::fputs("rowquarry: no display to open the windows on (DISPLAY is not set); for the command line, "
                   "see rowquarry --help\n",
                   stderr);
        return 2;
    }

    rq::platform::mapLargeAllocationsApart();
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
