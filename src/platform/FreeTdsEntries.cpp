#include "FreeTdsEntries.h"

#include "Failure.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <mutex>

namespace rq::platform {

namespace {

// FreeTDS reads its file a line of 256 bytes at a time; a longer line would be read as two.
constexpr qsizetype kLongestValueBytes = 200;

const char kFileHeader[] =
    "# Rowquarry's own entries for FreeTDS: the servers it connects to with encryption required.\n"
    "# Only Rowquarry's connections read this file; it may be deleted at any time.\n";

std::mutex registryMutex;
QHash<QString, FreeTdsEntry> registered; // by name: the entries this process's connection strings name
bool redirected = false;                 // FREETDSCONF names Rowquarry's file
QString usersValue;                      // what it named before

bool holdsLine(const QByteArray& text, const QByteArray& line)
{
    for (const QByteArray& each : text.split('\n'))
        if (each.trimmed() == line)
            return true;
    return false;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Failure cannotWrite(const QString& path, const QString& why)
{
    return Failure(QStringLiteral("Rowquarry's FreeTDS configuration %1 could not be written: %2.").arg(path, why));
}

// Adds the entry under a lock, so that another process adding its own at the same time loses neither.
void addToFile(const QString& path, const QByteArray& header, const QByteArray& body)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        throw cannotWrite(path, QStringLiteral("its folder cannot be made"));
    QLockFile lock(path + QLatin1String(".lock"));
    if (!lock.tryLock(5000))
        throw cannotWrite(path, QStringLiteral("another program holds it locked"));
    QByteArray text = readAll(path);
    if (holdsLine(text, header))
        return;
    if (text.isEmpty())
        text = kFileHeader;
    else if (!text.endsWith('\n'))
        text += '\n';
    text += header + '\n' + body;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw cannotWrite(path, file.errorString());
}

} // namespace

QString FreeTdsEntry::lines() const
{
    QString text = QStringLiteral("\thost = %1\n").arg(host);
    if (!port.isEmpty())
        text += QStringLiteral("\tport = %1\n").arg(port);
    if (!instance.isEmpty())
        text += QStringLiteral("\tinstance = %1\n").arg(instance);
    if (!caFile.isEmpty())
        text += QStringLiteral("\tca file = %1\n\tcheck certificate hostname = yes\n").arg(caFile);
    return text;
}

QString FreeTdsEntry::name() const
{
    const QByteArray digest = QCryptographicHash::hash(lines().toUtf8(), QCryptographicHash::Sha256);
    return QLatin1String("rowquarry-") + QString::fromLatin1(digest.toHex().left(16));
}

bool carriableInFreeTdsConf(const QString& value)
{
    if (value.toUtf8().size() > kLongestValueBytes || value.startsWith(QLatin1Char(' ')) ||
        value.endsWith(QLatin1Char(' ')) || value.contains(QLatin1String("  ")))
        return false;
    for (const QChar c : value)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('#') || c == QLatin1Char(';'))
            return false;
    return true;
}

QString freeTdsCaFile()
{
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    return file.isEmpty() ? QLatin1String(kSystemTrustStore) : file;
}

QString rowquarryFreeTdsConf()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return (cache.isEmpty() ? QDir::tempPath() : cache) + QLatin1String("/rowquarry/freetds.conf");
}

void registerFreeTdsEntry(const FreeTdsEntry& entry)
{
    for (const QString& value : {entry.host, entry.port, entry.instance, entry.caFile})
        if (!carriableInFreeTdsConf(value))
            throw Failure(QStringLiteral("\"%1\" cannot be written to FreeTDS's configuration: it holds a line "
                                         "break, \"#\", \";\" or blanks that FreeTDS would drop, or is too long.")
                              .arg(value));
    const QString path = rowquarryFreeTdsConf();
    const QByteArray header = '[' + entry.name().toUtf8() + ']';
    if (!holdsLine(readAll(path), header))
        addToFile(path, header, entry.lines().toUtf8());
    pointFreeTdsAtRowquarrysFile();
    const std::lock_guard lock(registryMutex);
    registered.insert(entry.name(), entry);
}

void pointFreeTdsAtRowquarrysFile()
{
    const QString path = rowquarryFreeTdsConf();
    const std::lock_guard lock(registryMutex);
    const QString current = qEnvironmentVariable("FREETDSCONF");
    if (current == path) // set again only where something else has changed it since
        return;
    usersValue = current;
    redirected = true;
    qputenv("FREETDSCONF", QFile::encodeName(path));
}

std::optional<FreeTdsEntry> freeTdsEntryOf(const QString& connectionString)
{
    static const QRegularExpression servername(QStringLiteral("(?:^|;)Servername=(rowquarry-[0-9a-f]{16});"));
    const QRegularExpressionMatch match = servername.match(connectionString);
    if (!match.hasMatch())
        return std::nullopt;
    const std::lock_guard lock(registryMutex);
    const auto found = registered.constFind(match.captured(1));
    return found == registered.constEnd() ? std::nullopt : std::optional(*found);
}

QString usersFreeTdsConf()
{
    const std::lock_guard lock(registryMutex);
    const QString current = qEnvironmentVariable("FREETDSCONF");
    return redirected && current == rowquarryFreeTdsConf() ? usersValue : current;
}

} // namespace rq::platform
