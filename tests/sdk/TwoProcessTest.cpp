// Two SDK clients in two processes meet through the local server: this test
// is the host (the demo user in the demo room); the scripted peer (velto_peer)
// is Alice, driven line by line.
#include "PeerProcess.h"
#include "SdkTestFixture.h"

namespace velto::test {
namespace {

bool hasEvent(const std::vector<Event>& events, const std::string& name, const std::vector<std::string>& args)
{
    return std::any_of(events.begin(), events.end(), [&](const Event& e) {
        return e.name == name && std::equal(args.begin(), args.end(), e.args.begin(),
                                            e.args.begin() + std::min(args.size(), e.args.size())) &&
               e.args.size() >= args.size();
    });
}

TEST_F(SdkTest, TwoProcessesMeetThroughTheServer)
{
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    const std::string hostJid = startDemoMeeting(*host, callback);
    const Account demo = server().demoAccount();
    PeerProcess peer(server().host(), server().account("alice"), demo.room, demo.meetPassword);
    const std::string ready = peer.waitFor("ready ");
    ASSERT_FALSE(ready.empty());
    const std::string peerJid = ready.substr(6);
    const auto waitHost = [&](const std::string& name, const std::vector<std::string>& args) {
        return callback.waitFor([&](const std::vector<Event>& events) { return hasEvent(events, name, args); });
    };

    // Participants both ways, with the host in the chair.
    ASSERT_EQ(peer.waitFor("result join "), "result join 0");
    EXPECT_TRUE(waitHost("onUpdateUserList", {peerJid}));
    EXPECT_FALSE(peer.waitFor("event onUpdateUserList " + hostJid + " Demo User moderator=true").empty());

    // Chat both ways.
    ASSERT_EQ(host->SendChatMessage("hello peer"), 0);
    EXPECT_FALSE(peer.waitFor("event onChatMessage Demo User hello peer").empty());
    EXPECT_EQ(peer.order("chat hi host"), "0");
    EXPECT_TRUE(waitHost("onChatMessage", {"Alice Chen", "hi host"}));

    // The stage, a raised hand, a recording from start to stop.
    ASSERT_EQ(host->SetStage(peerJid, false), 0);
    EXPECT_FALSE(peer.waitFor("event onConferencePartipants " + peerJid + " false").empty());
    EXPECT_EQ(peer.order("hand apply"), "0");
    EXPECT_TRUE(waitHost("onHandsUp", {"apply", peerJid, "Alice Chen"}));
    ASSERT_EQ(host->StartRecord("recording"), 0);
    EXPECT_FALSE(peer.waitFor("event onNotifyRecord true").empty());
    EXPECT_TRUE(callback.waitForEvent("onNotifyRecord"));
    EXPECT_EQ(host->StopRecord(), 0) << "the notice named the recording to stop";
    EXPECT_FALSE(peer.waitFor("event onNotifyRecord false").empty());

    // Who does not hold the chair cannot kick; the server drops the message.
    EXPECT_EQ(peer.order("kick " + hostJid), "0") << "queued";
    EXPECT_EQ(peer.order("chat after the kick"), "0");
    EXPECT_TRUE(waitHost("onChatMessage", {"Alice Chen", "after the kick"}));
    EXPECT_TRUE(callback.events("onKickout").empty());

    // A ring reaches the callee with the sender the server knows.
    EXPECT_EQ(peer.order("ring " + demo.userId), "0");
    EXPECT_TRUE(waitHost("onRingCall", {peerJid, "invite"}));
    EXPECT_EQ(peer.count("event onRingCall"), 0u);

    // The moderator claim moves the chair on both sides.
    EXPECT_EQ(peer.order("claim " + demo.ownerPassword), "0");
    EXPECT_FALSE(peer.waitFor("event onGrantAdmin").empty());
    EXPECT_TRUE(waitHost("onControlMsg", {"moderator"}));
    EXPECT_EQ(peer.order("moderator"), "1");
    EXPECT_TRUE(callback.waitFor([&](const std::vector<Event>&) { return !host->isModerator(); }));

    // The server goes away: both notice at once, long before a ping is due.
    const auto killed = std::chrono::steady_clock::now();
    server().stop();
    EXPECT_TRUE(callback.waitForEvent("onNetworkError", 1, 5s));
    EXPECT_FALSE(peer.waitFor("event onNetworkError", 5s).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    server().restart();
    server().setCaBundleEnv();
}

// The scripted peer raises its hand (as `scripts/run.sh` starts it) before
// the demo user opens his room: he is told of it when he arrives, and later
// of nobody's hand who left meanwhile. A chair taken over later brings the
// hands still raised along.
TEST_F(SdkTest, AModeratorWhoArrivesLaterIsToldOfTheHandsRaised)
{
    const Account demo = server().demoAccount();
    PeerProcess alice(server().host(), server().account("alice"), demo.room, demo.meetPassword, {"--raise-hand"});
    const std::string aliceJid = alice.waitFor("ready ").substr(6);
    ASSERT_FALSE(aliceJid.empty());
    ASSERT_EQ(alice.waitFor("result join "), "result join 0");
    ASSERT_EQ(alice.waitFor("result hand "), "result hand 0");
    std::string bobJid;
    {
        PeerProcess bob(server().host(), server().account("bob"), demo.room, demo.meetPassword, {"--raise-hand"});
        bobJid = bob.waitFor("ready ").substr(6);
        ASSERT_EQ(bob.waitFor("result hand "), "result hand 0");
    }  // Bob leaves with his hand raised

    RecordingCallback callback;
    auto host = makeSdk(&callback);
    startDemoMeeting(*host, callback);
    ASSERT_TRUE(callback.waitFor([&](const std::vector<Event>& events) {
        return hasEvent(events, "onHandsUp", {"apply", aliceJid, "Alice Chen"});
    })) << "the raised hand was not listed";
    ASSERT_TRUE(callback.waitFor([&](const std::vector<Event>& events) {
        return hasEvent(events, "onUpdateUserList", {aliceJid});
    }));
    EXPECT_FALSE(hasEvent(callback.events("onHandsUp"), "onHandsUp", {"apply", bobJid}));
    EXPECT_EQ(callback.events("onHandsUp").size(), 1u);

    // Alice claims the chair: she is told of her own hand, still raised.
    const std::string own = "event onHandsUp apply " + aliceJid;
    const std::size_t before = alice.count(own);
    EXPECT_EQ(alice.order("claim " + demo.ownerPassword), "0");
    EXPECT_FALSE(alice.waitFor("event onGrantAdmin").empty());
    for (int i = 0; i < 500 && alice.count(own) == before; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(alice.count(own), before + 1);
}

}  // namespace
}  // namespace velto::test
