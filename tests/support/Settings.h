#pragma once

#include "logic/connection/ConnectionString.h"
#include "platform/SettingsStore.h"
#include "support/CoreEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace rq::test {

inline QString storedSetting(const QString& key, const QString& absent = QStringLiteral("<absent>"))
{
    return platform::getSetting(QStringLiteral("Quillmark"), QStringLiteral("Rowquarry"), key, absent);
}

inline void storeSetting(const QString& key, const QString& value)
{
    platform::saveSetting(QStringLiteral("Quillmark"), QStringLiteral("Rowquarry"), key, value);
}

// Stores the connection as the connection window saves it.
inline void saveConnection(const CoreEnvironment& env, const ConnectionFields& fields)
{
    QDir().mkpath(QFileInfo(env.settingsFile()).absolutePath());
    QFile file(env.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("[Rowquarry]\nMSServer=%1\nPort=%2\nMSUser=%3\nMSPassword=%4\nMSDatabase=%5\n"
                              "Local Connection=%6\n")
                   .arg(fields.server, fields.port, fields.user, fields.password, fields.database,
                        fields.local ? QStringLiteral("1") : QStringLiteral("0"))
                   .toUtf8());
}

} // namespace rq::test
