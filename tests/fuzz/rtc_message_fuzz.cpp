// Feeds arbitrary bytes to the signalling client's reading of server
// messages and runs whatever event comes out on a callback that ignores it:
// nothing may crash, throw or read out of bounds.
#include "NullRtcCallback.h"
#include "RtcWire.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    velto_rtc::Incoming in = velto_rtc::DecodeServerMessage(text);
    if (in.kind == velto_rtc::Incoming::Kind::Event) {
        velto::test::NullRtcCallback callback;
        in.event(callback);
    }
    return 0;
}
