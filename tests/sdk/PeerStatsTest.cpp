// The scripted peer's statistics file: two peers meet through a local server
// whose forwarding unit loses 5% of the packets, each writes what it received
// when it leaves, and both files hold every member with values that fit the
// run (the other's camera and sound, losses seen, asked for and recovered).
#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "JsonFile.h"
#include "LocalServer.h"
#include "MediaFiles.h"
#include "MediaTestSupport.h"
#include "PeerProcess.h"

namespace velto::test {
namespace {

// Long enough that the streams run more than 4 s of it also when joining and
// the connectivity checks take seconds (a loaded machine, a sanitizer build).
constexpr auto kMeeting = 8s;

Json::Value readJson(const std::string& path)
{
    const Json::Value value = readJsonFile(path);
    if (value.isNull())
        ADD_FAILURE() << "no JSON in " << path;
    return value;
}

// The received stream of `kind`; null when there is not exactly one.
const Json::Value* stream(const Json::Value& stats, const std::string& kind)
{
    const Json::Value* found = nullptr;
    for (const Json::Value& s : stats["streams"])
        if (s["kind"].asString() == kind) {
            if (found)
                return nullptr;
            found = &s;
        }
    return found;
}

TEST(PeerStatsTest, EachPeerWritesWhatItReceivedWhenItLeaves)
{
    LocalServer::Options lossy;
    lossy.mediaLossPercent = 5;
    lossy.mediaLossSeed = 11;
    LocalServer server(lossy);
    server.setCaBundleEnv();
    const std::string dir = freshTestDirectory("peer_stats");
    const Account demo = server.demoAccount();
    // Both talk in syllables, 300 ms on and 200 ms off: speech, whose packets
    // carry the frame before them as redundancy (silence and a steady tone
    // carry none), so that lost sound can come back too.
    constexpr int kRate = 48000;
    std::vector<int16_t> voice = media_test::tone(440, kRate, kRate * 2);
    for (size_t i = 0; i < voice.size(); ++i)
        if (i % (kRate / 2) >= kRate * 3 / 10)
            voice[i] = 0;
    const std::string voiceWav = dir + "/voice.wav";
    ASSERT_TRUE(media_test::writeWav(voiceWav, voice, kRate));
    {
        // Demo opens its room and sends; Alice joins the running stream.
        PeerProcess host(server.host(), demo, demo.room, demo.meetPassword, {"--stats", dir + "/demo.json", "--microphone-wav", voiceWav});
        ASSERT_EQ(host.waitFor("result join "), "result join 0");
        PeerProcess guest(server.host(), server.account("alice"), demo.room, demo.meetPassword,
                          {"--stats", dir + "/alice.json", "--microphone-wav", voiceWav});
        ASSERT_EQ(guest.waitFor("result join "), "result join 0");
        std::this_thread::sleep_for(kMeeting);
    }  // both quit, and leave

    for (const std::string name : {"demo", "alice"}) {
        SCOPED_TRACE(name);
        const Json::Value stats = readJson(dir + "/" + name + ".json");
        ASSERT_TRUE(stats["streams"].isArray());
        ASSERT_EQ(2u, stats["streams"].size());
        const Json::Value* video = stream(stats, "video");
        const Json::Value* audio = stream(stats, "audio");
        ASSERT_TRUE(video && audio);
        for (const Json::Value* s : {video, audio}) {
            for (const char* member : {"ssrc", "frames_decoded", "longest_freeze_ms", "keyframes", "nacks_sent",
                                       "plis_sent", "packets_lost", "packets_recovered"})
                EXPECT_TRUE((*s)[member].isUInt64()) << member;
            EXPECT_NE(0u, (*s)["ssrc"].asUInt());
            // The other peer's stream, from about when both were in until both left.
            const double seconds = (*s)["seconds"].asDouble();
            EXPECT_GT(seconds, 4);
            EXPECT_LT(seconds, 12);
            EXPECT_NEAR((*s)["frames_decoded"].asDouble() / seconds, (*s)["fps"].asDouble(), 0.1);
            // 5% of some hundred packets went missing, and some came back.
            EXPECT_GT((*s)["packets_lost"].asUInt64(), 0u);
            EXPECT_GT((*s)["packets_recovered"].asUInt64(), 0u);
        }
        EXPECT_LE((*video)["packets_recovered"].asUInt64(), (*video)["packets_lost"].asUInt64());
        // Pictures drawn from keyframes on, with gaps between them; each gap asked for.
        EXPECT_GT((*video)["frames_decoded"].asUInt(), 5u);
        EXPECT_GE((*video)["keyframes"].asUInt(), 1u);
        EXPECT_GT((*video)["longest_freeze_ms"].asInt64(), 0);
        EXPECT_LT((*video)["longest_freeze_ms"].asDouble(), (*video)["seconds"].asDouble() * 1000);
        EXPECT_GT((*video)["nacks_sent"].asUInt(), 0u);
        // Sound: 20 ms frames, those rebuilt from FEC counted as recovered.
        EXPECT_GT((*audio)["fps"].asDouble(), 40);
        EXPECT_LE((*audio)["fps"].asDouble(), 51);
        EXPECT_EQ((*audio)["frames_from_fec"].asUInt(), (*audio)["packets_recovered"].asUInt());
        // On one machine the checks choose the direct path.
        EXPECT_EQ(stats["ice"]["local"].asString(), "host");
        EXPECT_EQ(stats["ice"]["remote"].asString(), "host");
        EXPECT_EQ(stats["ice"]["transport"].asString(), "udp");
        // The peer itself.
        EXPECT_GT(stats["cpu_percent"].asDouble(), 0);
        EXPECT_LT(stats["cpu_percent"].asDouble(), 800);
        EXPECT_GT(stats["max_rss_mib"].asDouble(), 5);
        EXPECT_LT(stats["max_rss_mib"].asDouble(), 2000);
    }
    // Alice came into a running stream: she asked for a keyframe.
    const Json::Value alice = readJson(dir + "/alice.json");
    ASSERT_TRUE(stream(alice, "video"));
    EXPECT_GE((*stream(alice, "video"))["plis_sent"].asUInt(), 1u);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velto::test
