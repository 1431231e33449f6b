#pragma once

#include "platform/EncryptionProbe.h"
#include "platform/FreeTdsEntries.h"
#include "platform/Odbc.h"

#include <functional>
#include <optional>

namespace rq {

// A connection refused over encryption: the server cannot encrypt, or its certificate could not be verified. The
// description says which and names the choice that would allow it; the driver's own words are kept beside it.
class EncryptionRefused : public Failure {
public:
    EncryptionRefused(QString description, QString driverWords)
        : Failure(std::move(description)), driverWords_(std::move(driverWords))
    {
    }
    const QString& driverWords() const noexcept { return driverWords_; }

private:
    QString driverWords_;
};

// Opens the connection. Where the driver refuses one that had to be encrypted, throws EncryptionRefused saying
// why. Microsoft's driver says so itself; FreeTDS says only that the connection failed, so the server is asked
// whether it can encrypt at all (a PRELOGIN alone: nothing of the login is sent), unless `abandoned` answers true:
// nobody waits for the answer any more, and the program may be ending. Other failures pass unchanged.
void openExplainingRefusal(
    platform::odbc::Connection& connection, const QString& connectionString,
    const std::function<bool()>& abandoned = [] { return false; });

// The parts, for tests: the message for a FreeTDS connection through `entry` that failed while the server said
// `server` of encryption, and the message for Microsoft's driver's words; none when encryption was not the cause.
std::optional<QString> freeTdsRefusal(const platform::FreeTdsEntry& entry, platform::ServerEncryption server);
std::optional<QString> microsoftRefusal(const QString& driverWords);

} // namespace rq
