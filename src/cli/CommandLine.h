#pragma once

#include <QStringList>

class QFile;

// Rowquarry without windows: the extraction window's two commands for scripts and shells, over the
// connection the windows saved last.
namespace rq::cli {

// grep's convention, so that scripts can tell "nothing found" from "could not look".
enum ExitStatus : int { kFound = 0, kNothingFound = 1, kError = 2 };

struct Streams {
    QFile& in;                     // --password-stdin reads its line here
    QFile& out;                    // the items, or their count
    QFile& err;                    // an error, as one line; the table being read
    bool showProgress = false;     // someone watches `err` (a terminal)
    bool outputOnTerminal = false; // `out` is a terminal too: items share it with the counts
};

// `arguments` as QCoreApplication::arguments() gives them, the program first.
int runCommandLine(const QStringList& arguments, Streams streams);

// What main() does for a command: Ctrl-C ends the program at once from here on, then the command line
// runs on the standard streams within a QCoreApplication.
int commandLineMain(int argc, char* argv[]);

} // namespace rq::cli
