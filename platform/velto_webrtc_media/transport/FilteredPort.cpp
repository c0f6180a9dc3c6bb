#include "FilteredPort.h"

namespace velto_media {
namespace {

class FilteredPort final : public PacketPort {
public:
    FilteredPort(std::unique_ptr<PacketPort> port, DropPacket drop) : port_(std::move(port)), drop_(std::move(drop))
    {
    }

    int fd() const override { return port_->fd(); }

    bool send(const uint8_t* data, size_t size) override
    {
        // Gone as on the network: the sender cannot tell.
        return drop_(true, data, size) || port_->send(data, size);
    }

    long receive(uint8_t* buffer, size_t capacity) override
    {
        for (;;) {
            const long got = port_->receive(buffer, capacity);
            if (got < 0 || !drop_(false, buffer, static_cast<size_t>(got)))
                return got;
        }
    }

    bool setDestination(const std::string& host, int port) override { return port_->setDestination(host, port); }
    int localPort() const override { return port_->localPort(); }

private:
    const std::unique_ptr<PacketPort> port_;
    const DropPacket drop_;
};

}  // namespace

std::unique_ptr<PacketPort> filteredPort(std::unique_ptr<PacketPort> port, DropPacket drop)
{
    if (!port || !drop)
        return port;
    return std::make_unique<FilteredPort>(std::move(port), std::move(drop));
}

}  // namespace velto_media
