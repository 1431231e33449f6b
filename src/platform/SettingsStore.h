#pragma once

#include <QString>

// The per-user store of named text values: one INI file per application name in the user's
// configuration folder, one section per section name. Read and written on every call; nothing is cached.
namespace rq::platform {

// $XDG_CONFIG_HOME (or ~/.config, or the platform's configuration folder) + "/" + application + ".ini"
QString settingsFilePath(const QString& application);

QString getSetting(const QString& application, const QString& section, const QString& key, const QString& defaultValue);
// The file holds the password in plain text, so it is readable and writable by its owner only.
// Returns false when the file could not be written.
bool saveSetting(const QString& application, const QString& section, const QString& key, const QString& value);

} // namespace rq::platform
