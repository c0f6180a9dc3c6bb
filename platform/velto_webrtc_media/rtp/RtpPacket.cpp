#include "RtpPacket.h"

namespace velto_media::rtp {

namespace {

constexpr size_t kFixedHeader = 12;

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t read32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

}  // namespace

bool isRtcp(const uint8_t* data, size_t size)
{
    return data && size >= 2 && data[1] >= 192 && data[1] <= 223;
}

bool parseRtp(const uint8_t* data, size_t size, RtpHeader* out)
{
    if (!data || size < kFixedHeader || (data[0] >> 6) != 2)
        return false;
    const bool padding = data[0] & 0x20;
    const bool extension = data[0] & 0x10;
    const size_t csrcCount = data[0] & 0x0f;
    size_t headerSize = kFixedHeader + 4 * csrcCount;
    if (headerSize > size)
        return false;
    if (extension) {
        // Profile-defined word, then the extension's length in 32-bit words.
        if (headerSize + 4 > size)
            return false;
        const size_t words = read16(data + headerSize + 2);
        headerSize += 4 + 4 * words;
        if (headerSize > size)
            return false;
    }
    size_t paddingSize = 0;
    if (padding) {
        // The last byte counts itself; the padding may not eat into the header.
        paddingSize = data[size - 1];
        if (paddingSize == 0 || paddingSize > size - headerSize)
            return false;
    }
    if (out) {
        out->payloadType = data[1] & 0x7f;
        out->marker = data[1] & 0x80;
        out->sequence = read16(data + 2);
        out->timestamp = read32(data + 4);
        out->ssrc = read32(data + 8);
        out->headerSize = headerSize;
        out->paddingSize = paddingSize;
    }
    return true;
}

void appendRtpHeader(std::vector<uint8_t>& out, const RtpHeader& header)
{
    out.push_back(0x80);
    out.push_back(uint8_t((header.marker ? 0x80 : 0) | (header.payloadType & 0x7f)));
    out.push_back(uint8_t(header.sequence >> 8));
    out.push_back(uint8_t(header.sequence));
    put32(out, header.timestamp);
    put32(out, header.ssrc);
}

}  // namespace velto_media::rtp
