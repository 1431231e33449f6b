#pragma once

#include "platform/SettingsStore.h"

// Where the windows keep their fields and the way they were left between runs.
namespace rq::settings {

inline constexpr auto kApplication = "Quillmark";
inline constexpr auto kSection = "Rowquarry";

inline constexpr auto kServer = "MSServer";
inline constexpr auto kUser = "MSUser";
inline constexpr auto kPassword = "MSPassword";
inline constexpr auto kDatabase = "MSDatabase";
inline constexpr auto kPort = "Port";
inline constexpr auto kLocalConnection = "Local Connection";
inline constexpr auto kShowWhereFound = "Show Where Found"; // the results list's second column shown: "1"
inline constexpr auto kIsolation = "Isolation";             // how the scan reads: committed, uncommitted, snapshot
inline constexpr auto kLockTimeout = "Lock Timeout";        // seconds a table's read waits for a lock; 0: for ever
inline constexpr auto kReadOnlyIntent = "Read-Only Intent"; // "1": the scan asks for a readable secondary
// The connection's security choices, "1" when made; absent or "0", the whole session is encrypted and the
// server's certificate checked.
inline constexpr auto kTrustServerCertificate = "Trust Server Certificate";
inline constexpr auto kAllowUnencrypted = "Allow Unencrypted Connection";

// The extraction window as the user left it.
inline constexpr auto kExtractionWindow = "Extraction Window"; // "left,top,width,height", then ",maximized" where so
inline constexpr auto kFoundWidth = "Found Width";             // pixels the user dragged the columns to; absent: fitted
inline constexpr auto kWhereWidth = "Where Width";
inline constexpr auto kValuePane = "Value Pane";            // "0": the value pane hidden
inline constexpr auto kValuePaneSizes = "Value Pane Sizes"; // "list,pane,value,row" heights in pixels
inline constexpr auto kSearchText = "Search Text";
inline constexpr auto kMatchCase = "Match Case";
inline constexpr auto kWholeWord = "Whole Word";
inline constexpr auto kRegex = "Regex";
inline constexpr auto kStartText = "Start With";
inline constexpr auto kEndText = "End With";
inline constexpr auto kKeepDuplicates = "Keep Duplicates";
inline constexpr auto kMarkersMatchCase = "Markers Match Case";
// Megabytes the window's packed text may take; absent, half the machine's memory. Past it, tables are read on but
// not kept, and searches read them again.
inline constexpr auto kTextMemoryBudget = "Text Memory Budget";
inline constexpr auto kAskToSaveResults = "Ask To Save Results"; // "0": closing never asks about unsaved results

inline constexpr auto kDefaultPort = "1433";
inline constexpr auto kDefaultLocalConnection = "0";

// Saves one of the values above; a failed write is not reported (the next change writes again).
inline void store(const char* key, const QString& value)
{
    platform::saveSetting(QLatin1String(kApplication), QLatin1String(kSection), QLatin1String(key), value);
}
// A switch, as "1" or "0".
inline void store(const char* key, bool on) { store(key, on ? QStringLiteral("1") : QStringLiteral("0")); }

// The stored value of one of the fields above, or `defaultValue` where the file holds none.
inline QString stored(const char* key, const char* defaultValue = "")
{
    return platform::getSetting(QLatin1String(kApplication), QLatin1String(kSection), QLatin1String(key),
                                QLatin1String(defaultValue));
}

// Whether the store holds the key at all: an absent key reads as whichever default is asked for.
inline bool isStored(const char* key) { return stored(key, "0") == stored(key, "1"); }

// "Local Connection" as stored: ticked for any text but "0".
inline bool storedLocalConnection() { return stored(kLocalConnection, kDefaultLocalConnection) != QLatin1String("0"); }

} // namespace rq::settings
