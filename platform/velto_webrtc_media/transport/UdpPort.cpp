#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "PacketPort.h"

namespace velto_media {
namespace {

class UdpPort final : public PacketPort {
public:
    explicit UdpPort(int fd) : fd_(fd) {}
    ~UdpPort() override { ::close(fd_); }

    int fd() const override { return fd_; }

    bool send(const uint8_t* data, size_t size) override
    {
        if (!connected_)
            return false;
        // A full socket buffer drops the packet, as the network would.
        return ::send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    }

    long receive(uint8_t* buffer, size_t capacity) override
    {
        for (;;) {
            const ssize_t got = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
            if (got >= 0)
                return static_cast<long>(got);
            // An ICMP error from an earlier send is no datagram: read on.
            if (errno == ECONNREFUSED || errno == EINTR)
                continue;
            return -1;
        }
    }

    bool setDestination(const std::string& host, int port) override
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        const std::string numeric = host == "localhost" ? "127.0.0.1" : host;
        if (port <= 0 || port > 65535 || inet_pton(AF_INET, numeric.c_str(), &address.sin_addr) != 1)
            return false;
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        return connected_;
    }

    int localPort() const override
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return -1;
        return ntohs(address.sin_port);
    }

private:
    const int fd_;
    bool connected_ = false;
};

}  // namespace

std::unique_ptr<PacketPort> openUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    // Room for a burst of screen keyframe packets between two reads.
    const int buffer = 1 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<UdpPort>(fd);
}

}  // namespace velto_media
