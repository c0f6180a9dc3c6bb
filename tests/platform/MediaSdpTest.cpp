// The SDP lines of the media path: keys and host candidates written and read
// back, malformed ones refused, keys blanked for logs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MediaSdp.h"

using namespace velto_platform;

namespace {

std::vector<uint8_t> counting()
{
    std::vector<uint8_t> key(30);
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = uint8_t(i * 9 + 1);
    return key;
}

TEST(MediaSdp, CryptoLinesReadBackTheirKey)
{
    const std::vector<uint8_t> key = counting();
    const std::string line = writeCryptoLine(key.data());
    EXPECT_EQ(line.rfind("a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:", 0), 0u) << line;
    EXPECT_EQ(line.size(), std::string("a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:").size() + 40);

    const std::vector<uint8_t> other(30, 0xff);
    const struct {
        const char* name;
        std::string sdp;
        std::vector<uint8_t> key;
    } cases[] = {
        {"line alone", line, key},
        {"inside an SDP with CRLF", "v=0\r\nm=audio 9 RTP/SAVPF 111\r\n" + line + "\r\na=rtcp-mux\r\n", key},
        {"first of two", line + "\n" + writeCryptoLine(other.data()) + "\n", key},
        {"other suite skipped", "a=crypto:1 AES_256_CM_HMAC_SHA1_80 inline:AAAA\n" + line, key},
        {"lifetime and MKI", line + "|2^31|1:4", key},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> read;
        EXPECT_TRUE(readCryptoLine(c.sdp, &read)) << c.name;
        EXPECT_EQ(read, c.key) << c.name;
    }
}

TEST(MediaSdp, MalformedCryptoLinesAreRefused)
{
    const std::string prefix = "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:";
    const std::string good = writeCryptoLine(counting().data()).substr(prefix.size());
    const struct {
        const char* name;
        std::string sdp;
    } cases[] = {
        {"no crypto line", "v=0\r\nm=audio 9 RTP/SAVPF 111\r\n"},
        {"only another suite", "a=crypto:1 AES_256_CM_HMAC_SHA1_80 inline:" + good},
        {"no key", prefix},
        {"key of 29 bytes", prefix + "AQIDBAUGBwgJCgsMDQ4PEBESExQVFhcYGRobHB0="},
        {"key of 33 bytes", prefix + good + "AAAA"},
        {"character outside base64", prefix + good.substr(0, 39) + "!"},
        {"group cut short", prefix + good.substr(0, 38)},
        {"padding in the middle", prefix + "AB==" + good.substr(4)},
        {"missing inline", "a=crypto:1 AES_CM_128_HMAC_SHA1_80 " + good},
        {"tag not a number", "a=crypto:x AES_CM_128_HMAC_SHA1_80 inline:" + good},
        {"line cut after the suite", "a=crypto:1 AES_CM_128_HMAC_SHA1_80"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> read{1, 2, 3};
        EXPECT_FALSE(readCryptoLine(c.sdp, &read)) << c.name;
        EXPECT_EQ(read, (std::vector<uint8_t>{1, 2, 3})) << c.name;
    }
}

TEST(MediaSdp, KeysGoIntoEachMediaSection)
{
    const std::vector<uint8_t> key = counting();
    const std::string line = writeCryptoLine(key.data());
    const struct {
        const char* name;
        std::string sdp;
        std::string expected;
    } cases[] = {
        {"two sections, CRLF", "v=0\r\nm=audio 9 X 111\r\na=ssrc:1 cname:c\r\nm=video 9 X 100\r\n",
         "v=0\r\nm=audio 9 X 111\r\n" + line + "\r\na=ssrc:1 cname:c\r\nm=video 9 X 100\r\n" + line + "\r\n"},
        {"last line without end", "v=0\nm=audio 9 X 111", "v=0\nm=audio 9 X 111\n" + line + "\n"},
        {"no section", "v=0\r\n", "v=0\r\n" + line + "\r\n"},
        {"empty", "", line + "\n"},
    };
    for (const auto& c : cases) {
        const std::string sdp = withCryptoLine(c.sdp, key.data());
        EXPECT_EQ(sdp, c.expected) << c.name;
        std::vector<uint8_t> read;
        EXPECT_TRUE(readCryptoLine(sdp, &read)) << c.name;
        EXPECT_EQ(read, key) << c.name;
    }
}

TEST(MediaSdp, KeysAreBlankedForLogs)
{
    const std::vector<uint8_t> key = counting();
    const std::string line = writeCryptoLine(key.data());
    const std::string keyText = line.substr(line.find("inline:") + 7);
    const std::string sdp = "v=0\r\n" + line + "|2^31\r\na=ssrc:5 cname:x\r\n" + line;
    const std::string blank = withoutKeys(sdp);
    EXPECT_EQ(blank.find(keyText), std::string::npos) << blank;
    EXPECT_EQ(blank, "v=0\r\na=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:...|2^31\r\na=ssrc:5 cname:x\r\n"
                     "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:...");
    EXPECT_FALSE(readCryptoLine(blank, nullptr));
    EXPECT_EQ(withoutKeys("a=ice-ufrag:abcd\r\na=ice-pwd:secretsecretsecret\r\n"),
              "a=ice-ufrag:abcd\r\na=ice-pwd:...\r\n");
}

TEST(MediaSdp, HostCandidatesReadBackTheirAddress)
{
    EXPECT_EQ(writeHostCandidate("127.0.0.1", 40123), "candidate:1 1 udp 2130706431 127.0.0.1 40123 typ host");
    const struct {
        const char* name;
        std::string candidate;
        bool ok;
        std::string host;
        int port;
    } cases[] = {
        {"written", writeHostCandidate("127.0.0.1", 1), true, "127.0.0.1", 1},
        {"highest port", writeHostCandidate("::1", 65535), true, "::1", 65535},
        {"with a=", "a=" + writeHostCandidate("127.0.0.1", 5000), true, "127.0.0.1", 5000},
        {"upper-case transport", "candidate:7 1 UDP 1 10.0.0.1 9 typ host generation 0", true, "10.0.0.1", 9},
        {"port 0", writeHostCandidate("127.0.0.1", 0), false, "", 0},
        {"port too high", writeHostCandidate("127.0.0.1", 65536), false, "", 0},
        {"port not a number", "candidate:1 1 udp 2130706431 127.0.0.1 5x typ host", false, "", 0},
        {"negative port", "candidate:1 1 udp 2130706431 127.0.0.1 -5 typ host", false, "", 0},
        {"long port", "candidate:1 1 udp 2130706431 127.0.0.1 0000000000080 typ host", false, "", 0},
        {"tcp", "candidate:1 1 tcp 2130706431 127.0.0.1 5000 typ host", false, "", 0},
        {"relay", "candidate:1 1 udp 2130706431 127.0.0.1 5000 typ relay", false, "", 0},
        {"cut short", "candidate:1 1 udp 2130706431 127.0.0.1 5000", false, "", 0},
        {"no foundation", "candidate: 1 udp 2130706431 127.0.0.1 5000 typ host", false, "", 0},
        {"not a candidate", "", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host = "unchanged";
        int port = -1;
        EXPECT_EQ(readHostCandidate(c.candidate, &host, &port), c.ok) << c.name;
        EXPECT_EQ(host, c.ok ? c.host : "unchanged") << c.name;
        EXPECT_EQ(port, c.ok ? c.port : -1) << c.name;
    }
}

}  // namespace
