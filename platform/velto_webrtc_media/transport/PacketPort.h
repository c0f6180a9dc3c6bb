// Where the network thread reads and writes datagrams: the engine's UDP
// socket, or whatever a test puts in its place (a lossy or delaying link).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velto_media {

class PacketPort {
public:
    virtual ~PacketPort() = default;
    // A descriptor that polls readable while datagrams wait.
    virtual int fd() const = 0;
    // Sends one datagram to the destination; false when it could not go.
    virtual bool send(const uint8_t* data, size_t size) = 0;
    // Takes one waiting datagram; its size, or -1 when none waits.
    virtual long receive(uint8_t* buffer, size_t capacity) = 0;
    // From now on datagrams go to, and are taken only from, host:port.
    virtual bool setDestination(const std::string& host, int port) = 0;
    virtual int localPort() const = 0;
};

// A UDP socket bound to a free port on every local address; null when the
// system refuses one.
std::unique_ptr<PacketPort> openUdpPort();

}  // namespace velto_media
