#include "TableChoiceStore.h"

#include "logic/frame/SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <QByteArray>

namespace rq {

namespace {

const QString kRead = QStringLiteral("Read");
const QString kLeftOut = QStringLiteral("LeftOut");

// Percent-escapes `%` and the characters given, so that any name fits where they mean something.
QString escaped(const QString& text, QStringView special)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'%' || c == u'\r' || c == u'\n' || special.contains(c))
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString unescaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        const int code = i + 2 < text.size() && text[i] == u'%' ? text.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (ok) {
            out += QChar(code);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString stored(const QString& section, const QString& key)
{
    return platform::getSetting(QLatin1String(settings::kApplication), section, key, QString());
}

QSet<QString> nameSet(const QString& value)
{
    QSet<QString> names;
    for (const QString& name : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
        names.insert(unescaped(name));
    return names;
}

QString nameList(const QSet<QString>& names)
{
    QStringList list;
    for (const QString& name : names)
        list << escaped(name, u",");
    list.sort();
    return list.join(QLatin1Char(','));
}

QString databaseChoiceSection(const ConnectionFields& fields)
{
    return QLatin1String("Rowquarry Databases ") + escaped(serverValue(fields), u"[]");
}

} // namespace

QString tableChoiceSection(const ConnectionFields& fields)
{
    return QLatin1String("Rowquarry Tables ") +
           escaped(serverValue(fields) + QLatin1Char('/') + fields.database, u"[]");
}

TableChoice loadTableChoice(const ConnectionFields& fields)
{
    const QString section = tableChoiceSection(fields);
    TableChoice choice;
    choice.ticked = nameSet(stored(section, kRead));
    choice.unticked = nameSet(stored(section, kLeftOut));
    return choice;
}

bool saveTableChoice(const ConnectionFields& fields, const QSet<QString>& ticked, const QSet<QString>& unticked)
{
    const QString application = QLatin1String(settings::kApplication);
    const QString section = tableChoiceSection(fields);
    return platform::saveSetting(application, section, kRead, nameList(ticked)) &&
           platform::saveSetting(application, section, kLeftOut, nameList(unticked));
}

bool saveTableChoice(const ConnectionFields& fields, const QList<TableDecision>& decisions, const QSet<QString>& read)
{
    QSet<QString> ticked;
    QSet<QString> unticked;
    for (const TableDecision& decision : decisions) {
        const QString name = TableName{decision.listed.table.schema, decision.listed.table.name}.quoted();
        if (decision.readByDefault() && !read.contains(name))
            unticked.insert(name);
        else if (!decision.readByDefault() && decision.listed.type == QLatin1String("TABLE") && read.contains(name))
            ticked.insert(name);
    }
    return saveTableChoice(fields, ticked, unticked);
}

DatabaseChoice loadDatabaseChoice(const ConnectionFields& fields)
{
    const QString section = databaseChoiceSection(fields);
    DatabaseChoice choice;
    choice.ticked = nameSet(stored(section, kRead));
    choice.unticked = nameSet(stored(section, kLeftOut));
    return choice;
}

bool saveDatabaseChoice(const ConnectionFields& fields, const DatabaseChoice& choice)
{
    const QString application = QLatin1String(settings::kApplication);
    const QString section = databaseChoiceSection(fields);
    return platform::saveSetting(application, section, kRead, nameList(choice.ticked)) &&
           platform::saveSetting(application, section, kLeftOut, nameList(choice.unticked));
}

ReadingOptions loadReadingOptions()
{
    ReadingOptions options;
    isolationFromName(settings::stored(settings::kIsolation), options.isolation);
    bool number = false;
    const int seconds = settings::stored(settings::kLockTimeout).toInt(&number);
    if (number && seconds >= 0)
        options.lockTimeoutSeconds = seconds;
    options.readOnlyIntent = settings::stored(settings::kReadOnlyIntent, "0") == QLatin1String("1");
    return options;
}

bool saveReadingOptions(const ReadingOptions& options)
{
    const QString application = QLatin1String(settings::kApplication);
    const QString section = QLatin1String(settings::kSection);
    return platform::saveSetting(application, section, QLatin1String(settings::kIsolation),
                                 isolationName(options.isolation)) &&
           platform::saveSetting(application, section, QLatin1String(settings::kLockTimeout),
                                 QString::number(options.lockTimeoutSeconds)) &&
           platform::saveSetting(application, section, QLatin1String(settings::kReadOnlyIntent),
                                 options.readOnlyIntent ? QStringLiteral("1") : QStringLiteral("0"));
}

ScanPlan savedScanPlan(const ConnectionFields& fields)
{
    ScanPlan plan = ScanPlan::of(fields);
    plan.reading = loadReadingOptions();
    plan.databases = loadDatabaseChoice(fields);
    // The tables chosen in each database the plan may read: the connection's and those ticked besides it.
    QSet<QString> databases = plan.databases.ticked;
    databases.insert(fields.database);
    for (const QString& database : databases) {
        ConnectionFields in = fields;
        in.database = database;
        plan.tablesChosen.insert(database, loadTableChoice(in));
    }
    return plan;
}

} // namespace rq
