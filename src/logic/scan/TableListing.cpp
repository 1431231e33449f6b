#include "TableListing.h"

#include "logic/connection/OpenConnection.h"
#include "logic/frame/Figures.h"
#include "logic/scan/ScanControl.h"
#include "logic/scan/ScanReader.h"
#include "platform/Odbc.h"
#include "platform/OffThread.h"

#include <QElapsedTimer>
#include <memory>

namespace rq {

QList<ListedTable> listDatabaseTables(const QString& connectionString, const std::function<void()>& whileWaiting,
                                      const std::function<bool()>& cancelled, int listingSeconds)
{
    auto listed = std::make_shared<QList<ListedTable>>();
    auto control = std::make_shared<ScanControl>();
    const LoginDeadline login;
    QElapsedTimer sinceOpened; // started once the connection is seen open
    bool userGaveUp = false;
    const auto giveUp = [&] {
        if (cancelled && cancelled())
            userGaveUp = true;
        else if (!control->opened())
            return login.passed();
        else if (!sinceOpened.isValid())
            sinceOpened.start();
        return userGaveUp || sinceOpened.elapsed() > listingSeconds * 1000;
    };
    try {
        platform::OffThread::run(
            [listed, control, connectionString](const std::function<void()>&) {
                platform::odbc::Connection connection;
                openForReading(connection, connectionString, *control);
                const ConnectionInUse inUse(*control, connection);
                if (connection.dbmsName().contains(QLatin1String("SQL Server")))
                    control->allowCancel(); // the SQLite driver would free the result under the fetch
                *listed = listTables(connection, *control);
            },
            whileWaiting, giveUp);
    } catch (const platform::AbandonedWork&) {
        control->stop(); // a server still listing is told to stop
        if (userGaveUp)
            throw ListingCancelled{};
        if (!control->opened())
            throw LoginDeadline::failure();
        throw Failure(QStringLiteral("The server did not list the tables within %1.")
                          .arg(plural(listingSeconds, "second", "seconds")));
    }
    return *listed;
}

} // namespace rq
