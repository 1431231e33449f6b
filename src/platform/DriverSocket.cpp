#include "DriverSocket.h"

#include <algorithm>

#if defined(__linux__)
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#endif

namespace rq::platform {

#if defined(__linux__)

namespace {

std::optional<SocketId> tcpSocket(int descriptor)
{
    struct stat status = {};
    if (fstat(descriptor, &status) != 0 || !S_ISSOCK(status.st_mode))
        return std::nullopt;
    int type = 0;
    int domain = 0;
    socklen_t length = sizeof type;
    if (getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return std::nullopt;
    length = sizeof domain;
    if (getsockopt(descriptor, SOL_SOCKET, SO_DOMAIN, &domain, &length) != 0 ||
        (domain != AF_INET && domain != AF_INET6))
        return std::nullopt;
    sockaddr_storage local = {};
    sockaddr_storage peer = {};
    socklen_t localLength = sizeof local;
    length = sizeof peer;
    if (getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &localLength) != 0)
        return std::nullopt; // not connected
    return SocketId{descriptor, static_cast<unsigned long long>(status.st_ino),
                    QByteArray(reinterpret_cast<const char*>(&local), localLength),
                    QByteArray(reinterpret_cast<const char*>(&peer), length)};
}

} // namespace

std::vector<SocketId> connectedTcpSockets()
{
    std::vector<SocketId> sockets;
    DIR* folder = opendir("/proc/self/fd");
    if (!folder)
        return sockets;
    while (const dirent* entry = readdir(folder)) {
        char* end = nullptr;
        const long descriptor = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || descriptor == dirfd(folder))
            continue;
        if (const std::optional<SocketId> socket = tcpSocket(int(descriptor)))
            sockets.push_back(*socket);
    }
    closedir(folder);
    return sockets;
}

void shutDown(const SocketId& socket) noexcept
{
    struct stat status = {};
    if (fstat(socket.descriptor, &status) == 0 && static_cast<unsigned long long>(status.st_ino) == socket.identity)
        ::shutdown(socket.descriptor, SHUT_RDWR);
}

#else

// Elsewhere the program does not look for its drivers' sockets: a link that will not wind down is left to
// finish on its own.
std::vector<SocketId> connectedTcpSockets() { return {}; }
void shutDown(const SocketId&) noexcept {}

#endif

std::vector<SocketId> newConnection(const std::vector<SocketId>& before, const std::vector<SocketId>& after)
{
    std::vector<SocketId> found;
    for (const SocketId& socket : after)
        if (std::find(before.begin(), before.end(), socket) == before.end())
            found.push_back(socket);
    const bool twoEndsOfOne = found.size() == 2 && found[0].local == found[1].peer && found[0].peer == found[1].local;
    return found.size() == 1 || twoEndsOfOne ? found : std::vector<SocketId>();
}

} // namespace rq::platform
