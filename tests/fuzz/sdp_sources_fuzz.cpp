// Feeds arbitrary bytes to the stand-ins' session description reader, which
// now reads the offers the message server writes and the answers clients send.
#include "StandInSdp.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto sources = velto_platform::ReadSdpSources(text);
    // What was read can be written again and read back.
    velto_platform::ReadSdpSources(velto_platform::WriteSdp("s", sources));
    return 0;
}
