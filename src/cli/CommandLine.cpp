#include "CommandLine.h"

#include "cli/CommandLineOptions.h"
#include "cli/ConnectionChoice.h"
#include "cli/DatabaseRead.h"
#include "cli/FoundItems.h"
#include "logic/frame/Figures.h"
#include "logic/frame/SettingsKeys.h"
#include "logic/results/ResultFormats.h"
#include "logic/scan/DatabaseScan.h"
#include "logic/scan/TableChoiceStore.h"
#include "logic/scan/TableListing.h"
#include "platform/Console.h"
#include "platform/OdbcDrivers.h"
#include "platform/ReplacementFile.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
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
        throw cannotWriteStandardOutput(out.errorString());
}

// The counts while the database is read, on one line of the terminal that each update overwrites; at the
// end, where someone watches or --stats asks for it, one line of what was read.
class Progress {
public:
    explicit Progress(Streams& streams) : streams_(streams) {}
    void show(const ScanCounts& counts)
    {
        if (!streams_.showProgress)
            return;
        last_ = counts;
        streams_.err.write(QByteArray("\r") + scanProgressText(counts).toUtf8() + "\x1b[K");
        shown_ = true;
    }
    // Items printed to the terminal the counts are on get lines of their own: the counts' line is cleared before
    // them and drawn again after.
    void beforeItems()
    {
        if (streams_.outputOnTerminal)
            clear();
    }
    void afterItems()
    {
        if (streams_.outputOnTerminal && last_)
            show(*last_);
    }
    void clear()
    {
        if (shown_)
            streams_.err.write("\r\x1b[K");
        shown_ = false;
    }
    // `note` follows the counts: which choice of tables was read.
    void summarize(const DatabaseRead& read, bool asked, const QString& note)
    {
        clear();
        if (!asked && !streams_.showProgress)
            return;
        const ScanSummary summary{read.counts, read.end, QDateTime::currentDateTime()};
        QString line = summary.text();
        if (!note.isEmpty())
            line += QLatin1Char(' ') + note;
        streams_.err.write(line.toUtf8() + '\n');
    }

private:
    Streams& streams_;
    bool shown_ = false;
    std::optional<ScanCounts> last_;
};

ExtractionRequest extractionRequest(const CommandLineRequest& request)
{
    ExtractionRequest extraction;
    extraction.kind = request.command == Command::Lines ? ExtractionRequest::Lines : ExtractionRequest::Between;
    extraction.searchText = request.searchText;
    extraction.options = request.matching;
    extraction.startMarker = request.startMarker;
    extraction.endMarker = request.endMarker;
    extraction.keepDuplicates = request.keepDuplicates;
    return extraction;
}

// The tables chosen in the window, where no pattern chooses them: for the connection's database, the databases
// the window reads besides it, and those --database names exactly (a pattern's are known only once listed).
QHash<QString, TableChoice> windowTableChoices(const CommandLineRequest& request, const ConnectionFields& fields)
{
    if (!request.tables.isEmpty() || !request.excludedTables.isEmpty())
        return {};
    QHash<QString, TableChoice> chosen = savedScanPlan(fields).tablesChosen;
    for (const QString& name : request.databases) {
        if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')))
            continue;
        ConnectionFields in = fields;
        in.database = name;
        chosen.insert(name, loadTableChoice(in));
    }
    return chosen;
}

// "Tables as chosen in the window for Shop (--table or --exclude-table choose others).", where a choice was made.
QString tableChoiceNote(const ScanPlan& plan)
{
    QStringList databases;
    for (auto chosen = plan.tablesChosen.cbegin(); chosen != plan.tablesChosen.cend(); ++chosen) {
        if (!chosen->ticked.isEmpty() || !chosen->unticked.isEmpty())
            databases << chosen.key();
    }
    if (databases.isEmpty())
        return {};
    databases.sort();
    return QStringLiteral("Tables as chosen in the window for %1 (--table or --exclude-table choose others).")
        .arg(databases.join(QLatin1String(", ")));
}

// What the scan would read: the connection, the databases and tables chosen, and how, each option in place of
// the saved setting.
ScanPlan scanPlan(const CommandLineRequest& request, const ConnectionFields& fields, const ConnectionSecurity& security)
{
    ScanPlan plan = ScanPlan::of(fields, tableChoice(request));
    plan.security = security;
    plan.tablesChosen = windowTableChoices(request, fields);
    plan.reading = loadReadingOptions();
    if (request.isolation)
        plan.reading.isolation = *request.isolation;
    if (request.lockTimeoutSeconds)
        plan.reading.lockTimeoutSeconds = *request.lockTimeoutSeconds;
    plan.reading.readOnlyIntent = plan.reading.readOnlyIntent || request.readOnlyIntent;
    plan.databases.named = request.databases;
    // Keys name rows only where the output says where an item was found.
    plan.needsKeys = request.withOrigin || request.format != ResultFormat::Text;
    plan.databases.all = request.allDatabases;
    return plan;
}

// A line of a list: the name (escaped as TSV is), a tab, and whether it is read and if not why.
QByteArray listLine(const QString& name, bool read, const QString& why)
{
    return tsvField(name).toUtf8() + '\t' + (read ? QByteArray("read") : "not read: " + why.toUtf8()) + '\n';
}

// The server's databases, or the tables of those read, a line each. Tables are named as patterns take them
// (with their database where several may be read), so a name can be given back to --table.
void printList(const CommandLineRequest& request, const ScanPlan& plan, QFile& out)
{
    const bool databases = request.command == Command::ListDatabases;
    QList<ListedDatabase> listed;
    try {
        listed = listServer(plan, databases ? Listing::Databases : Listing::ChosenTables, [] {});
    } catch (...) {
        throw Failure(cannotOpen(plan.fields) + QLatin1String(": ") + describeCurrentException());
    }
    QByteArray lines;
    QStringList unopened;
    for (const ListedDatabase& database : listed) {
        if (databases)
            lines += listLine(database.decision.database.name, database.decision.read(), database.decision.why());
        if (!database.failure.isEmpty())
            unopened << database.decision.database.name + QLatin1String(" (") + database.failure + QLatin1Char(')');
        for (const TableDecision& decision : database.tables) {
            TableName table = decision.listed.table;
            if (!plan.databases.several())
                table.database.clear();
            lines += listLine(table.quoted(), decision.read(), decision.why());
        }
    }
    writeOrThrow(out, lines);
    if (!unopened.isEmpty())
        throw Failure(QStringLiteral("could not open %1").arg(unopened.join(QLatin1String("; "))));
}

// --color: grep's rule, a terminal that shows colours for auto.
bool highlights(Colour colour, bool outputOnTerminal)
{
    if (colour == Colour::Auto)
        return outputOnTerminal && qEnvironmentVariable("TERM") != QLatin1String("dumb");
    return colour == Colour::Always;
}

// Patterns that leave nothing to read are a mistake in them, not a search that found nothing.
void throwIfNoTableChosen(const CommandLineRequest& request, const ScanCounts& counts)
{
    QStringList patterns;
    for (const QString& pattern : request.tables)
        patterns << QStringLiteral("--table '%1'").arg(pattern);
    for (const QString& pattern : request.excludedTables)
        patterns << QStringLiteral("--exclude-table '%1'").arg(pattern);
    if (patterns.isEmpty())
        return;
    throw Failure(QStringLiteral("no table to read: %1 %2 no table (%3 listed; --list-tables shows them)")
                      .arg(patterns.join(QLatin1Char(' ')), QLatin1String(patterns.size() == 1 ? "chooses" : "choose"),
                           countText(counts.leftOut)));
}

// A field the driver cannot be given, named as the command line names it.
QString describe(const FieldProblem& problem)
{
    static const char* const names[] = {"the server (--server)", "the port (--port)", "the user (--user)",
                                        "the password", "the database (--database)"};
    return QLatin1String(names[problem.field]) + QLatin1Char(' ') + problem.what();
}

int run(const CommandLineRequest& request, Streams& streams, Progress& progress)
{
    if (request.command == Command::Lines)
        Matcher(request.searchText, request.matching); // a pattern that does not compile fails before anything else
    ConnectionFields fields = chooseConnection(request.connection);
    const ConnectionSecurity security = chooseSecurity(request.connection);

    // Made before the long read, so that an output that cannot be written fails at once.
    std::optional<platform::ReplacementFile> file;
    if (!request.outputFile.isEmpty()) {
        file.emplace(request.outputFile);
        if (!file->open())
            throw cannotWrite(request.outputFile, file->errorString());
    }
    fields.password = choosePassword(fields.password, passwordFromEnvironment(),
                                     request.passwordFromStandardInput ? &streams.in : nullptr);
    if (const std::optional<FieldProblem> problem =
            fieldProblem(fields, platform::registeredSqlServerDriver(), security))
        throw Failure(describe(*problem));
    const ScanPlan plan = scanPlan(request, fields, security);
    if (request.command == Command::ListTables || request.command == Command::ListDatabases) {
        printList(request, plan, streams.out);
        return kFound;
    }

    FoundItems items(
        request, streams.out, file ? &file->device() : nullptr, [&progress] { progress.beforeItems(); },
        highlights(request.colour, streams.outputOnTerminal));
    ExtractionSession session(extractionRequest(request), items);
    items.start();
    DatabaseRead database;
    try {
        database = readDatabase(
            plan,
            [&](const TextBlock& block) {
                QString buffer;
                session.run(block.read(buffer), block.origins(), noYield);
                if (items.endBatch())
                    progress.afterItems();
            },
            [&progress](const ScanCounts& counts) { progress.show(counts); }, [&items] { return items.enough(); });
        items.finish();
    } catch (const Failure&) {
        if (file && file->device().error() != QFileDevice::NoError)
            throw cannotWrite(request.outputFile, file->device().errorString());
        throw;
    }
    progress.summarize(database, request.stats, tableChoiceNote(plan));
    if (database.incomplete.isEmpty() && database.counts.tables == 0)
        throwIfNoTableChosen(request, database.counts);
    if (file && !file->commit())
        throw cannotWrite(request.outputFile, file->errorString());
    if (request.countOnly)
        writeOrThrow(streams.out, QByteArray::number(items.count()) + '\n');
    if (!streams.out.flush())
        throw cannotWriteStandardOutput(streams.out.errorString());
    if (items.heldNul() > 0) {
        const Origin& first = items.firstHoldingNul();
        throw Failure(QStringLiteral("%1 not printed: --null ends each item with NUL, so an item holding one cannot be "
                                     "told apart (the first at %2:%3); leave out --null to see it")
                          .arg(items.heldNul() == 1 ? QStringLiteral("an item holding NUL was")
                                                    : QStringLiteral("%1 items holding NUL were").arg(items.heldNul()),
                               first.field(), QString::number(first.row)));
    }
    // As grep does with a file it cannot read: what the rest of the database holds is out, and the status
    // says that the search was not complete.
    if (session.undecided() > 0)
        throw Failure(session.undecidedNotice());
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
                throw cannotWriteStandardOutput(streams.out.errorString());
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
    return runCommandLine(QCoreApplication::arguments(),
                          {in, out, err, platform::standardErrorIsTerminal(), platform::standardOutputIsTerminal()});
}

} // namespace rq::cli
