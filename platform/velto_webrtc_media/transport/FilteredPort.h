// A packet port in front of another that lets a test drop datagrams on
// their way out or in: a lossy link with losses chosen by the test (which
// sees the RTP header in clear, as SRTP leaves it). The seam the network
// thread reads and writes through, as any port.
#pragma once

#include <functional>
#include <memory>

#include "PacketPort.h"

namespace velto_media {

// True drops the datagram. Called on the threads that send and on the
// network thread, with the datagram as it goes out or came in.
using DropPacket = std::function<bool(bool outgoing, const uint8_t* data, size_t size)>;

std::unique_ptr<PacketPort> filteredPort(std::unique_ptr<PacketPort> port, DropPacket drop);

}  // namespace velto_media
