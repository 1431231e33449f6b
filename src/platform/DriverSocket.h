#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

namespace rq::platform {

// A TCP socket of this process, by its descriptor and what the descriptor refers to (so that a descriptor
// reused for another file is told apart), with the addresses of its two ends.
struct SocketId {
    int descriptor = -1;
    unsigned long long identity = 0;
    QByteArray local; // the addresses as the system gives them
    QByteArray peer;
    bool operator==(const SocketId& other) const
    {
        return descriptor == other.descriptor && identity == other.identity;
    }
};

// The connected TCP sockets this process has open now; none where the system cannot say.
std::vector<SocketId> connectedTcpSockets();

// The sockets of the one connection made between `before` and `after`: the socket that appeared, or the two
// ends of a connection to a server in this same process. Nothing when another thread connected meanwhile,
// since then no one can tell which socket is whose.
std::vector<SocketId> newConnection(const std::vector<SocketId>& before, const std::vector<SocketId>& after);

// Ends both directions of the socket, if its descriptor still refers to it: a driver waiting on it, or reading
// what a server goes on sending, sees the connection closed and returns. The descriptor stays the driver's.
void shutDown(const SocketId& socket) noexcept;

} // namespace rq::platform
