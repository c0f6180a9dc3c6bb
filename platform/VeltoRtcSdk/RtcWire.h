// The message server's side of the wire: one JSON text per WebSocket frame
// (tools/velto_server/README.md has the protocol).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "VeltoRtcSdkInterface.h"

namespace velto_rtc {

using Event = std::function<void(VeltoRtcCallback&)>;

// One message from the server: the answer to a request of ours, or an event
// for the callback. Anything else (not JSON, unknown type, a member missing or
// of the wrong type) decodes to Kind::None and is dropped.
struct Incoming {
    enum class Kind { None, Answer, Event };
    Kind kind = Kind::None;
    std::uint64_t id = 0;  // Answer: the request it answers
    bool ok = false;       // Answer: whether the server did it
    std::string jid;       // Answer to "connect": our address
    std::string error;     // Answer: why the server refused, when it says
    Event event;
};

Incoming DecodeServerMessage(const std::string& text);

}  // namespace velto_rtc
