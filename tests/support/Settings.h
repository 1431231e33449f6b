#pragma once

#include "platform/SettingsStore.h"

namespace rq::test {

inline QString storedSetting(const QString& key, const QString& absent = QStringLiteral("<absent>"))
{
    return platform::getSetting(QStringLiteral("Quillmark"), QStringLiteral("Rowquarry"), key, absent);
}

inline void storeSetting(const QString& key, const QString& value)
{
    platform::saveSetting(QStringLiteral("Quillmark"), QStringLiteral("Rowquarry"), key, value);
}

} // namespace rq::test
