// The signalling client against its in-process message server: several
// clients in one process meet in one room and exchange messages.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

#include "PlatformTestSupport.h"
#include "StandInSdp.h"
#include "VeltoRtcSdkTestHooks.h"

using platform_test::RecordingRtcCallback;

namespace {

const char* const kPort = "5222";

struct Client {
    RecordingRtcCallback events;  // declared first: outlives the client that calls it
    std::unique_ptr<VeltoRtcSdkInterface> rtc{VeltoRtcSdkInterface::CreateNew()};
    std::string jid;
};

// The line a participant record becomes in the recorder.
std::string userLine(const Client& client, const std::string& nickname, const std::string& label = "",
                     bool moderator = false)
{
    return "user " + client.jid + " " + nickname + " label=" + label + " second= moderator=" +
           (moderator ? "true" : "false") + " audioMute=false";
}

class RtcHubTest : public ::testing::Test {
protected:
    // Every test has a message server of its own.
    const std::string server_ =
        std::string("msg-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".test";
    const std::string room_ = "800100@conference." + server_;

    void TearDown() override
    {
        clients_.clear();
        velto_rtc_test::Reset();
    }

    Client& connect(const std::string& userId, const std::string& endpoint)
    {
        clients_.push_back(std::make_unique<Client>());
        Client& client = *clients_.back();
        client.rtc->SetCallback(&client.events);
        EXPECT_EQ(0, client.rtc->ConnectToServer(server_, kPort, userId, server_, endpoint, conference_login_info{}));
        client.jid = userId + "@" + server_ + "/" + endpoint;
        return client;
    }

    void join(Client& client, const std::string& nickname, const std::string& moderatorJid = "")
    {
        conference_join_info answer;
        answer.moderatorJid = moderatorJid;
        ASSERT_EQ(0, client.rtc->JoinConferenceRoom(client.jid, room_, nickname, answer));
    }

    void flushAll()
    {
        for (const auto& client : clients_)
            ASSERT_TRUE(velto_rtc_test::Flush(server_, kPort, client->jid)) << client->jid;
    }

    std::vector<std::unique_ptr<Client>> clients_;
};

TEST_F(RtcHubTest, ClientsInOneRoomAnnounceEachOtherBothWays)
{
    Client& alice = connect("alice", "ep-a");
    join(alice, "Alice", alice.jid);
    Client& bob = connect("bob", "ep-b");
    join(bob, "Bob", alice.jid);

    ASSERT_TRUE(alice.events.waitFor(userLine(bob, "Bob")));
    ASSERT_TRUE(bob.events.waitFor(userLine(alice, "Alice", "", true)));
    flushAll();
    // The newcomer gets the room's offer first, and nobody hears of itself.
    EXPECT_EQ((std::vector<std::string>{"offer", "ice", userLine(alice, "Alice", "", true)}), bob.events.lines());
    EXPECT_EQ((std::vector<std::string>{"offer", "ice", userLine(bob, "Bob")}), alice.events.lines());
    EXPECT_EQ(2u, velto_rtc_test::RoomMembers(server_, kPort, room_).size());

    ASSERT_EQ(0, bob.rtc->LeaveConferenceRoom());
    EXPECT_TRUE(alice.events.waitFor("remove " + bob.jid));
    EXPECT_EQ(-1, bob.rtc->LeaveConferenceRoom());
    EXPECT_EQ(1u, velto_rtc_test::RoomMembers(server_, kPort, room_).size());
}

TEST_F(RtcHubTest, AnswersPublishTheStreamsOfAParticipant)
{
    using velto_platform::SdpSource;
    Client& alice = connect("alice", "ep-a");
    join(alice, "Alice");
    Client& bob = connect("bob", "ep-b");
    const std::vector<SdpSource> camera{{"audio", "11", "c", "4321", "4321_audio"},
                                        {"video", "12", "c", "4321", "4321_video"}};
    // Answering from inside the event, as the media engine's chain does.
    bob.events.react = [&](const std::string& line) {
        if (line == "offer")
            bob.rtc->SendAnswer(velto_platform::WriteSdp("s", camera));
    };
    join(bob, "Bob");

    ASSERT_TRUE(alice.events.waitFor("sourceAdd audio:4321 video:4321"));
    ASSERT_TRUE(alice.events.waitFor(userLine(bob, "Bob", "4321")));

    // A latecomer learns the streams that are there already.
    Client& carol = connect("carol", "ep-c");
    join(carol, "Carol");
    ASSERT_TRUE(carol.events.waitFor("sourceAdd audio:4321 video:4321"));
    ASSERT_TRUE(carol.events.waitFor(userLine(bob, "Bob", "4321")));

    std::vector<SdpSource> withScreen = camera;
    withScreen.push_back({"video", "13", "c", "777", "777_video"});
    ASSERT_EQ(0, bob.rtc->SendSecondStreamAnswer("777", velto_platform::WriteSdp("s", withScreen)));
    ASSERT_TRUE(alice.events.waitFor("sourceAdd video:777"));
    ASSERT_TRUE(alice.events.waitFor("user " + bob.jid + " Bob label=4321 second=777 moderator=false audioMute=false"));

    ASSERT_EQ(0, bob.rtc->RemoveSecondStreamSource("777"));
    ASSERT_TRUE(alice.events.waitFor("sourceRemove video:777"));
    EXPECT_EQ(0, bob.rtc->RemoveSecondStreamSession("777"));
    EXPECT_EQ(-1, bob.rtc->RemoveSecondStreamSession("777"));
    EXPECT_EQ(-1, bob.rtc->RemoveSecondStreamSource("777"));

    bob.rtc.reset();  // gone without leaving: the others still see the streams end
    EXPECT_TRUE(alice.events.waitFor("sourceRemove audio:4321 video:4321"));
    EXPECT_TRUE(alice.events.waitFor("remove " + clients_[1]->jid));
}

// Alice sends; Bob and Carol share her room; Alice's second device is on
// line but not in the room.
struct Delivery {
    const char* name;
    std::function<int(Client& alice, Client& bob, Client& carol, Client& aliceElsewhere)> send;
    int result;
    std::function<std::vector<std::vector<std::string>>(const Client& alice, const Client& bob, const Client& carol)>
        expected;  // new lines of alice, bob, carol, alice elsewhere
};

void PrintTo(const Delivery& delivery, std::ostream* out)
{
    *out << delivery.name;
}

class RtcDeliveryTest : public RtcHubTest, public ::testing::WithParamInterface<Delivery> {};

TEST_P(RtcDeliveryTest, ReachesTheAddresseesOnlyAndIsNeverEchoed)
{
    Client& alice = connect("alice", "ep-a");
    Client& bob = connect("bob", "ep-b");
    Client& carol = connect("carol", "ep-c");
    Client& aliceElsewhere = connect("alice", "ep-d");
    join(alice, "Alice", alice.jid);
    join(bob, "Bob", alice.jid);
    join(carol, "Carol", alice.jid);
    flushAll();
    std::vector<size_t> before;
    for (const auto& client : clients_)
        before.push_back(client->events.lines().size());

    EXPECT_EQ(GetParam().result, GetParam().send(alice, bob, carol, aliceElsewhere));
    flushAll();

    const auto expected = GetParam().expected(alice, bob, carol);
    for (size_t i = 0; i < clients_.size(); ++i) {
        const std::vector<std::string> lines = clients_[i]->events.lines();
        EXPECT_EQ(expected[i], std::vector<std::string>(lines.begin() + before[i], lines.end())) << clients_[i]->jid;
    }
}

using Lines = std::vector<std::vector<std::string>>;
const std::vector<std::string> kNothing;

INSTANTIATE_TEST_SUITE_P(
    Messages, RtcDeliveryTest,
    ::testing::Values(
        Delivery{"chat", [](Client& a, Client&, Client&, Client&) { return a.rtc->SendGroupMessage("Alice", "hi"); },
                 0, [](auto&, auto&, auto&) { return Lines{kNothing, {"chat Alice hi"}, {"chat Alice hi"}, kNothing}; }},
        Delivery{"whiteboard_stroke",
                 [](Client& a, Client&, Client&, Client&) {
                     return a.rtc->SendWhiteboardData("message", "Whiteboard", R"({"mouse":[[1,2],[3,4]]})");
                 },
                 0,
                 [](auto&, auto&, auto&) {
                     const std::string line =
                         R"(whiteboard message {"message":{"mouse":[[1,2],[3,4]]},"type":"Whiteboard"})";
                     return Lines{kNothing, {line}, {line}, kNothing};
                 }},
        Delivery{"whiteboard_create",
                 [](Client& a, Client&, Client&, Client&) {
                     return a.rtc->SendWhiteboardData("create", "static/apps/drawing/index.html", "");
                 },
                 0,
                 [](auto&, auto&, auto&) {
                     const std::string line = "whiteboard create static/apps/drawing/index.html";
                     return Lines{kNothing, {line}, {line}, kNothing};
                 }},
        Delivery{"annotation_to_one",
                 [](Client& a, Client&, Client& c, Client&) {
                     return a.rtc->SendAnnotateData("create", "800x600", "", c.jid);
                 },
                 0,
                 [](const Client& a, auto&, auto&) {
                     return Lines{kNothing, kNothing, {"annotate create 800x600 " + a.jid}, kNothing};
                 }},
        Delivery{"annotation_clear_to_all",
                 [](Client& a, Client&, Client&, Client&) {
                     return a.rtc->SendAnnotateData("message", "Clear Annotate", "", "");
                 },
                 0,
                 [](const Client& a, auto&, auto&) {
                     const std::string line = R"(annotate message {"message":{},"type":"Clear Annotate"} )" + a.jid;
                     return Lines{kNothing, {line}, {line}, kNothing};
                 }},
        Delivery{"audio_mute",
                 [](Client& a, Client& b, Client&, Client&) { return a.rtc->SendAudioMuteTo(b.jid, true); }, 0,
                 [](auto&, auto&, auto&) { return Lines{kNothing, {"audioMute true"}, kNothing, kNothing}; }},
        Delivery{"video_unmute",
                 [](Client& a, Client&, Client& c, Client&) { return a.rtc->SendVideoMuteTo(c.jid, false); }, 0,
                 [](auto&, auto&, auto&) { return Lines{kNothing, kNothing, {"videoMute false"}, kNothing}; }},
        Delivery{"ring_by_user_id_reaches_other_devices",
                 [](Client& a, Client&, Client&, Client&) {
                     return a.rtc->SendRing("ALICE", "processed", "", "", 0, 0, "", "");
                 },
                 0,
                 [](const Client& a, auto&, auto&) {
                     return Lines{kNothing, kNothing, kNothing, {"ring " + a.jid + " processed   0 0 "}};
                 }},
        Delivery{"ring_by_full_address",
                 [](Client& a, Client& b, Client&, Client&) {
                     return a.rtc->SendRing(b.jid, "join", "800100", "Alice", 0, 0, "", "secret");
                 },
                 0,
                 [](const Client& a, auto&, auto&) {
                     return Lines{kNothing, {"ring " + a.jid + " join 800100 Alice 0 0 secret"}, kNothing, kNothing};
                 }},
        Delivery{"moderator_grant",
                 [](Client& a, Client& b, Client&, Client&) { return a.rtc->SendGrantAdmin(b.jid); }, 0,
                 [](const Client& a, const Client& b, auto&) {
                     const std::string control = "control moderator " + b.jid;
                     const std::string aliceDemoted = userLine(a, "Alice");
                     const std::string bobPromoted = userLine(b, "Bob", "", true);
                     return Lines{{bobPromoted},
                                  {"grantAdmin", control, aliceDemoted},
                                  {control, aliceDemoted, bobPromoted},
                                  kNothing};
                 }},
        Delivery{"presence_updates_the_record_and_statistics",
                 [](Client& a, Client&, Client&, Client&) {
                     presence_info presence;
                     presence.mUserName = "Alice";
                     presence.role = "CRUO";
                     presence.audioMute = true;
                     presence.audioSendBitrate = "32";
                     presence.audioRecvBitrate = "64";
                     presence.videoSendBitrate = "512";
                     presence.videoRecvBitrate = "1024";
                     presence.packetLoss = "2";
                     return a.rtc->SendPresence(presence, 0);
                 },
                 0,
                 [](const Client& a, auto&, auto&) {
                     const std::vector<std::string> lines{
                         "user " + a.jid + " Alice label= second= moderator=true audioMute=true",
                         "stat " + a.jid + " 2 0 1 1088 544"};
                     return Lines{kNothing, lines, lines, kNothing};
                 }},
        Delivery{"kick",
                 [](Client& a, Client&, Client& c, Client&) { return a.rtc->SendKick(c.jid); }, 0,
                 [](auto&, auto&, const Client& c) {
                     return Lines{{"remove " + c.jid}, {"remove " + c.jid}, {"kickout"}, kNothing};
                 }},
        Delivery{"mute_of_a_stranger_is_refused",
                 [](Client& a, Client&, Client&, Client& elsewhere) {
                     return a.rtc->SendAudioMuteTo(elsewhere.jid, true);
                 },
                 -1, [](auto&, auto&, auto&) { return Lines{kNothing, kNothing, kNothing, kNothing}; }},
        Delivery{"drawing_body_that_is_no_json_object_is_refused",
                 [](Client& a, Client&, Client&, Client&) {
                     return a.rtc->SendWhiteboardData("message", "Whiteboard", "[1,2");
                 },
                 -1, [](auto&, auto&, auto&) { return Lines{kNothing, kNothing, kNothing, kNothing}; }},
        Delivery{"chat_outside_a_room_is_refused",
                 [](Client&, Client&, Client&, Client& elsewhere) {
                     return elsewhere.rtc->SendGroupMessage("Alice", "hi");
                 },
                 -1, [](auto&, auto&, auto&) { return Lines{kNothing, kNothing, kNothing, kNothing}; }}),
    [](const ::testing::TestParamInfo<Delivery>& info) { return std::string(info.param.name); });

TEST_F(RtcHubTest, EventsRunOnTheClientsThreadAndAReplacedCallbackHearsNothingMore)
{
    Client& alice = connect("alice", "ep-a");
    RecordingRtcCallback replacement;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(velto_rtc_test::InjectEvent(server_, kPort, alice.jid, [&](VeltoRtcCallback& cb) {
        started.set_value();
        released.wait();
        cb.onKickout();
    }));
    started.get_future().wait();

    // Replacing the callback waits for the event that is running.
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        alice.rtc->SetCallback(&replacement);
        replaced = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(replaced);
    release.set_value();
    replacer.join();

    // An event that replaces the callback itself: what is queued behind it
    // goes to the new one.
    ASSERT_TRUE(velto_rtc_test::InjectEvent(server_, kPort, alice.jid, [&](VeltoRtcCallback& cb) {
        cb.onSip(1);
        alice.rtc->SetCallback(nullptr);
    }));
    ASSERT_TRUE(velto_rtc_test::InjectEvent(server_, kPort, alice.jid, [](VeltoRtcCallback& cb) { cb.onSip(2); }));
    ASSERT_TRUE(velto_rtc_test::Flush(server_, kPort, alice.jid));

    EXPECT_EQ(std::vector<std::string>{"kickout"}, alice.events.lines());
    EXPECT_EQ(std::vector<std::string>{"sip 1"}, replacement.lines());
    const std::set<std::thread::id> threads = alice.events.threads();
    EXPECT_EQ(replacement.threads(), threads);
    EXPECT_EQ(0u, threads.count(std::this_thread::get_id()));
}

TEST_F(RtcHubTest, RefusedConnectionsFailingPingsAndNetworkLoss)
{
    velto_rtc_test::SetServerFaults(server_, kPort, {-7, 0});
    std::unique_ptr<VeltoRtcSdkInterface> refused(VeltoRtcSdkInterface::CreateNew());
    EXPECT_EQ(-7, refused->ConnectToServer(server_, kPort, "zoe", server_, "ep-z", {}));
    EXPECT_EQ(-1, refused->SendPing());
    EXPECT_EQ(-1, refused->Disconnect());
    velto_rtc_test::SetServerFaults(server_, kPort, {});

    Client& alice = connect("alice", "ep-a");
    Client& bob = connect("bob", "ep-b");
    join(alice, "Alice");
    join(bob, "Bob");
    EXPECT_EQ(-1, refused->ConnectToServer(server_, kPort, "alice", server_, "ep-a", {}));  // address taken
    EXPECT_EQ(0, alice.rtc->SendPing());
    velto_rtc_test::SetServerFaults(server_, kPort, {0, -1});
    EXPECT_EQ(-1, alice.rtc->SendPing());
    velto_rtc_test::SetServerFaults(server_, kPort, {});

    ASSERT_TRUE(velto_rtc_test::DropConnection(server_, kPort, bob.jid));
    EXPECT_TRUE(bob.events.waitFor("networkError"));
    EXPECT_TRUE(alice.events.waitFor("remove " + bob.jid));
    EXPECT_EQ(-1, bob.rtc->SendPing());
    EXPECT_EQ(std::vector<std::string>{alice.jid}, velto_rtc_test::ConnectedClients(server_, kPort));

    // A lost client connects again the usual way.
    EXPECT_EQ(0, bob.rtc->ConnectToServer(server_, kPort, "bob", server_, "ep-b", {}));
    EXPECT_EQ(0, bob.rtc->SendPing());
    EXPECT_EQ(0, bob.rtc->Disconnect());
    EXPECT_EQ(-1, bob.rtc->SendPing());

    size_t alicePings = 0;
    for (const velto_rtc_test::SentMessage& sent : velto_rtc_test::SentMessages(server_, kPort))
        alicePings += sent.from == alice.jid && sent.operation == "SendPing";
    EXPECT_EQ(2u, alicePings);
}

}  // namespace
