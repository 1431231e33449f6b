// With FreeTDS registered as "SQL Server": the network form reaches the port it names.
#include "connection/OpenConnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace rq;

namespace {

// Accepts connections on a loopback port in a thread of its own (the open blocks the test's thread)
// and hangs up at once, so the driver's login fails quickly.
class LoopbackListener {
public:
    LoopbackListener()
    {
        std::atomic<bool> listening = false;
        thread_ = std::thread([this, &listening] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost);
            port_ = server.serverPort();
            listening = true;
            while (!stop_) {
                if (server.waitForNewConnection(50)) {
                    delete server.nextPendingConnection();
                    ++accepted_;
                }
            }
        });
        while (!listening)
            std::this_thread::yield();
    }
    ~LoopbackListener()
    {
        stop_ = true;
        thread_.join();
    }
    quint16 port() const { return port_; }
    int accepted() const { return accepted_; }

private:
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> accepted_ = 0;
    std::atomic<quint16> port_ = 0;
};

} // namespace

TEST(FreeTds, NetworkFormReachesTheNamedPortAndFailsCleanly)
{
    LoopbackListener listener;
    ConnectionFields fields{"127.0.0.1", QString::number(listener.port()), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(fields)); // our listener speaks no TDS
    EXPECT_GE(listener.accepted(), 1);
}

TEST(FreeTds, LocalFormCarriesNoPortAndAClosedPortFails)
{
    LoopbackListener listener;
    ConnectionFields local{"127.0.0.1", QString::number(listener.port()), "sa", "pw", "master", true};
    EXPECT_FALSE(OpenConnection(local)); // the default port: nothing listens there
    EXPECT_EQ(listener.accepted(), 0);

    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    ConnectionFields closed{"127.0.0.1", QString::number(closedPort), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(closed));
}
