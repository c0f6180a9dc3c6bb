// The signalling client against the local message server over loopback:
// clients log in on the REST side, connect, meet in a room and exchange
// messages; faults come from the server's test control.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "LocalServer.h"
#include "RestClient.h"
#include "PlatformTestSupport.h"
#include "StandInSdp.h"
#include "WsLink.h"

using platform_test::RecordingRtcCallback;
using velto::test::LocalServer;

namespace {

struct Client {
    RecordingRtcCallback events;  // declared first: outlives the client that calls it
    std::unique_ptr<VeltoRtcSdkInterface> rtc{VeltoRtcSdkInterface::CreateNew()};
    conference_login_info login;
    std::string token;  // of the REST side
    std::string jid;
    std::string nickname;
};

std::string userLine(const Client& client, const std::string& label = "", bool moderator = false)
{
    return "user " + client.jid + " " + client.nickname + " label=" + label + " second= moderator=" +
           (moderator ? "true" : "false") + " audioMute=false";
}

class RtcHubTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = new LocalServer();
        server_->setCaBundleEnv();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override { server_->reset(); }
    void TearDown() override { clients_.clear(); }

    static Json::Value rest(const std::string& path, const std::string& token = {})
    {
        return velto::test::RestClient(*server_).call("GET", path, {}, token);
    }

    // Logs `userName` in on the REST side and connects its signalling client.
    Client& connect(const std::string& userName)
    {
        const velto::test::Account account = server_->account(userName);
        const Json::Value obj = rest("/clientApi/loginClient?username=" + account.userName +
                                     "&password=" + account.password + "&clientType=pc-win")["obj"];
        clients_.push_back(std::make_unique<Client>());
        Client& client = *clients_.back();
        client.token = obj["accessToken"].asString();
        client.login.mUserId = obj["mUserId"].asString();
        client.login.endpoint = obj["endpoint"].asString();
        client.login.messageServer = obj["messageServer"].asString();
        client.login.messageServerPort = obj["messageServerPort"].asString();
        for (const Json::Value& ice : obj["turn"]["iceServers"])
            client.login.iceServers.push_back(
                {ice["url"].asString(), ice["username"].asString(), ice["credential"].asString()});
        client.nickname = account.displayName;
        client.rtc->SetCallback(&client.events);
        EXPECT_EQ(0, connectAgain(client));
        client.jid = client.login.mUserId + "@" + client.login.messageServer + "/" + client.login.endpoint;
        return client;
    }

    static int connectAgain(Client& client)
    {
        const conference_login_info& l = client.login;
        return client.rtc->ConnectToServer(l.messageServer, l.messageServerPort, l.mUserId, l.messageServer,
                                           l.endpoint, l);
    }

    // Creates or joins `room` on the REST side, then joins it by signalling.
    void join(Client& client, const std::string& room, const std::string& password = "")
    {
        ASSERT_EQ(200, rest("/clientApi/createOrJoinConference?j=" + client.jid + "&r=" + room + "&p=" + password,
                            client.token)["code"]
                           .asInt());
        ASSERT_EQ(0, client.rtc->JoinConferenceRoom(client.jid, roomJid(room), client.nickname, {}));
    }

    static std::string roomJid(const std::string& room) { return room + "@conference." + server_->messageServer(); }

    // Everything the server sent `client` before this has been delivered.
    static void flush(Client& client)
    {
        static int markers = 0;
        const std::string marker = "marker" + std::to_string(++markers);
        ASSERT_TRUE(server_->pushSignals(client.jid, {R"({"type":"chat","nickname":"","message":")" + marker + "\"}"}));
        ASSERT_TRUE(client.events.waitFor("chat  " + marker));
    }

    // The server has handled `count` requests of `operation` from `client`.
    static bool handled(const Client& client, const std::string& operation, std::size_t count = 1)
    {
        return server_->waitForSignals([&](const std::vector<velto::test::SentSignal>& all) {
            return std::size_t(std::count_if(all.begin(), all.end(), [&](const velto::test::SentSignal& s) {
                       return s.from == client.jid && s.operation == operation;
                   })) >= count;
        });
    }

    // Alice in her room as its moderator, Bob with her.
    std::pair<Client*, Client*> aliceAndBob()
    {
        Client& alice = connect("alice");
        join(alice, server_->account("alice").room);
        Client& bob = connect("bob");
        join(bob, server_->account("alice").room);
        return {&alice, &bob};
    }

    inline static LocalServer* server_ = nullptr;
    std::vector<std::unique_ptr<Client>> clients_;
};

TEST_F(RtcHubTest, ParticipantsMeetChatAndLeaveBothWays)
{
    auto [alice, bob] = aliceAndBob();
    ASSERT_TRUE(alice->events.waitFor(userLine(*bob)));
    ASSERT_TRUE(bob->events.waitFor(userLine(*alice, "", true)));
    EXPECT_TRUE(bob->events.contains("offer"));

    // The name that comes with a message is the server's record of the
    // sender, whatever name the sender wrote.
    ASSERT_EQ(0, alice->rtc->SendGroupMessage("Bob Martin", "hi bob"));
    ASSERT_EQ(0, bob->rtc->SendGroupMessage("Alice Chen", "hi alice"));
    EXPECT_TRUE(bob->events.waitFor("chat Alice Chen hi bob"));
    EXPECT_TRUE(alice->events.waitFor("chat Bob Martin hi alice"));
    flush(*alice);
    EXPECT_FALSE(alice->events.contains("chat Alice Chen hi bob")) << "no echo to the sender";

    ASSERT_EQ(0, bob->rtc->LeaveConferenceRoom());
    EXPECT_TRUE(alice->events.waitFor("remove " + bob->jid));
    EXPECT_EQ(0, bob->rtc->SendGroupMessage("Bob", "gone")) << "queued; the server refuses it";
    ASSERT_TRUE(handled(*bob, "SendGroupMessage", 2));
    flush(*alice);
    EXPECT_FALSE(alice->events.contains("chat Bob gone")) << "no room, no chat";
    EXPECT_EQ(1u, server_->signalRoom(server_->account("alice").room).size());
}

TEST_F(RtcHubTest, AnswersPublishTheStreamsOfAParticipant)
{
    auto [alice, bob] = aliceAndBob();
    const std::vector<velto_platform::SdpSource> camera{{"audio", "11", "c", "bob-cam", "bob-cam_audio"},
                                                        {"video", "12", "c", "bob-cam", "bob-cam_video"}};
    ASSERT_EQ(0, bob->rtc->SendAnswer(velto_platform::WriteSdp("s", camera)));
    EXPECT_TRUE(alice->events.waitFor("sourceAdd audio:bob-cam video:bob-cam"));
    EXPECT_TRUE(alice->events.waitFor(userLine(*bob, "bob-cam")));

    // A newcomer's offer names the streams already there.
    Client& demo = connect("demo");
    join(demo, server_->account("alice").room);
    EXPECT_TRUE(demo.events.waitFor("sourceAdd audio:bob-cam video:bob-cam"));
}

TEST_F(RtcHubTest, ModeratorOnlyMessagesFromOthersAreDroppedByTheServer)
{
    struct Case {
        const char* name;
        std::function<int(VeltoRtcSdkInterface&, const std::string& target)> send;
        const char* operation;
        const char* received;
        int refusedResult;  // only the grant waits for the server's answer
    };
    const Case cases[] = {
        {"kick", [](VeltoRtcSdkInterface& rtc, const std::string& t) { return rtc.SendKick(t); }, "SendKick",
         "kickout", 0},
        {"audio mute", [](VeltoRtcSdkInterface& rtc, const std::string& t) { return rtc.SendAudioMuteTo(t, true); },
         "SendAudioMuteTo", "audioMute true", 0},
        {"video mute", [](VeltoRtcSdkInterface& rtc, const std::string& t) { return rtc.SendVideoMuteTo(t, true); },
         "SendVideoMuteTo", "videoMute true", 0},
        {"whiteboard", [](VeltoRtcSdkInterface& rtc, const std::string&) { return rtc.SendWhiteboardData("open", "1", ""); },
         "SendWhiteboardData", "whiteboard open 1", 0},
        {"annotation",
         [](VeltoRtcSdkInterface& rtc, const std::string& t) { return rtc.SendAnnotateData("open", "2", "", t); },
         "SendAnnotateData", "annotate open 2 ", 0},
        {"grant admin", [](VeltoRtcSdkInterface& rtc, const std::string& t) { return rtc.SendGrantAdmin(t); },
         "SendGrantAdmin", "grantAdmin", -1},
        // Everybody at once: by no address, or by the room's.
        {"mute everybody", [](VeltoRtcSdkInterface& rtc, const std::string&) { return rtc.SendAudioMuteTo("", true); },
         "SendAudioMuteTo", "control allAudio true", 0},
        {"stop everybody's video by the room's address",
         [](VeltoRtcSdkInterface& rtc, const std::string&) {
             return rtc.SendVideoMuteTo(roomJid(server_->account("alice").room), true);
         },
         "SendVideoMuteTo", "control allVideo true", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_->reset();
        clients_.clear();
        auto [alice, bob] = aliceAndBob();
        ASSERT_TRUE(bob->events.waitFor(userLine(*alice, "", true)));

        EXPECT_EQ(c.refusedResult, c.send(*bob->rtc, alice->jid)) << "Bob does not hold the chair";
        ASSERT_TRUE(handled(*bob, c.operation));
        flush(*alice);
        for (const std::string& line : alice->events.lines())
            EXPECT_NE(0u, line.rfind(c.received, 0)) << line;

        EXPECT_EQ(0, c.send(*alice->rtc, bob->jid));
        EXPECT_TRUE(bob->events.waitForCount(c.received, 1));
    }
}

TEST_F(RtcHubTest, RefusalsOfQueuedSendsAreLoggedWithOutsideTextEscaped)
{
    auto [alice, bob] = aliceAndBob();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, bob->rtc->SendKick("mallory\n\x1b[2Jforged line"));
    // The server says why it refused a media answer.
    EXPECT_EQ(0, bob->rtc->SendAnswer("m=video 9 RTP/SAVPF 100\r\na=ssrc:12x msid:bob-stream bob-video\r\n"));
    // Answers come in order: once a later request is answered, so are the others.
    EXPECT_EQ(-1, bob->rtc->SendGrantAdmin(alice->jid));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("VeltoRtcSdk: the message server refused kick for mallory\\x0a\\x1b[2Jforged line\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("VeltoRtcSdk: the message server refused answer: the answer announces an SSRC that is no "
                       "32-bit decimal number\n"),
              std::string::npos)
        << log;
}

// What the room shows follows the moderator's choices and the members' answers:
// every entry names a member by endpoint and camera source (none for a member
// without video), the stage's camera source travels beside it.
TEST_F(RtcHubTest, TheRoomShowsTheChosenStageWithEveryMembersCameraSource)
{
    auto [alice, bob] = aliceAndBob();
    Client& demo = connect("demo");
    const std::string room = server_->account("alice").room;
    join(demo, room);
    const auto answer = [](Client& c, const std::vector<velto_platform::SdpSource>& sources) {
        ASSERT_EQ(0, c.rtc->SendAnswer(velto_platform::WriteSdp("s", sources)));
    };
    answer(*alice, {{"video", "21", "c", "alice-cam", "alice-cam_video"}});
    answer(*bob, {{"audio", "11", "c", "bob-cam", "bob-cam_audio"}, {"video", "12", "c", "bob-cam", "bob-cam_video"}});
    const std::string a = alice->login.endpoint, b = bob->login.endpoint, d = demo.login.endpoint;
    const std::string by = "?userJid=" + alice->jid;

    struct Step {
        const char* what;
        std::function<void()> act;
        std::string shown;  // the participants line the room gets
    };
    const Step steps[] = {
        {"nothing chosen: the moderator on stage, everybody after",
         [&] { answer(demo, {{"audio", "31", "c", "demo-mic", "demo-mic_audio"}}); },  // no camera
         alice->jid + " false 21 0 " + a + "_21," + b + "_12," + d + "_"},
        {"a member put on stage",
         [&] { rest("/clientApi/stage/" + room + by + "&stageJid=" + bob->jid + "&screen=false", alice->token); },
         bob->jid + " false 12 0 " + b + "_12," + a + "_21," + d + "_"},
        {"tiles show everybody", [&] { rest("/clientApi/splitScreen/" + room + by + "&splitScreen=5", alice->token); },
         bob->jid + " false 12 5 " + a + "_21," + b + "_12," + d + "_"},
        {"chosen tiles, one polling",
         [&] { rest("/clientApi/selectParticipants/" + room + by + "&participants=" + d + ",polling", alice->token); },
         bob->jid + " false 12 5 " + d + "_," + a + "_21"},
        {"back to surround: the stage stays first",
         [&] { rest("/clientApi/splitScreen/" + room + by + "&splitScreen=0", alice->token); },
         bob->jid + " false 12 0 " + b + "_12," + a + "_21"},
        {"the chosen main screen goes on stage, a member without video too",
         [&] { rest("/clientApi/selectParticipants/" + room + by + "&participants=" + d + "," + b, alice->token); },
         demo.jid + " false  0 " + d + "_," + b + "_12"},
        {"a chosen member leaves", [&] { ASSERT_EQ(0, bob->rtc->LeaveConferenceRoom()); },
         demo.jid + " false  0 " + d + "_"},
        {"a stage that left falls back to the moderator",
         [&] { rest("/clientApi/stage/" + room + by + "&stageJid=" + bob->jid + "&screen=false", alice->token); },
         alice->jid + " false 21 0 " + a + "_21," + d + "_"},
        {"the chair moves, and with it a stage nobody holds",
         [&] { ASSERT_EQ(0, alice->rtc->SendGrantAdmin(demo.jid)); },
         demo.jid + " false  0 " + d + "_"},
    };
    // Each step's message arrives anew (a line seen before does not count).
    const auto arrives = [](const Client& c, const std::string& line, std::size_t before) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::vector<std::string> lines = c.events.lines();
            if (std::size_t(std::count(lines.begin(), lines.end(), line)) > before)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::string line = "participants " + step.shown;
        const auto seen = [&](const Client& c) {
            const std::vector<std::string> lines = c.events.lines();
            return std::size_t(std::count(lines.begin(), lines.end(), line));
        };
        const std::size_t byAlice = seen(*alice), byDemo = seen(demo);
        step.act();
        EXPECT_TRUE(arrives(*alice, line, byAlice));
        EXPECT_TRUE(arrives(demo, line, byDemo));
    }
}

TEST_F(RtcHubTest, RestActionsAndRoomWideRequestsReachTheRoom)
{
    struct Case {
        const char* name;
        std::function<void(Client& alice, Client& bob, const std::string& room)> act;
        std::function<std::string(const Client& alice, const Client& bob)> heard;  // by Bob
    };
    const Case cases[] = {
        {"lock",
         [](Client& alice, Client&, const std::string& room) {
             rest("/conference/lock?i=" + alice.login.mUserId + "&r=" + room + "&l=true", alice.token);
         },
         [](const Client&, const Client&) { return "control lock true"; }},
        {"mute everybody's audio",
         [](Client& alice, Client&, const std::string&) { EXPECT_EQ(0, alice.rtc->SendAudioMuteTo("", true)); },
         [](const Client&, const Client&) { return "control allAudio true"; }},
        {"unmute everybody's video by the room's address",
         [](Client& alice, Client&, const std::string& room) {
             EXPECT_EQ(0, alice.rtc->SendVideoMuteTo(roomJid(room), false));
         },
         [](const Client&, const Client&) { return "control allVideo false"; }},
        {"split screen",
         [](Client& alice, Client&, const std::string& room) {
             rest("/clientApi/splitScreen/" + room + "?userJid=" + alice.jid + "&splitScreen=4", alice.token);
         },
         [](const Client& alice, const Client& bob) {
             return "participants " + alice.jid + " false  4 " + alice.login.endpoint + "_," + bob.login.endpoint + "_";
         }},
        {"a hand raised and agreed",
         [](Client& alice, Client& bob, const std::string& room) {
             rest("/clientApi/handsUp/apply/" + room + "?userJid=" + bob.jid + "&nickname=Bob", bob.token);
             rest("/clientApi/handsUp/agree/" + room + "?userJid=" + bob.jid, alice.token);
         },
         [](const Client&, const Client& bob) { return "handsUp agree " + bob.jid + " Bob"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_->reset();
        clients_.clear();
        auto [alice, bob] = aliceAndBob();
        c.act(*alice, *bob, server_->account("alice").room);
        EXPECT_TRUE(bob->events.waitFor(c.heard(*alice, *bob)));
    }
}

TEST_F(RtcHubTest, ContactsLearnWhoComesAndGoes)
{
    Client& demo = connect("demo");  // has alice among the contacts
    Client& bob = connect("bob");    // has not
    Client& alice = connect("alice");
    EXPECT_TRUE(demo.events.waitFor("presence " + alice.login.mUserId + " true"));
    ASSERT_EQ(0, alice.rtc->Disconnect());
    EXPECT_TRUE(demo.events.waitFor("presence " + alice.login.mUserId + " false"));
    flush(bob);
    for (const std::string& line : bob.events.lines())
        EXPECT_NE(0u, line.rfind("presence", 0)) << line;
}

TEST_F(RtcHubTest, RingsReachOnlyTheCalleeWithTheServersSender)
{
    Client& alice = connect("alice");
    Client& bob = connect("bob");
    Client& demo = connect("demo");
    // Alice claims another name: Bob learns hers.
    ASSERT_EQ(0, alice.rtc->SendRing(bob.login.mUserId, "invite", "10000002", "Demo User", 1, 1, "0", "pw"));
    EXPECT_TRUE(bob.events.waitFor("ring " + alice.jid + " invite 10000002 Alice Chen 1 1 pw"));
    flush(demo);
    flush(alice);
    for (const Client* other : {&alice, &demo})
        for (const std::string& line : other->events.lines())
            EXPECT_NE(0u, line.rfind("ring", 0)) << line;
}

TEST_F(RtcHubTest, HostileMessagesToTheClientAreDroppedAndItKeepsRunning)
{
    Client& alice = connect("alice");
    const std::vector<std::string> hostile = {
        "not json",
        "[1,2,3]",
        R"({"type":"unknownThing"})",
        R"({"type":"chat","nickname":1,"message":"typed wrong"})",
        R"({"type":"user","user":"not an object"})",
        R"({"type":"sourceAdd","from":"f","session":"s","sources":[{"ssrc":5}]})",
        R"({"type":"ack","id":-4,"ok":true})",
        R"({"type":"stat","jid":"x","packetsLost":1e300,"jitter":0,"samples":0,"download":0,"upload":0})",
        std::string(100000, '['),
    };
    ASSERT_TRUE(server_->pushSignals(alice.jid, hostile));
    flush(alice);
    EXPECT_EQ(1u, alice.events.lines().size()) << "only the marker";
    EXPECT_EQ(0, alice.rtc->SendPing());
}

TEST_F(RtcHubTest, HostileMessagesToTheServerAreDroppedAndItKeepsRunning)
{
    auto [alice, bob] = aliceAndBob();
    Client& demo = connect("demo");
    ASSERT_EQ(0, demo.rtc->Disconnect());  // its login stays; a raw connection takes its place

    std::mutex mutex;
    std::vector<std::string> answers;
    std::atomic<bool> closed{false};
    velto_rtc::WsLink raw(
        [&](std::string text) {
            std::lock_guard<std::mutex> lock(mutex);
            if (text.find(R"("type":"ack")") != std::string::npos)
                answers.push_back(text);
        },
        [&] { closed = true; });
    ASSERT_EQ("", raw.open("127.0.0.1", server_->messageServerPort(), std::chrono::seconds(10)));
    const auto answered = [&](std::size_t count) {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (answers.size() >= count)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    // Before it says who it is, nothing is done.
    raw.send(R"({"type":"chat","id":1,"nickname":"X","message":"before connect"})");
    ASSERT_TRUE(answered(1));
    const conference_login_info& l = demo.login;
    raw.send(R"({"type":"connect","id":2,"user":")" + l.mUserId + R"(","domain":")" + l.messageServer +
             R"(","endpoint":")" + l.endpoint + R"(","secret":")" + l.iceServers.back().credential + "\"}");
    ASSERT_TRUE(answered(2));
    ASSERT_EQ(200, rest("/clientApi/createOrJoinConference?j=" + demo.jid + "&r=" + server_->account("alice").room +
                            "&p=",
                        demo.token)["code"]
                       .asInt());
    raw.send(R"({"type":"join","id":3,"jid":")" + demo.jid + R"(","room":")" +
             roomJid(server_->account("alice").room) + R"(","nick":"Demo","focus":""})");
    ASSERT_TRUE(answered(3));
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_NE(std::string::npos, answers[0].find("\"ok\":false"));
        EXPECT_NE(std::string::npos, answers[1].find("\"ok\":true"));
        EXPECT_NE(std::string::npos, answers[2].find("\"ok\":true"));
    }

    const std::vector<std::string> refused = {
        R"({"type":"chat","id":4,"nickname":5,"message":"wrong type"})",
        R"({"type":"chat","id":5,"message":"member missing"})",
        R"({"type":"selfDestruct","id":6})",
        R"({"type":"ring","id":7,"to":"","ringType":"invite","room":"1","nickname":"N","callType":1,"isCaller":1,"time":"0","meetPassword":""})",
        R"({"type":"kick","id":8,"jid":")" + alice->jid + "\"}",
    };
    for (const std::string& text : refused)
        raw.send(text);
    raw.send("not json");
    raw.send(R"({"type":"chat","nickname":"no id","message":"x"})");
    ASSERT_TRUE(answered(3 + refused.size()));
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (std::size_t i = 3; i < answers.size(); ++i)
            EXPECT_NE(std::string::npos, answers[i].find("\"ok\":false")) << answers[i];
    }
    // A forged sender: the others learn the connection's address and name, not the claim.
    raw.send(R"({"type":"ring","id":9,"from":"boss@elsewhere/x","to":")" + bob->jid +
             R"(","ringType":"invite","room":"1","nickname":"N","callType":1,"isCaller":1,"time":"0","meetPassword":""})");
    EXPECT_TRUE(bob->events.waitFor("ring " + demo.jid + " invite 1 Demo User 1 1 "));

    // Over-size: the connection ends, nobody hears of it but the room.
    raw.send(R"({"type":"chat","id":10,"nickname":"big","message":")" + std::string(70 * 1024, 'x') + "\"}");
    for (int i = 0; i < 500 && !closed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(alice->events.waitFor("remove " + demo.jid));

    flush(*alice);
    flush(*bob);
    for (const Client* c : {alice, bob}) {
        for (const std::string& line : c->events.lines()) {
            if (line.rfind("chat ", 0) == 0) {
                EXPECT_NE(std::string::npos, line.find("marker")) << "delivered: " << line;
            }
        }
    }
    EXPECT_FALSE(alice->events.contains("kickout"));
    EXPECT_EQ(0, alice->rtc->SendPing()) << "the server keeps running";
}

TEST_F(RtcHubTest, ConnectionsNeedTheLoginsSecret)
{
    Client& alice = connect("alice");
    struct Case {
        const char* name;
        std::function<void(conference_login_info&)> spoil;
    };
    const Case cases[] = {
        {"no secret", [](conference_login_info& l) { l.iceServers.clear(); }},
        {"another login's secret", [](conference_login_info& l) { l.iceServers.back().credential = "00ff"; }},
        {"a wrong secret of the right length",
         [](conference_login_info& l) {
             std::string& secret = l.iceServers.back().credential;
             secret.back() = secret.back() == '0' ? '1' : '0';
         }},
        {"a stale endpoint", [](conference_login_info& l) { l.endpoint = "ep999999"; }},
        {"another user", [](conference_login_info& l) { l.mUserId = "nobody"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Client forger;
        forger.login = alice.login;
        c.spoil(forger.login);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(-1, connectAgain(forger));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4))
            << "refused at once, not after an answer's 5 s wait";
        EXPECT_EQ(-1, forger.rtc->SendPing());
    }
    EXPECT_EQ(std::vector<std::string>{alice.jid}, server_->signalClients());

    // The same login connecting again replaces its first connection.
    Client again;
    again.login = alice.login;
    again.rtc->SetCallback(&again.events);
    EXPECT_EQ(0, connectAgain(again));
    EXPECT_TRUE(alice.events.waitFor("networkError"));
    EXPECT_EQ(std::vector<std::string>{alice.jid}, server_->signalClients());
}

// A room is joined only by who created or joined its meeting on the REST side.
TEST_F(RtcHubTest, JoiningARoomNeedsTheMeetingsRestJoinFirst)
{
    Client& alice = connect("alice");
    Client& bob = connect("bob");
    join(alice, server_->account("alice").room);
    const std::string room = roomJid(server_->account("alice").room);
    EXPECT_EQ(-1, bob.rtc->JoinConferenceRoom(bob.jid, room, bob.nickname, {}));
    EXPECT_EQ(1u, server_->signalRoom(server_->account("alice").room).size());
    flush(alice);
    EXPECT_FALSE(alice.events.contains(userLine(bob)));

    join(bob, server_->account("alice").room);
    EXPECT_TRUE(alice.events.waitFor(userLine(bob)));
}

TEST_F(RtcHubTest, EventsRunOnTheClientsThreadAndAReplacedCallbackHearsNothingMore)
{
    Client& alice = connect("alice");
    RecordingRtcCallback replacement;
    std::promise<void> started;
    std::promise<void> calling;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> replaced{false};
    std::atomic<bool> replacedWhileRunning{false};
    alice.events.react = [&](const std::string& line) {
        if (line != "kickout")
            return;
        started.set_value();
        released.wait();
        replacedWhileRunning = replaced.load();
    };
    ASSERT_TRUE(server_->pushSignals(alice.jid, {R"({"type":"kickout"})"}));
    started.get_future().wait();

    // Replacing the callback waits for the event that is running.
    std::thread replacer([&] {
        calling.set_value();
        alice.rtc->SetCallback(&replacement);
        replaced = true;
    });
    calling.get_future().wait();
    release.set_value();
    replacer.join();
    EXPECT_FALSE(replacedWhileRunning);

    // An event that replaces the callback itself: what is queued behind it
    // goes to the new one.
    replacement.react = [&](const std::string& line) {
        if (line == "sip 1")
            alice.rtc->SetCallback(&alice.events);
    };
    alice.events.react = nullptr;
    ASSERT_TRUE(server_->pushSignals(alice.jid, {R"({"type":"sip","value":1})", R"({"type":"sip","value":2})"}));
    flush(alice);

    EXPECT_EQ(std::vector<std::string>{"sip 1"}, replacement.lines());
    EXPECT_TRUE(alice.events.contains("sip 2"));
    EXPECT_EQ(replacement.threads(), alice.events.threads());
    EXPECT_EQ(0u, alice.events.threads().count(std::this_thread::get_id()));
}

TEST_F(RtcHubTest, RefusedConnectionsFailingPingsAndNetworkLoss)
{
    Client& alice = connect("alice");
    Client& bob = connect("bob");
    join(alice, server_->account("alice").room);
    join(bob, server_->account("alice").room);

    server_->setSignalFaults(true, false);
    Client refused;
    refused.login = alice.login;
    EXPECT_EQ(-1, connectAgain(refused));
    EXPECT_EQ(-1, refused.rtc->Disconnect());

    // A ping unanswered for the time a request may take fails the next one.
    server_->setSignalFaults(false, true);
    EXPECT_EQ(0, alice.rtc->SendPing());
    EXPECT_EQ(0, alice.rtc->SendPing()) << "still on its way";
    std::this_thread::sleep_for(std::chrono::seconds(5));  // the client's answer time
    EXPECT_EQ(-1, alice.rtc->SendPing()) << "an answer that is late";
    server_->setSignalFaults(false, false);
    EXPECT_EQ(0, alice.rtc->SendPing());

    ASSERT_TRUE(server_->dropSignal(bob.jid));
    EXPECT_TRUE(bob.events.waitFor("networkError"));
    EXPECT_TRUE(alice.events.waitFor("remove " + bob.jid));
    EXPECT_EQ(-1, bob.rtc->SendPing());
    EXPECT_EQ(std::vector<std::string>{alice.jid}, server_->signalClients());

    // A lost client connects again the usual way.
    EXPECT_EQ(0, connectAgain(bob));
    EXPECT_EQ(0, bob.rtc->SendPing());
    EXPECT_EQ(0, bob.rtc->Disconnect());
    EXPECT_EQ(-1, bob.rtc->SendPing());
    std::size_t errors = 0;
    for (const std::string& line : bob.events.lines())
        errors += line == "networkError";
    EXPECT_EQ(1u, errors);
}

// The message server's certificate is verified like every other: a chain
// that the trusted CAs do not vouch for, or one for another host, and the
// client does not connect, though the login itself is right.
TEST(RtcClientTls, AServerWhoseCertificateCannotBeVerifiedIsRefused)
{
    const char* const before = std::getenv("VELTO_CA_BUNDLE");
    const std::string kept = before ? before : "";
    struct Case {
        const char* name;
        LocalServer::Options options;
    };
    Case cases[] = {{"a chain nobody vouches for", {}}, {"a certificate for another host", {}}};
    cases[0].options.untrustedCertificate = true;
    cases[1].options.certificateHost = "other.example";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalServer server(c.options);
        server.setCaBundleEnv();
        const velto::test::Login login = velto::test::RestClient(server).login(server.demoAccount());
        conference_login_info info;
        info.mUserId = login.id;
        info.endpoint = login.endpoint;
        info.iceServers.push_back({"turn:127.0.0.1", "velto", login.secret});
        RecordingRtcCallback events;
        std::unique_ptr<VeltoRtcSdkInterface> rtc(VeltoRtcSdkInterface::CreateNew());
        rtc->SetCallback(&events);
        EXPECT_EQ(-1, rtc->ConnectToServer(login.messageServer, server.messageServerPort(), login.id,
                                           login.messageServer, login.endpoint, info));
        EXPECT_TRUE(server.signalClients().empty());
        rtc->SetCallback(nullptr);
    }
    setenv("VELTO_CA_BUNDLE", kept.c_str(), 1);
}

// A server that takes the connection and never answers the TLS handshake
// holds the connecting thread (the program's, in a login) ten seconds, not
// longer.
TEST(RtcClientTls, AServerThatNeverAnswersTheHandshakeIsGivenUpInTime)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), size));
    ASSERT_EQ(0, listen(listener, 4));  // the kernel takes the connection; nobody reads from it
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size));
    const std::string port = std::to_string(ntohs(address.sin_port));

    // No CA file of a server gone before: the handshake is what is waited for.
    unsetenv("VELTO_CA_BUNDLE");
    // Left to itself when it overruns: it may not be destroyed while it waits.
    auto* rtc = VeltoRtcSdkInterface::CreateNew();
    conference_login_info info;
    info.iceServers.push_back({"turn:127.0.0.1", "velto", "00ff"});
    std::packaged_task<int()> connecting([rtc, port, info] {
        return rtc->ConnectToServer("127.0.0.1", port, "u1", "127.0.0.1", "ep1", info);
    });
    auto result = connecting.get_future();
    std::thread(std::move(connecting)).detach();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(20)))
        << "still connecting after 20 s";
    EXPECT_EQ(-1, result.get());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_GE(took, std::chrono::seconds(5)) << "it failed before the handshake was waited for";
    delete rtc;
    close(listener);
}

}  // namespace

namespace {

// A message server 200 ms away: every client message is held that long.
class RtcDistantServerTest : public RtcHubTest {
protected:
    static constexpr std::chrono::milliseconds kDelay{200};

    static void SetUpTestSuite()
    {
        LocalServer::Options options;
        options.messageDelayMs = int(kDelay.count());
        server_ = new LocalServer(options);
        server_->setCaBundleEnv();
    }

    template <typename F>
    static std::chrono::steady_clock::duration timed(F f)
    {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::steady_clock::now() - start;
    }
};

TEST_F(RtcDistantServerTest, SendsReturnAtOnceInOrderWhileConnectAndJoinWaitForTheServer)
{
    Client* alice = nullptr;
    EXPECT_GE(timed([&] { alice = &connect("alice"); }), kDelay);
    EXPECT_GE(timed([&] { join(*alice, server_->account("alice").room); }), kDelay);
    Client& bob = connect("bob");
    join(bob, server_->account("alice").room);
    ASSERT_TRUE(bob.events.waitFor(userLine(*alice, "", true)));

    std::chrono::steady_clock::duration longest{};
    for (int i = 0; i < 100; ++i) {
        longest = std::max(longest, timed([&] {
                               EXPECT_EQ(0, alice->rtc->SendWhiteboardData("draw", std::to_string(i), ""));
                           }));
    }
    EXPECT_LT(longest, std::chrono::milliseconds(20)) << "no send waits for the server";

    ASSERT_TRUE(bob.events.waitForCount("whiteboard draw ", 100));
    std::vector<std::string> expected, received;
    for (int i = 0; i < 100; ++i)
        expected.push_back("whiteboard draw " + std::to_string(i));
    for (const std::string& line : bob.events.lines())
        if (line.rfind("whiteboard draw ", 0) == 0)
            received.push_back(line);
    EXPECT_EQ(expected, received);
}

}  // namespace
