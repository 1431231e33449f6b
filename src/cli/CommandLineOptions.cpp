#include "CommandLineOptions.h"

#include "logic/connection/PortNumber.h"
#include "logic/scan/DatabaseChoice.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <vector>

namespace rq::cli {

namespace {

const QString kLines = QStringLiteral("lines");
const QString kBetween = QStringLiteral("between");

enum class Section { Connection, Databases, Tables, Matching, Output, General };

// What an option does to the request, given its value (empty for a switch); called once for each time the
// option is given. Throws UsageError for a value it cannot take.
using Apply = void (*)(CommandLineRequest& request, const QString& value);

// One option: its names, its value (empty for a switch), its help line, where the help lists it, and what it
// does. The parser, --help and the request are all made from this table, so they cannot drift apart.
struct OptionDefinition {
    QStringList names;
    QString value;
    QString help;
    Section section;
    Apply apply;
};

void checkPort(const QString& value)
{
    if (!isPortNumber(value))
        throw UsageError(QStringLiteral("--port takes a number from 1 to 65535, not '%1'").arg(value));
}

QString pattern(const QString& value)
{
    if (value.isEmpty())
        throw UsageError(QStringLiteral("--table and --exclude-table need a pattern"));
    if (!TablePattern(value).isValid())
        throw UsageError(QStringLiteral("'%1' is not a table pattern: schema.table or table, a part that holds a dot "
                                        "between brackets ([a.b]), each bracket closed")
                             .arg(value));
    return value;
}

ResultFormat format(const QString& value)
{
    if (value == QLatin1String("text"))
        return ResultFormat::Text;
    if (value == QLatin1String("tsv"))
        return ResultFormat::Tsv;
    if (value == QLatin1String("json"))
        return ResultFormat::Json;
    throw UsageError(QStringLiteral("--format takes text, tsv or json, not '%1'").arg(value));
}

const std::vector<OptionDefinition>& definitions()
{
    using R = CommandLineRequest;
    using V = const QString&;
    static const std::vector<OptionDefinition> all = {
        {{"server"},
         "NAME",
         "the server, e.g. db.example.com or localhost\\SQLEXPRESS",
         Section::Connection,
         [](R& r, V v) { r.connection.server = v; }},
        {{"port"},
         "NUMBER",
         "the server's port, 1 to 65535 (not used for a local connection)",
         Section::Connection,
         [](R& r, V v) {
             checkPort(v);
             r.connection.port = v;
         }},
        {{"user"}, "NAME", "the login", Section::Connection, [](R& r, V v) { r.connection.user = v; }},
        {{"database"},
         "NAME",
         "the database; a pattern (* and ?, letter case ignored), or given again, reads every database it names",
         Section::Databases,
         [](R& r, V v) { r.databases << v; }},
        {{"all-databases"},
         {},
         "read every database the login can open, except SQL Server's own",
         Section::Databases,
         [](R& r, V) { r.allDatabases = true; }},
        {{"list-databases"},
         {},
         "print every database of the server, whether it is read and, if not, why",
         Section::Databases,
         [](R& r, V) { r.command = Command::ListDatabases; }},
        {{"isolation"},
         "LEVEL",
         "committed (the server's default: waits for other sessions' locks), uncommitted (takes and waits for no "
         "lock; rows not yet committed may show) or snapshot (where the database allows it)",
         Section::Databases,
         [](R& r, V v) {
             ReadingOptions::Isolation isolation{};
             if (!isolationFromName(v, isolation))
                 throw UsageError(
                     QStringLiteral("--isolation takes committed, uncommitted or snapshot, not '%1'").arg(v));
             r.isolation = isolation;
         }},
        {{"lock-timeout"},
         "SECONDS",
         "pass over a table whose rows stay locked longer than this (10 unless saved otherwise; 0: wait for ever)",
         Section::Databases,
         [](R& r, V v) {
             bool number = false;
             const int seconds = v.toInt(&number);
             if (!number || seconds < 0)
                 throw UsageError(QStringLiteral("--lock-timeout takes a number of seconds, not '%1'").arg(v));
             r.lockTimeoutSeconds = seconds;
         }},
        {{"read-only-intent"},
         {},
         "ask to be routed to a readable secondary (ApplicationIntent=ReadOnly)",
         Section::Databases,
         [](R& r, V) { r.readOnlyIntent = true; }},
        {{"local"},
         {},
         "a local connection: the server name alone, no port",
         Section::Connection,
         [](R& r, V) { r.connection.local = true; }},
        {{"no-local"},
         {},
         "a connection to the server's port",
         Section::Connection,
         [](R& r, V) { r.connection.local = false; }},
        {{"trust-server-certificate"},
         {},
         "encrypt, but take whatever certificate the server presents",
         Section::Connection,
         [](R& r, V) { r.connection.trustServerCertificate = true; }},
        {{"no-encryption"},
         {},
         "also connect to a server that cannot encrypt (the login alone, or nothing, encrypted)",
         Section::Connection,
         [](R& r, V) { r.connection.noEncryption = true; }},
        {{"password-stdin"},
         {},
         "read the password from the first line of standard input",
         Section::Connection,
         [](R& r, V) { r.passwordFromStandardInput = true; }},
        {{"table"},
         "PATTERN",
         "read only the tables PATTERN names, whatever their name; again for more",
         Section::Tables,
         [](R& r, V v) { r.tables << pattern(v); }},
        {{"exclude-table"},
         "PATTERN",
         "never read the tables PATTERN names; again for more",
         Section::Tables,
         [](R& r, V v) { r.excludedTables << pattern(v); }},
        {{"list-tables"},
         {},
         "print every table, whether it is read and, if not, why; search nothing",
         Section::Tables,
         [](R& r, V) { r.command = Command::ListTables; }},
        {{"E", "regex"},
         {},
         "(lines) TEXT is a regular expression, Perl style; ^ and $ at line ends",
         Section::Matching,
         [](R& r, V) { r.matching.regularExpression = true; }},
        {{"s", "case-sensitive"},
         {},
         "match letter case (lines, and between's markers)",
         Section::Matching,
         [](R& r, V) { r.matching.matchCase = true; }},
        {{"w", "word"},
         {},
         "(lines) match whole words only",
         Section::Matching,
         [](R& r, V) { r.matching.wholeWord = true; }},
        {{"keep-duplicates"},
         {},
         "(between) print a stretch again when it was printed before",
         Section::Output,
         [](R& r, V) { r.keepDuplicates = true; }},
        {{"0", "null"},
         {},
         "end each item with NUL instead of a line feed",
         Section::Output,
         [](R& r, V) { r.nulTerminated = true; }},
        {{"format"},
         "FORMAT",
         "text (the items alone), tsv (with where each was found, and a header) or json (JSON Lines)",
         Section::Output,
         [](R& r, V v) { r.format = format(v); }},
        {{"output"},
         "FILE",
         "write the items to FILE instead: as \"Save Results\" does (CR LF, the system's encoding), or as "
         "--format says; a regular FILE is replaced only by a complete list",
         Section::Output,
         [](R& r, V v) {
             if (v.isEmpty())
                 throw UsageError(QStringLiteral("--output needs a file name"));
             r.outputFile = v;
         }},
        {{"c", "count"}, {}, "print the number of items only", Section::Output, [](R& r, V) { r.countOnly = true; }},
        {{"m", "max-count"},
         "NUMBER",
         "stop after NUMBER items (1 or more): the read ends there",
         Section::Output,
         [](R& r, V v) {
             bool number = false;
             r.maxCount = v.toLongLong(&number);
             if (!number || r.maxCount < 1)
                 throw UsageError(QStringLiteral("--max-count takes a number of items, 1 or more, not '%1'").arg(v));
         }},
        {{"color"},
         "WHEN",
         "highlight the matches as grep does: never (the default), always, or auto (--color alone: on a terminal)",
         Section::Output,
         [](R& r, V v) {
             if (v == QLatin1String("never"))
                 r.colour = Colour::Never;
             else if (v == QLatin1String("always"))
                 r.colour = Colour::Always;
             else if (v == QLatin1String("auto"))
                 r.colour = Colour::Auto;
             else
                 throw UsageError(QStringLiteral("--color takes auto, always or never, not '%1'").arg(v));
         }},
        {{"with-origin"},
         {},
         "put each item's place before it: schema.table.column:row: (and key=value: where the table has a "
         "primary key)",
         Section::Output,
         [](R& r, V) { r.withOrigin = true; }},
        {{"stats"},
         {},
         "end with one line of counts on standard error: tables, rows, text read, time taken",
         Section::Output,
         [](R& r, V) { r.stats = true; }},
        {{"h", "help"}, {}, "display this help and exit", Section::General, [](R& r, V) { r.command = Command::Help; }},
        {{"version"},
         {},
         "output version information and exit",
         Section::General,
         [](R& r, V) { r.command = Command::Version; }},
    };
    return all;
}

QCommandLineOption parserOption(const OptionDefinition& d)
{
    return d.value.isEmpty() ? QCommandLineOption(d.names) : QCommandLineOption(d.names, d.help, d.value);
}

// QCommandLineParser words its messages as sentences; the program's messages are GNU-style phrases.
QString phrase(QString sentence)
{
    if (sentence.endsWith(QLatin1Char('.')))
        sentence.chop(1);
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toLower();
    return sentence;
}

// The options Qt's windowed programs take themselves, and the ones of them that take a value.
bool isWindowOption(const QString& argument, bool& takesValue)
{
    static const QStringList withValue = {
        "-platform",    "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
        "-qwindowicon", "-qwindowtitle",       "-session",       "-style",  "-stylesheet",
        "-display",     "-geometry",           "-title",         "-name"};
    static const QStringList alone = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    takesValue = withValue.contains(argument);
    return takesValue || alone.contains(argument);
}

// The command and its texts, from the words that are not options.
void takeCommand(CommandLineRequest& request, const QStringList& words)
{
    if (request.command == Command::ListTables || request.command == Command::ListDatabases) {
        if (!words.isEmpty())
            throw UsageError(QStringLiteral("%1 takes no command: it lists and searches nothing")
                                 .arg(request.command == Command::ListTables ? QStringLiteral("--list-tables")
                                                                             : QStringLiteral("--list-databases")));
    } else if (words.isEmpty()) {
        throw UsageError(QStringLiteral("no command: lines TEXT or between START END"));
    } else if (words.first() == kLines) {
        if (words.size() != 2)
            throw UsageError(QStringLiteral("lines takes one search text"));
        request.command = Command::Lines;
        request.searchText = words.at(1);
        if (request.searchText.isEmpty())
            throw UsageError(QStringLiteral("the search text is empty"));
    } else if (words.first() == kBetween) {
        if (words.size() != 3)
            throw UsageError(QStringLiteral("between takes a start text and an end text"));
        request.command = Command::Between;
        request.startMarker = words.at(1);
        request.endMarker = words.at(2);
        if (request.startMarker.isEmpty() || request.endMarker.isEmpty())
            throw UsageError(QStringLiteral("the start text and the end text must not be empty"));
    } else {
        throw UsageError(QStringLiteral("unknown command '%1': lines or between").arg(words.first()));
    }
}

// The rules between options, each option's own value already checked: `given` names every option given.
void checkCombination(const CommandLineRequest& request, const QStringList& given)
{
    const auto isGiven = [&given](const char* name) { return given.contains(QLatin1String(name)); };
    if (request.command == Command::Lines && request.keepDuplicates)
        throw UsageError(QStringLiteral("--keep-duplicates goes with between only: lines keeps every line"));
    if (request.command == Command::Between && (request.matching.regularExpression || request.matching.wholeWord))
        throw UsageError(QStringLiteral("--regex and --word go with lines only: between's markers are plain text"));
    if (isGiven("list-tables") && isGiven("list-databases"))
        throw UsageError(QStringLiteral("--list-tables and --list-databases: one list at a time"));
    if (isGiven("local") && isGiven("no-local"))
        throw UsageError(QStringLiteral("--local and --no-local contradict each other"));
    if (request.nulTerminated && request.countOnly)
        throw UsageError(QStringLiteral("--null and --count contradict each other"));
    if (request.nulTerminated && !request.outputFile.isEmpty())
        throw UsageError(QStringLiteral("--null does not go with --output, whose file ends each item with CR LF"));
    if (request.nulTerminated && request.format != ResultFormat::Text)
        throw UsageError(QStringLiteral("--null goes with --format text only: tsv and json lines hold no line break"));
}

} // namespace

bool startsCommandLine(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        bool takesValue = false;
        if (isWindowOption(arguments[i], takesValue)) {
            i += takesValue ? 1 : 0;
            continue;
        }
        return true; // a command, an option of ours, or something the command line will refuse in words
    }
    return false;
}

CommandLineRequest parseCommandLine(const QStringList& given)
{
    // --color alone means auto, as for grep; the parser knows no option whose value may be left out.
    QStringList arguments = given;
    for (QString& argument : arguments) {
        if (argument == QLatin1String("--color"))
            argument = QStringLiteral("--color=auto");
        if (argument == QLatin1String("--"))
            break;
    }
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options;
    for (const OptionDefinition& d : definitions()) {
        options.push_back(parserOption(d));
        parser.addOption(options.back());
    }
    if (!parser.parse(arguments)) {
        if (parser.unknownOptionNames().contains(QLatin1String("password")))
            throw UsageError(QStringLiteral("no --password: an argument is visible to every user of the machine; "
                                            "use ROWQUARRY_PASSWORD or --password-stdin"));
        throw UsageError(phrase(parser.errorText()));
    }

    CommandLineRequest request;
    const std::vector<OptionDefinition>& all = definitions();
    // --help and --version first: either answers whatever else the line holds.
    for (const bool general : {true, false}) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            if ((all[i].section == Section::General) != general || !parser.isSet(options[i]))
                continue;
            if (all[i].value.isEmpty())
                all[i].apply(request, {});
            for (const QString& value : parser.values(options[i]))
                all[i].apply(request, value);
            if (general)
                return request;
        }
    }
    takeCommand(request, parser.positionalArguments());
    checkCombination(request, parser.optionNames());
    // One database named as it is: the connection's, as the connection window would name it.
    if (request.databases.size() == 1 && !DatabaseChoice{request.databases, false, {}, {}}.several()) {
        request.connection.database = request.databases.takeFirst();
    }
    return request;
}

TableChoice tableChoice(const CommandLineRequest& request)
{
    TableChoice choice;
    for (const QString& pattern : request.tables)
        choice.named.append(TablePattern(pattern));
    for (const QString& pattern : request.excludedTables)
        choice.excluded.append(TablePattern(pattern));
    return choice;
}

QString helpText(const QString& program, const QString& settingsFile)
{
    // GNU style: the names, then the help wrapped at 100 columns under its own column.
    const auto options = [](Section section) {
        constexpr int kHelpColumn = 29;
        QString lines;
        for (const OptionDefinition& d : definitions()) {
            if (d.section != section)
                continue;
            QString line = d.names.size() > 1 ? QLatin1String("  -") + d.names.first() + QLatin1String(", --")
                                              : QStringLiteral("      --");
            line += d.names.last() + (d.value.isEmpty() ? QString() : QLatin1Char(' ') + d.value);
            line = line.size() < kHelpColumn ? line.leftJustified(kHelpColumn) : line + QLatin1Char(' ');
            bool first = true;
            for (const QString& word : d.help.split(QLatin1Char(' '))) {
                if (!first && line.size() + word.size() > 100) {
                    lines += line.trimmed().isEmpty() ? QString() : line.left(line.size() - 1) + QLatin1Char('\n');
                    line = QString(kHelpColumn, QLatin1Char(' '));
                }
                line += word + QLatin1Char(' ');
                first = false;
            }
            lines += line.left(line.size() - 1) + QLatin1Char('\n');
        }
        return lines;
    };
    return QStringLiteral("Usage: %1 lines TEXT [OPTION]...\n"
                          "  or:  %1 between START END [OPTION]...\n"
                          "  or:  %1 --list-tables [OPTION]...\n"
                          "  or:  %1 --list-databases [OPTION]...\n"
                          "Read every field of every user table of a SQL Server database and print each line that\n"
                          "contains TEXT, letter case ignored, or each stretch between START and END (markers matched\n"
                          "with letter case ignored), as the extraction window of Rowquarry finds them. A line is one\n"
                          "field value, or one part of it where the value holds carriage returns.\n"
                          "\n"
                          "The connection is the one the connection window saved last (%2);\n"
                          "these options replace its fields:\n")
               .arg(program, settingsFile) +
           options(Section::Connection) +
           QStringLiteral("\nDatabases (by default the connection's database alone) and how they are read:\n") +
           options(Section::Databases) +
           QStringLiteral(
               "The password is the saved one, unless ROWQUARRY_PASSWORD is set or --password-stdin is\n"
               "given; it is never taken from an argument. The whole session is encrypted and the server's\n"
               "certificate checked against the trust store (SSL_CERT_FILE, or the system's) and the server's\n"
               "name, unless the connection window's Security choices or the two options above say otherwise.\n"
               "\n"
               "Tables (by default those the window's Tables... chose, else every table whose name holds no\n"
               "\"sys\"; views are never read). A PATTERN is database.schema.table, schema.table or table,\n"
               "* and ? as wildcards, letter case ignored, a part holding a dot between brackets ([a.b]):\n") +
           options(Section::Tables) + QStringLiteral("\nMatching:\n") + options(Section::Matching) +
           QStringLiteral("\nOutput:\n") + options(Section::Output) + options(Section::General) +
           QStringLiteral("\n"
                          "Items go to standard output in UTF-8, each as soon as its rows are read; nothing of the\n"
                          "database is kept. While it reads, the counts are shown on standard error when it is a\n"
                          "terminal. Options may come before or after the command. Rowquarry, the windowed program,\n"
                          "opens its windows when it is given no command.\n"
                          "\n"
                          "Exit status is 0 if an item was found, 1 if none was, 2 if an error occurred,\n"
                          "and 130 when interrupted by Ctrl-C.\n");
}

QString versionText(const QString& program)
{
    return QStringLiteral("%1 (Rowquarry) %2\n").arg(program, QStringLiteral(ROWQUARRY_VERSION));
}

} // namespace rq::cli
