#pragma once

#include <QString>

// The per-user store of named text values: one INI file per application name in the user's
// configuration folder, one section per section name. Read and written on every call; nothing is cached.
// Other programs keep their own sections in the same file, so a save edits one line and keeps the rest.
namespace rq::platform {

// $XDG_CONFIG_HOME (or ~/.config, or the platform's configuration folder) + "/" + application + ".ini"
QString settingsFilePath(const QString& application);

// Empty when the settings file can be used, or is not there yet; otherwise why it cannot be ("it is a
// folder", "Permission denied", "it holds bytes that are not text"). Such a file reads as empty and is never
// written: what it holds may still be someone's.
QString settingsFileProblem(const QString& application);

// The stored text exactly as it stands after the '=', or the default when the file, section or key is missing.
QString getSetting(const QString& application, const QString& section, const QString& key, const QString& defaultValue);
// The file holds the password in plain text, so it is readable and writable by its owner only.
// Saving the value the file already holds leaves the file untouched.
// Returns false when the file could not be read or written, or when the value (or a name) holds a line break,
// which one INI line cannot store.
bool saveSetting(const QString& application, const QString& section, const QString& key, const QString& value);

} // namespace rq::platform
