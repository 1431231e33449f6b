#include "support/TdsServer.h"

#include "Protocol.h"
#include "ServerState.h"
#include "Session.h"

#include <QTcpServer>
#include <future>
#include <utility>
#include <vector>

namespace rq::test {

namespace {

constexpr quint16 kFirstSpid = 51;

// Hands accepted sockets to the acceptor instead of queueing QTcpSocket objects owned by this thread.
class Listener : public QTcpServer {
public:
    std::vector<qintptr> pending;

protected:
    void incomingConnection(qintptr descriptor) override { pending.push_back(descriptor); }
};

} // namespace

TdsServer::TdsServer(Options options) : state_(std::make_unique<TdsServerState>())
{
    state_->options = std::move(options);
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    acceptor_ = std::thread([this, &ready] {
        TdsServerState& state = *state_;
        Listener listener;
        listening_ = listener.listen(QHostAddress::LocalHost, state.options.port);
        port_ = listener.serverPort();
        ready.set_value();
        std::vector<std::thread> connections;
        quint16 spid = kFirstSpid;
        while (listening_ && !state.stop) {
            if (!listener.waitForNewConnection(tds::kPollMs))
                continue;
            for (const qintptr descriptor : std::exchange(listener.pending, {})) {
                ++state.accepted;
                connections.emplace_back(tds::serveConnection, std::ref(state), descriptor, spid++);
            }
        }
        listener.close();
        for (std::thread& connection : connections)
            connection.join();
    });
    started.wait();
}

TdsServer::~TdsServer()
{
    state_->stop = true;
    acceptor_.join();
}

QList<TdsServer::Login> TdsServer::logins() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->logins;
}

QStringList TdsServer::batches() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->batches;
}

int TdsServer::accepted() const { return state_->accepted; }

int TdsServer::attentions() const { return state_->attentions; }

int TdsServer::stalls() const { return state_->stalls; }

int TdsServer::closed() const { return state_->closed; }

int TdsServer::requests() const { return state_->requests; }

QList<TdsServer::SessionSettings> TdsServer::sessionSettings() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->sessions;
}

TdsServer::Options& TdsServer::Options::addSystemDatabases()
{
    for (const char* name : {"master", "model", "msdb", "tempdb"})
        databases.append(TdsDatabase{QString::fromLatin1(name), {}});
    return *this;
}

TdsTable textTable(const QString& schema, const QString& name, const QStringList& values)
{
    TdsTable table;
    table.schema = schema;
    table.name = name;
    table.columns = {{QStringLiteral("Value"), TdsType::NVarChar, 200}};
    for (const QString& value : values)
        table.rows.append({QVariant(value)});
    return table;
}

} // namespace rq::test
