// With FreeTDS registered as "SQL Server": the network form reaches the port it names.
#include "logic/OpenConnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace rq;

namespace {

// Runs a loopback stand-in in a thread of its own (the open blocks the test's thread). `serve` sets up,
// says when it is ready, then serves until asked to stop; the thread is joined when the object goes.
class ServingThread {
public:
    template <class Serve> explicit ServingThread(Serve serve)
    {
        std::atomic<bool> ready = false;
        thread_ = std::thread([this, serve, &ready] { serve(ready, stop_); });
        while (!ready)
            std::this_thread::yield();
    }
    ~ServingThread()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// Accepts connections on a loopback port and hangs up at once, so the driver's login fails quickly.
class LoopbackListener {
public:
    explicit LoopbackListener(quint16 port = 0)
        : serving_([this, port](std::atomic<bool>& ready, const std::atomic<bool>& stop) {
              QTcpServer server;
              listening_ = server.listen(QHostAddress::LocalHost, port);
              port_ = server.serverPort();
              ready = true;
              while (listening_ && !stop) {
                  if (server.waitForNewConnection(50)) {
                      delete server.nextPendingConnection();
                      ++accepted_;
                  }
              }
          })
    {
    }
    bool listening() const { return listening_; }
    quint16 port() const { return port_; }
    int accepted() const { return accepted_; }

private:
    std::atomic<bool> listening_ = false;
    std::atomic<int> accepted_ = 0;
    std::atomic<quint16> port_ = 0;
    ServingThread serving_; // last: started after, and joined before, the counters it writes
};

// Answers a SQL Server Browser question for an instance's port (UDP 1434) with the given port.
class BrowserStandIn {
public:
    explicit BrowserStandIn(quint16 instancePort)
        : serving_([this, instancePort](std::atomic<bool>& ready, const std::atomic<bool>& stop) {
              QUdpSocket socket;
              bound_ = socket.bind(QHostAddress::LocalHost, 1434);
              ready = true;
              while (bound_ && !stop) {
                  if (!socket.waitForReadyRead(50))
                      continue;
                  QHostAddress from;
                  quint16 fromPort = 0;
                  QByteArray question(int(socket.pendingDatagramSize()), 0);
                  socket.readDatagram(question.data(), question.size(), &from, &fromPort);
                  ++questions_;
                  const QByteArray answer =
                      "ServerName;TEST;InstanceName;SQLEXPRESS;IsClustered;No;Version;15.0.2000.5;tcp;" +
                      QByteArray::number(instancePort) + ";;";
                  QByteArray reply(1, char(0x05));
                  reply.append(char(answer.size() & 0xff)).append(char(answer.size() >> 8)).append(answer);
                  socket.writeDatagram(reply, from, fromPort);
              }
          })
    {
    }
    bool bound() const { return bound_; }
    int questions() const { return questions_; }

private:
    std::atomic<bool> bound_ = false;
    std::atomic<int> questions_ = 0;
    ServingThread serving_;
};

} // namespace

TEST(FreeTds, NetworkFormReachesTheNamedPortAndFailsCleanly)
{
    LoopbackListener listener;
    ConnectionFields fields{"127.0.0.1", QString::number(listener.port()), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(fields)); // our listener speaks no TDS
    EXPECT_GE(listener.accepted(), 1);
}

// The local form names no port: with an instance name the driver asks the SQL Server Browser for the
// port, and the port box plays no part.
TEST(FreeTds, LocalFormFindsANamedInstanceWithoutThePortBox)
{
    LoopbackListener instance;
    LoopbackListener portBox;
    BrowserStandIn browser(instance.port());
    if (!browser.bound())
        GTEST_SKIP() << "UDP port 1434 is taken here";
    ConnectionFields local{"127.0.0.1\\SQLEXPRESS", QString::number(portBox.port()), "sa", "pw", "master", true};
    EXPECT_FALSE(OpenConnection(local)); // our listener speaks no TDS
    EXPECT_GE(browser.questions(), 1);
    EXPECT_GE(instance.accepted(), 1);
    EXPECT_EQ(portBox.accepted(), 0);
}

TEST(FreeTds, AClosedPortFailsCleanly)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    ConnectionFields closed{"127.0.0.1", QString::number(closedPort), "sa", "pw", "master", false};
    EXPECT_FALSE(OpenConnection(closed));
}
