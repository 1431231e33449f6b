#include "CommandLine.h"

#include "cli/CommandLineOptions.h"
#include "cli/ConnectionChoice.h"
#include "cli/DatabaseRead.h"
#include "cli/FoundItems.h"
#include "logic/BetweenExtraction.h"
#include "logic/LineExtraction.h"
#include "logic/ResultsFile.h"
#include "logic/SettingsKeys.h"
#include "platform/Console.h"
#include "platform/OdbcDrivers.h"
#include "platform/ReplacementFile.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace rq::cli {

namespace {

// Nothing waits for events here: there is no window, and Ctrl-C is handled by its signal handler.
bool noYield() { return false; }

void writeOrThrow(QFile& out, const QByteArray& bytes)
{
    if (out.write(bytes) != bytes.size())
        throw Failure(QStringLiteral("cannot write to standard output: ") + out.errorString());
}

// The table being read, on one line of the terminal that each table overwrites.
class Progress {
public:
    explicit Progress(Streams& streams) : streams_(streams) {}
    void show(const QString& status)
    {
        if (!streams_.showProgress)
            return;
        streams_.err.write(QByteArray("\r") + status.toUtf8() + "\x1b[K");
        shown_ = true;
    }
    void clear()
    {
        if (shown_)
            streams_.err.write("\r\x1b[K");
        shown_ = false;
    }

private:
    Streams& streams_;
    bool shown_ = false;
};

void extract(const CommandLineRequest& request, const QString& text, FoundItems& items)
{
    if (request.command == Command::Lines) {
        LineSearch search;
        search.searchText = [&request] { return request.searchText; };
        search.line = [&items](QStringView line) { items.add(line); };
        search.yield = noYield;
        extractLines(text, search);
    } else {
        extractBetween(
            text, request.startMarker, request.endMarker, [&items](QStringView item) { items.add(item); }, noYield);
    }
}

// A field the driver cannot be given, named as the command line names it.
QString describe(const FieldProblem& problem)
{
    static const char* const names[] = {"the server (--server)", "the port (--port)", "the user (--user)",
                                        "the password", "the database (--database)"};
    const QString field = QLatin1String(names[problem.field]);
    if (problem.kind == FieldProblem::TooLong)
        return field + QStringLiteral(" is too long: the SQL Server driver takes at most 32,767 characters for the "
                                      "whole connection");
    return field + QStringLiteral(" contains \"};\", which the SQL Server driver (FreeTDS) cannot accept");
}

int run(const CommandLineRequest& request, Streams& streams, Progress& progress)
{
    ConnectionFields fields = chooseConnection(request.connection);

    // Made before the long read, so that an output that cannot be written fails at once.
    std::optional<platform::ReplacementFile> file;
    if (!request.outputFile.isEmpty()) {
        file.emplace(request.outputFile);
        if (!file->open())
            throw Failure(QStringLiteral("cannot write '%1': %2").arg(request.outputFile, file->errorString()));
    }
    fields.password = choosePassword(fields.password, passwordFromEnvironment(),
                                     request.passwordFromStandardInput ? &streams.in : nullptr);
    if (const std::optional<FieldProblem> problem = fieldProblem(fields, platform::registeredSqlServerDriver()))
        throw Failure(describe(*problem));

    const DatabaseRead database = readDatabase(fields, [&progress](const QString& status) { progress.show(status); });
    progress.clear();

    FoundItems items(request, database, streams.out);
    extract(request, database.text, items);
    if (file) {
        try {
            writeResults(file->device(), items.kept(), noYield);
        } catch (const Failure&) {
            throw Failure(
                QStringLiteral("cannot write '%1': %2").arg(request.outputFile, file->device().errorString()));
        }
        if (!file->commit())
            throw Failure(QStringLiteral("cannot write '%1': %2").arg(request.outputFile, file->errorString()));
    }
    if (request.countOnly)
        writeOrThrow(streams.out, QByteArray::number(items.count()) + '\n');
    if (!streams.out.flush())
        throw Failure(QStringLiteral("cannot write to standard output: ") + streams.out.errorString());
    // As grep does with a file it cannot read: what the rest of the database holds is out, and the status
    // says that the search was not complete.
    if (!database.incomplete.isEmpty())
        throw Failure(database.incomplete);
    return items.count() > 0 ? kFound : kNothingFound;
}

// One line, whatever the driver put in its message.
QByteArray errorLine(const QString& program, QString message)
{
    message.replace(QLatin1String("\r\n"), QLatin1String(" "));
    message.replace(QLatin1Char('\n'), QLatin1Char(' '));
    message.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return (program + QLatin1String(": ") + message.trimmed() + QLatin1Char('\n')).toUtf8();
}

} // namespace

int runCommandLine(const QStringList& arguments, Streams streams)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("rowquarry-cli") : QFileInfo(arguments.first()).fileName();
    Progress progress(streams);
    try {
        const CommandLineRequest request = parseCommandLine(arguments);
        if (request.command == Command::Help || request.command == Command::Version) {
            const QString settingsFile = platform::settingsFilePath(QLatin1String(settings::kApplication));
            writeOrThrow(
                streams.out,
                (request.command == Command::Help ? helpText(program, settingsFile) : versionText(program)).toUtf8());
            if (!streams.out.flush())
                throw Failure(QStringLiteral("cannot write to standard output: ") + streams.out.errorString());
            return kFound;
        }
        return run(request, streams, progress);
    } catch (const UsageError& error) {
        streams.err.write(errorLine(program, error.description() + QStringLiteral(" (see %1 --help)").arg(program)));
    } catch (...) {
        progress.clear();
        streams.err.write(errorLine(program, describeCurrentException()));
    }
    streams.err.flush();
    return kError;
}

int commandLineMain(int argc, char* argv[])
{
    platform::exitAtOnceOnInterrupt();
    QCoreApplication application(argc, argv);
    QFile in;
    QFile out;
    QFile err;
    in.open(0, QIODevice::ReadOnly);
    out.open(1, QIODevice::WriteOnly);
    err.open(2, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return runCommandLine(QCoreApplication::arguments(), {in, out, err, platform::standardErrorIsTerminal()});
}

} // namespace rq::cli
