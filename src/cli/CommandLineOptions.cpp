#include "CommandLineOptions.h"

#include <QCommandLineParser>

namespace rq::cli {

namespace {

const QString kLines = QStringLiteral("lines");
const QString kBetween = QStringLiteral("between");

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption server{QStringLiteral("server"), {}, QStringLiteral("NAME")};
    QCommandLineOption port{QStringLiteral("port"), {}, QStringLiteral("NUMBER")};
    QCommandLineOption user{QStringLiteral("user"), {}, QStringLiteral("NAME")};
    QCommandLineOption database{QStringLiteral("database"), {}, QStringLiteral("NAME")};
    QCommandLineOption local{QStringLiteral("local")};
    QCommandLineOption network{QStringLiteral("no-local")};
    QCommandLineOption passwordStdin{QStringLiteral("password-stdin")};
    QCommandLineOption keepDuplicates{QStringLiteral("keep-duplicates")};
    QCommandLineOption null{{QStringLiteral("0"), QStringLiteral("null")}};
    QCommandLineOption output{QStringLiteral("output"), {}, QStringLiteral("FILE")};
    QCommandLineOption count{QStringLiteral("count")};
    QCommandLineOption withOrigin{QStringLiteral("with-origin")};
    QCommandLineOption table{QStringLiteral("table"), {}, QStringLiteral("PATTERN")};
    QCommandLineOption excludeTable{QStringLiteral("exclude-table"), {}, QStringLiteral("PATTERN")};
    QCommandLineOption listTables{QStringLiteral("list-tables")};
    QCommandLineOption stats{QStringLiteral("stats")};
};

std::optional<QString> valueIfSet(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
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

} // namespace

bool startsCommandLine(const QString& firstArgument)
{
    return firstArgument == kLines || firstArgument == kBetween || firstArgument == QLatin1String("--help") ||
           firstArgument == QLatin1String("--version") || firstArgument == QLatin1String("--list-tables");
}

CommandLineRequest parseCommandLine(const QStringList& arguments)
{
    const Options o;
    QCommandLineParser parser;
    parser.addOptions({o.help, o.version, o.server, o.port, o.user, o.database, o.local, o.network, o.passwordStdin,
                       o.keepDuplicates, o.null, o.output, o.count, o.withOrigin, o.table, o.excludeTable, o.listTables,
                       o.stats});
    if (!parser.parse(arguments)) {
        if (parser.unknownOptionNames().contains(QLatin1String("password")))
            throw UsageError(QStringLiteral("no --password: an argument is visible to every user of the machine; "
                                            "use ROWQUARRY_PASSWORD or --password-stdin"));
        throw UsageError(phrase(parser.errorText()));
    }

    CommandLineRequest request;
    if (parser.isSet(o.help))
        return request; // Command::Help
    if (parser.isSet(o.version)) {
        request.command = Command::Version;
        return request;
    }

    const QStringList words = parser.positionalArguments();
    if (parser.isSet(o.listTables)) {
        if (!words.isEmpty())
            throw UsageError(QStringLiteral("--list-tables takes no command: it lists the tables and searches none"));
        request.command = Command::ListTables;
    } else if (words.isEmpty()) {
        throw UsageError(QStringLiteral("no command: lines TEXT or between START END"));
    } else if (words.first() == kLines) {
        if (words.size() != 2)
            throw UsageError(QStringLiteral("lines takes one search text"));
        request.command = Command::Lines;
        request.searchText = words.at(1);
        if (request.searchText.isEmpty())
            throw UsageError(QStringLiteral("the search text is empty"));
        if (parser.isSet(o.keepDuplicates))
            throw UsageError(QStringLiteral("--keep-duplicates goes with between only: lines keeps every line"));
    } else if (words.first() == kBetween) {
        if (words.size() != 3)
            throw UsageError(QStringLiteral("between takes a start text and an end text"));
        request.command = Command::Between;
        request.startMarker = words.at(1);
        request.endMarker = words.at(2);
        if (request.startMarker.isEmpty() || request.endMarker.isEmpty())
            throw UsageError(QStringLiteral("the start text and the end text must not be empty"));
        request.keepDuplicates = parser.isSet(o.keepDuplicates);
    } else {
        throw UsageError(QStringLiteral("unknown command '%1': lines or between").arg(words.first()));
    }

    ConnectionOverrides& connection = request.connection;
    connection.server = valueIfSet(parser, o.server);
    connection.port = valueIfSet(parser, o.port);
    connection.user = valueIfSet(parser, o.user);
    connection.database = valueIfSet(parser, o.database);
    if (parser.isSet(o.local) && parser.isSet(o.network))
        throw UsageError(QStringLiteral("--local and --no-local contradict each other"));
    if (parser.isSet(o.local) || parser.isSet(o.network))
        connection.local = parser.isSet(o.local);
    request.passwordFromStandardInput = parser.isSet(o.passwordStdin);

    request.tables = parser.values(o.table);
    request.excludedTables = parser.values(o.excludeTable);
    for (const QString& pattern : request.tables + request.excludedTables)
        if (pattern.isEmpty())
            throw UsageError(QStringLiteral("--table and --exclude-table need a pattern"));
    request.stats = parser.isSet(o.stats);
    request.nulTerminated = parser.isSet(o.null);
    request.countOnly = parser.isSet(o.count);
    request.withOrigin = parser.isSet(o.withOrigin);
    if (parser.isSet(o.output)) {
        request.outputFile = parser.value(o.output);
        if (request.outputFile.isEmpty())
            throw UsageError(QStringLiteral("--output needs a file name"));
    }
    if (request.nulTerminated && request.countOnly)
        throw UsageError(QStringLiteral("--null and --count contradict each other"));
    if (request.nulTerminated && !request.outputFile.isEmpty())
        throw UsageError(QStringLiteral("--null does not go with --output, whose file ends each item with CR LF"));
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
    return QStringLiteral("Usage: %1 lines TEXT [OPTION]...\n"
                          "  or:  %1 between START END [OPTION]...\n"
                          "  or:  %1 --list-tables [OPTION]...\n"
                          "Read every field of every user table of a SQL Server database and print each line that\n"
                          "contains TEXT, letter case ignored, or each stretch between START and END (markers matched\n"
                          "with letter case ignored), as the extraction window of Rowquarry finds them. A line is one\n"
                          "field value, or one part of it where the value holds carriage returns.\n"
                          "\n"
                          "The connection is the one the connection window saved last (%2);\n"
                          "these options replace its fields:\n"
                          "      --server NAME       the server, e.g. db.example.com or localhost\\SQLEXPRESS\n"
                          "      --port NUMBER       the server's port (not used for a local connection)\n"
                          "      --user NAME         the login\n"
                          "      --database NAME     the database\n"
                          "      --local             a local connection: the server name alone, no port\n"
                          "      --no-local          a connection to the server's port\n"
                          "      --password-stdin    read the password from the first line of standard input\n"
                          "The password is the saved one, unless ROWQUARRY_PASSWORD is set or --password-stdin is\n"
                          "given; it is never taken from an argument.\n"
                          "\n"
                          "Tables (by default every table whose name holds no \"sys\"; views are never read):\n"
                          "      --table PATTERN     read only the tables PATTERN names, whatever their name; again\n"
                          "                          for more. PATTERN is schema.table or table (any schema), * and ?\n"
                          "                          as wildcards, letter case ignored\n"
                          "      --exclude-table PATTERN  never read the tables PATTERN names; again for more\n"
                          "      --list-tables       print every table the database lists, whether it is read and,\n"
                          "                          if not, why; search nothing\n"
                          "\n"
                          "Output:\n"
                          "      --keep-duplicates   (between) print a stretch again when it was printed before\n"
                          "  -0, --null              end each item with NUL instead of a line feed\n"
                          "      --output FILE       write the items to FILE as \"Save Results\" does (CR LF, the\n"
                          "                          system's encoding); FILE is replaced only by a complete list\n"
                          "      --count             print the number of items only\n"
                          "      --with-origin       put each item's place before it: schema.table.column:row:\n"
                          "      --stats             end with one line of counts on standard error: tables, rows,\n"
                          "                          text read and time taken\n"
                          "  -h, --help              display this help and exit\n"
                          "      --version           output version information and exit\n"
                          "\n"
                          "Items go to standard output in UTF-8, each as soon as its rows are read; nothing of the\n"
                          "database is kept. While it reads, the counts are shown on standard error when it is a\n"
                          "terminal. Rowquarry, the windowed program, opens its windows when it is\n"
                          "given no command.\n"
                          "\n"
                          "Exit status is 0 if an item was found, 1 if none was, 2 if an error occurred,\n"
                          "and 130 when interrupted by Ctrl-C.\n")
        .arg(program, settingsFile);
}

QString versionText(const QString& program)
{
    return QStringLiteral("%1 (Rowquarry) %2\n").arg(program, QStringLiteral(ROWQUARRY_VERSION));
}

} // namespace rq::cli
