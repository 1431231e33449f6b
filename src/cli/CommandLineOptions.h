#pragma once

#include "logic/connection/ReadingOptions.h"
#include "logic/results/ResultFormats.h"
#include "logic/scan/TableChoice.h"
#include "logic/search/Matcher.h"
#include "platform/Failure.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace rq::cli {

enum class Command { Lines, Between, ListTables, ListDatabases, Help, Version };

// --color: when the printed matches are highlighted.
enum class Colour { Never, Always, Auto };

// Connection fields named on the command line; each replaces the one the windows saved.
struct ConnectionOverrides {
    std::optional<QString> server;
    std::optional<QString> port;
    std::optional<QString> user;
    std::optional<QString> database;
    std::optional<bool> local;
    // Security choices made on the command line; each only adds to the saved ones.
    bool trustServerCertificate = false;
    bool noEncryption = false;

    // A field named: enough to connect without a saved connection.
    bool any() const { return server || port || user || database || local; }
};

// What the command line asks for. The password is never among the arguments, where every user of the
// machine could read it: it comes from the settings, the environment or standard input.
struct CommandLineRequest {
    Command command = Command::Help;
    QString searchText;    // lines
    MatchOptions matching; // lines: -E, -s, -w; -s also for between
    QString startMarker;   // between
    QString endMarker;
    bool keepDuplicates = false;
    ConnectionOverrides connection;
    bool passwordFromStandardInput = false;
    bool nulTerminated = false; // -0: each item ends with NUL, as items may hold line feeds
    bool countOnly = false;
    qsizetype maxCount = -1; // -m: the read ends once this many items are printed; -1: no end
    Colour colour = Colour::Never;
    bool withOrigin = false;    // each printed item after its place, "schema.table.column:row:"
    QString outputFile;         // empty: the items go to standard output
    QStringList tables;         // --table: only the tables these patterns name are read
    QStringList excludedTables; // --exclude-table: never read
    QStringList databases;      // --database given as patterns, or more than once: several may be read
    bool allDatabases = false;  // --all-databases
    // How to read; each replaces the saved setting where given.
    std::optional<ReadingOptions::Isolation> isolation;
    std::optional<int> lockTimeoutSeconds;
    bool readOnlyIntent = false;
    bool stats = false; // one final line of counts on standard error
    ResultFormat format = ResultFormat::Text;
};

// A command line that asks for nothing the program does: the message says what is wrong with it.
class UsageError : public Failure {
public:
    using Failure::Failure;
};

// `arguments` as QCoreApplication::arguments() gives them, the program first. Throws UsageError.
CommandLineRequest parseCommandLine(const QStringList& arguments);

// The tables the request chooses, as patterns.
TableChoice tableChoice(const CommandLineRequest& request);

// True for arguments (the program first) that ask for the command line rather than the windows: anything
// but the options Qt's windowed programs take (-platform, -style, ...). Options may come before the command.
bool startsCommandLine(const QStringList& arguments);

QString helpText(const QString& program, const QString& settingsFile);
QString versionText(const QString& program);

} // namespace rq::cli
