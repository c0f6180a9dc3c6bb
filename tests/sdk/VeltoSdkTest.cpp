// The SDK object against the local conference server, its message server and
// the in-process media stand-in.
#include <functional>
#include <thread>

#include "SdkTestFixture.h"

namespace velto::test {
namespace {

const char* const kKeepAliveRoute = "/clientApi/keepAlive/*";

// Long enough for many worker periods to pass, short enough to keep the suite quick.
constexpr auto kQuietPeriod = 300ms;

// --- login ---------------------------------------------------------------------

TEST_F(SdkTest, LoginOutcomes)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int result;
        int loginCode;
        int nestedQuery;  // the program asks for the meeting passwords inside onLogin
        bool connected;
    };
    const Case cases[] = {
        {"server refuses the login",
         [] { server().forceNext("/clientApi/loginClient", 200, R"({"code":100002,"obj":{}})"); }, -1, 100002, -1,
         false},
        {"signalling connection fails",
         [] { server().setSignalFaults(true, false); }, -1, 200, 0, false},
        {"success", [] {}, 0, 200, 0, true},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        c.arrange();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        bool connectedBeforeOnLogin = false;
        int nestedQuery = 1;
        callback.onEvent("onLogin", [&](const Event&) {
            connectedBeforeOnLogin = !connectedClients().empty();
            std::string meetPassword, ownerPassword;
            nestedQuery = sdk->QueryUsers(meetPassword, ownerPassword);
        });

        EXPECT_EQ(loginDemo(*sdk), c.result);
        ASSERT_EQ(callback.names(), std::vector<std::string>{"onLogin"});
        EXPECT_EQ(callback.events("onLogin")[0].args[0], std::to_string(c.loginCode));
        EXPECT_FALSE(connectedBeforeOnLogin) << "onLogin must come before the signalling connection";
        EXPECT_EQ(nestedQuery, c.nestedQuery);

        const std::string myJid = callback.events("onLogin")[0].args[1];
        EXPECT_EQ(contains(connectedClients(), myJid), c.connected);

        if (c.connected) {
            // Every keep-alive carries the values of the login answer unchanged.
            ASSERT_TRUE(server().waitForRequests(kKeepAliveRoute, 3));
            const conference_login_info login = sdk->getHttpCallback()->getLoginInfo();
            const std::string expected =
                "/clientApi/keepAlive/" + login.mUserId + "/" + login.endpoint + "/" + login.currentTimeMillis;
            for (const auto& request : server().requests(kKeepAliveRoute))
                EXPECT_EQ(request.path, expected);
            EXPECT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendPing"; }, 2));
        } else {
            std::this_thread::sleep_for(kQuietPeriod);
            EXPECT_EQ(server().keepAliveCount(), 0);
            EXPECT_EQ(sentCount("SendPing"), 0u);
        }
    }
}

TEST_F(SdkTest, EveryWayOfEndingALoginEndsItsWorkers)
{
    struct Case {
        const char* name;
        std::function<void()> beforeLogin;
        std::function<void(VeltoSdk&, RecordingCallback&)> end;
        bool joinedOnReturn;  // the workers have ended when `end` returns
    };
    const Case cases[] = {
        {"logout", [] {}, [](VeltoSdk& sdk, RecordingCallback&) { EXPECT_EQ(sdk.Logout(), 0); }, true},
        {"logout after a second login", [] {},
         [](VeltoSdk& sdk, RecordingCallback&) {
             // The second login must replace the first one's workers, not add to them.
             ASSERT_EQ(loginDemo(sdk), 0);
             EXPECT_EQ(sdk.Logout(), 0);
         },
         true},
        // Held far beyond the REST client's transfer limit: the logout must
        // end the request, not wait for it.
        {"logout while the server holds a keep-alive",
         [] { server().forceStall(kKeepAliveRoute, 120000); },
         [](VeltoSdk& sdk, RecordingCallback&) { EXPECT_EQ(sdk.Logout(), 0); }, true},
        // The stop request comes first, the cancel only with the final join.
        {"network error while the server holds a keep-alive",
         [] { server().forceStall(kKeepAliveRoute, 120000); },
         [](VeltoSdk&, RecordingCallback& callback) {
             const std::string myJid = callback.events("onLogin")[0].args[1];
             ASSERT_TRUE(server().dropSignal(myJid));
             EXPECT_TRUE(callback.waitForEvent("onNetworkError"));
         },
         false},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        c.beforeLogin();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        testing::internal::CaptureStdout();
        ASSERT_EQ(loginDemo(*sdk), 0);
        ASSERT_TRUE(server().waitForRequests(kKeepAliveRoute, 1, 5s));

        const auto start = std::chrono::steady_clock::now();
        c.end(*sdk, callback);
        const auto took = std::chrono::steady_clock::now() - start;

        const std::string workerLines = testing::internal::GetCapturedStdout();
        EXPECT_LT(took, 2s);
        if (c.joinedOnReturn) {
            EXPECT_NE(workerLines.find("===========keepAlive over============="), std::string::npos);
            EXPECT_NE(workerLines.find("===========sendPing over============="), std::string::npos);
        }
        // A request that was already on its way may still land; after that, silence.
        std::this_thread::sleep_for(100ms);
        const int keepAlives = server().keepAliveCount();
        const std::size_t pings = sentCount("SendPing");
        std::this_thread::sleep_for(kQuietPeriod);
        EXPECT_EQ(server().keepAliveCount(), keepAlives);
        EXPECT_EQ(sentCount("SendPing"), pings);
        // Destroyed at once: no worker may still use the object, nor hold up its end.
        const auto destroyed = std::chrono::steady_clock::now();
        sdk.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - destroyed, 2s);
    }
}

// Every other test shortens the periods: these are the ones a real login and
// meeting run with.
TEST_F(SdkTest, WorkersRunAtTheirDefaultPeriods)
{
    std::unique_ptr<VeltoSdk> sdk(static_cast<VeltoSdk*>(getVeltoInterface()));
    const VeltoSdk::WorkerIntervals& periods = sdk->workerIntervals();
    EXPECT_EQ(periods.keepAlive, 600s);
    EXPECT_EQ(periods.ping, 10s);
    EXPECT_EQ(periods.statistics, 10s);
}

// A stalled server holds the program's thread only up to the REST client's
// limit, also inside a login.
TEST_F(SdkTest, StalledServerHoldsALoginOnlyUpToTheTransferLimit)
{
    server().forceStall("/clientApi/loginClient", 30000);
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    sdk->setTransferLimits({5s, 1s, 1s});

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(loginDemo(*sdk), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_EQ(callback.names(), std::vector<std::string>{"onLogin"});
    EXPECT_EQ(callback.events("onLogin")[0].args[0], "0");
}

TEST_F(SdkTest, FailedSecondLoginLeavesTheLiveSessionsWorkersRunning)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int result;
        bool pingsGoOn;  // a failed connection attempt replaces the old connection
    };
    const Case cases[] = {
        {"server refuses", [] { server().forceNext("/clientApi/loginClient", 200, R"({"code":100002,"obj":{}})"); },
         -1, true},
        {"transfer fails", [] { server().forceClose("/clientApi/loginClient"); }, -1, true},
        {"signalling connection fails", [] { server().setSignalFaults(true, false); }, -1, false},
    };
    const auto isPing = [](const SentSignal& m) { return m.operation == "SendPing"; };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        ASSERT_EQ(loginDemo(*sdk), 0);
        ASSERT_TRUE(server().waitForRequests(kKeepAliveRoute, 1, 5s));

        c.arrange();
        EXPECT_EQ(loginDemo(*sdk), c.result);

        const std::size_t keepAlives = server().requests(kKeepAliveRoute).size();
        EXPECT_TRUE(server().waitForRequests(kKeepAliveRoute, keepAlives + 2, 5s));
        if (c.pingsGoOn) {
            EXPECT_TRUE(waitForSent(isPing, sentCount("SendPing") + 2));
        }
    }
}

TEST_F(SdkTest, FailedPingEndsOnlyThePingWorker)
{
    server().setSignalFaults(false, true);
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);

    // The unanswered ping fails once its answer is late.
    ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendPing"; }));
    std::this_thread::sleep_for(std::chrono::seconds(5) + 500ms);
    ASSERT_TRUE(server().waitForRequests(kKeepAliveRoute, 4));
    const std::size_t keepAlives = server().requests(kKeepAliveRoute).size();
    ASSERT_TRUE(server().waitForRequests(kKeepAliveRoute, keepAlives + 3));
    EXPECT_EQ(sentCount("SendPing"), 1u);
    EXPECT_TRUE(callback.events("onNetworkError").empty());
}

// --- preconditions ---------------------------------------------------------------

TEST_F(SdkTest, OperationsWithoutCallbackOrLoginFailWithoutRequest)
{
    const velto::test::Account demo = server().demoAccount();
    struct Case {
        const char* name;
        bool withCallback;
        std::function<int(VeltoSdk&)> call;
    };
    const Case cases[] = {
        {"join before login", true, [](VeltoSdk& sdk) { return sdk.JoinConference("1234", ""); }},
        {"create before login", true, [](VeltoSdk& sdk) { return sdk.CreateConference(); }},
        {"login without callback", false,
         [&](VeltoSdk& sdk) { return sdk.Login(server().host(), demo.userName, demo.password, ""); }},
        {"anonymous join without callback", false,
         [&](VeltoSdk& sdk) { return sdk.AnonymousJoinConference(server().host(), demo.room, "", "Guest"); }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        RecordingCallback callback;
        auto sdk = makeSdk(c.withCallback ? &callback : nullptr);

        EXPECT_EQ(c.call(*sdk), -1);
        EXPECT_TRUE(server().requests().empty());
        EXPECT_EQ(sdk->getWebrtc(), nullptr);
        EXPECT_TRUE(connectedClients().empty());
        EXPECT_TRUE(callback.events().empty());
    }
}

TEST_F(SdkTest, AnonymousJoinLogsInUnderTheNicknameAndJoinsOnlyAfterThat)
{
    struct Case {
        const char* name;
        bool refused;
    };
    const Case cases[] = {{"login accepted", false}, {"login refused", true}};

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        if (c.refused)
            server().forceNext("/clientApi/loginClientAnonymous", 200, R"({"code":100002,"obj":{}})");
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        const Account demo = server().demoAccount();

        EXPECT_EQ(sdk->AnonymousJoinConference(server().host(), demo.room, demo.meetPassword, "Guest"),
                  c.refused ? -1 : 0);

        const auto logins = server().requests("/clientApi/loginClientAnonymous");
        ASSERT_EQ(logins.size(), 1u);
        EXPECT_EQ(logins[0].param("nickname"), "Guest");
        EXPECT_EQ(logins[0].param("password"), "");
        EXPECT_EQ(logins[0].param("clientType"), "pc-win");
        const auto joins = server().requests("/clientApi/createOrJoinConference");
        ASSERT_EQ(joins.size(), c.refused ? 0u : 1u);
        if (!c.refused) {
            EXPECT_EQ(joins[0].param("r"), demo.room);
            EXPECT_FALSE(joins[0].hasParam("op")) << "no moderator password";
        }
        EXPECT_EQ(callback.events("onCreateOrJoinConference").size(), c.refused ? 0u : 1u);
    }
}

// --- conference entry and exit ------------------------------------------------------

TEST_F(SdkTest, JoinAndLeaveRunInOrder)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    const std::string myJid = callback.events("onLogin")[0].args[1];

    std::vector<std::string> membersAtAnswer{"not called"};
    bool engineAtAnswer = false;
    callback.onEvent("onCreateOrJoinConference", [&](const Event& e) {
        membersAtAnswer = roomMemberJids(e.args[1]);
        engineAtAnswer = sdk->getWebrtc() != nullptr;
    });
    std::vector<std::string> membersAtLeave{"not called"};
    bool engineAtLeave = false;
    callback.onEvent("onLeaveConference", [&](const Event&) {
        engineAtLeave = sdk->getWebrtc() != nullptr && velto_webrtc_test::LiveEngines() == 1;
        // The leave has no answer: the server may not have handled it yet,
        // but it must be on its way, as nothing is sent while this runs.
        pollUntil([&] { return roomMemberJids(server().demoAccount().room).empty(); });
        membersAtLeave = roomMemberJids(server().demoAccount().room);
    });

    ASSERT_EQ(sdk->CreateConference(), 0);
    const Event answer = callback.events("onCreateOrJoinConference").at(0);
    EXPECT_EQ(answer.args[0], "200");
    const std::string room = answer.args[1];
    EXPECT_TRUE(engineAtAnswer) << "the engine is made ready before the request";
    EXPECT_TRUE(membersAtAnswer.empty()) << "the room is joined only after the answer was reported";
    EXPECT_EQ(roomMemberJids(room), std::vector<std::string>{myJid});
    const auto workModes = engineCalls("SetAudioDeviceWorkMode");
    ASSERT_EQ(workModes.size(), 1u);
    EXPECT_EQ(workModes[0].args, std::vector<std::string>{"3"});

    // The statistics worker asks the engine, and the answer goes out as presence.
    EXPECT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SendPresence"; }, 2));
    EXPECT_GE(engineCallCount("GetStats"), 1u);

    ASSERT_EQ(room, server().demoAccount().room);
    EXPECT_EQ(sdk->LeaveConference(), 0);
    EXPECT_TRUE(engineAtLeave) << "onLeaveConference must come while the engine exists";
    EXPECT_TRUE(membersAtLeave.empty()) << "the room is left before onLeaveConference";
    EXPECT_EQ(sdk->getWebrtc(), nullptr);
    EXPECT_EQ(velto_webrtc_test::LiveEngines(), 0);

    // Without an engine there is nothing to leave.
    EXPECT_EQ(sdk->LeaveConference(), -1);
    EXPECT_EQ(callback.events("onLeaveConference").size(), 1u);

    // Destruction without an engine skips the leave step but still logs out
    // (the server closes the connection once its answer to the goodbye is out).
    sdk.reset();
    EXPECT_EQ(callback.events("onLeaveConference").size(), 1u);
    EXPECT_TRUE(pollUntil([] { return connectedClients().empty(); })) << connectedClients().size();
}

TEST_F(SdkTest, FailedRoomJoinIsReturnedAndStartsNoStatistics)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    const std::string myJid = callback.events("onLogin")[0].args[1];
    ASSERT_TRUE(server().dropSignal(myJid));
    ASSERT_TRUE(callback.waitForEvent("onNetworkError"));

    EXPECT_EQ(sdk->CreateConference(), -1) << "the signalling client's result";
    EXPECT_EQ(callback.events("onCreateOrJoinConference").at(0).args[0], "200");
    std::this_thread::sleep_for(kQuietPeriod);  // many statistics periods
    EXPECT_EQ(engineCallCount("GetStats"), 0u);
    // The answer is kept: the meeting operations address its room.
    server().clearRequests();
    EXPECT_EQ(sdk->LockConference(true), 0);
    EXPECT_EQ(restRequests().at(0).param("r"), server().demoAccount().room);
}

TEST_F(SdkTest, TwoSdkObjectsMeetInOneRoom)
{
    RecordingCallback hostCallback;
    RecordingCallback guestCallback;
    auto host = makeSdk(&hostCallback);
    auto guest = makeSdk(&guestCallback);

    ASSERT_EQ(loginDemo(*host), 0);
    ASSERT_EQ(host->CreateConference(), 0);
    const std::string hostJid = hostCallback.events("onLogin")[0].args[1];
    const std::string room = hostCallback.events("onCreateOrJoinConference")[0].args[1];

    ASSERT_EQ(guest->AnonymousJoinConference(server().host(), room, server().demoAccount().meetPassword, "Guest"), 0);
    const std::string guestJid = guestCallback.events("onLogin")[0].args[1];
    ASSERT_NE(guestJid, hostJid);

    auto sees = [](const RecordingCallback& callback, const std::string& jid) {
        return callback.waitFor([&](const std::vector<Event>& events) {
            return std::any_of(events.begin(), events.end(), [&](const Event& e) {
                return e.name == "onUpdateUserList" && e.args[0] == jid;
            });
        });
    };
    EXPECT_TRUE(sees(hostCallback, guestJid));
    EXPECT_TRUE(sees(guestCallback, hostJid));
    EXPECT_TRUE(host->isModerator());
    EXPECT_FALSE(guest->isModerator());

    EXPECT_EQ(guest->LeaveConference(), 0);
    EXPECT_TRUE(hostCallback.waitFor([&](const std::vector<Event>& events) {
        return std::any_of(events.begin(), events.end(), [&](const Event& e) {
            return e.name == "onRemoveUserList" && e.args[0] == guestJid;
        });
    }));
}

// --- REST callback: moderator, width and bandwidth -----------------------------------

TEST_F(SdkTest, JoinAnswerDecidesModeratorWidthAndBandwidth)
{
    const std::string myJid = "alice@ms.example/pc1";
    struct Case {
        const char* name;
        std::string moderatorJid;
        std::string resolution;
        std::vector<resolution_bandwidth> steps;
        std::string width;
        std::string bandwidth;
        bool moderator;
    };
    const Case cases[] = {
        {"no steps", myJid, "720", {}, "1920", "2048", true},
        {"height matches", myJid, "720", {{1920, 1080, 2048}, {1280, 720, 1024}}, "1280", "1024", true},
        {"no height matches", "bob@ms.example/pc2", "480", {{1920, 1080, 2048}, {1280, 720, 1024}}, "1920", "2048",
         false},
        {"first of equal heights wins", myJid, "720", {{1280, 720, 1024}, {960, 720, 512}}, "1280", "1024", true},
        {"resolution must match the height's text exactly", myJid, "720p", {{1280, 720, 1024}}, "1920", "2048", true},
        {"address differs only in case", "Alice@ms.example/pc1", "720", {}, "1920", "2048", false},
        {"no moderator", "", "720", {}, "1920", "2048", false},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    conference_login_info login;
    login.mUserId = "alice";
    login.messageServer = "ms.example";
    login.endpoint = "pc1";
    sdk->getHttpCallback()->onLogin(200, login);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        conference_join_info join;
        join.r = "8001";
        join.moderatorJid = c.moderatorJid;
        join.resolution = c.resolution;
        join.rbwc = c.steps;
        sdk->getHttpCallback()->onCreateOrJoinConference(200, join);

        const Event answer = callback.events("onCreateOrJoinConference").back();
        EXPECT_EQ(answer.args[2], c.bandwidth);
        EXPECT_EQ(answer.args[3], c.resolution);
        EXPECT_EQ(answer.args[4], c.width);
        EXPECT_EQ(sdk->isModerator(), c.moderator);
    }
}

TEST_F(SdkTest, FailedLoginAnswerUpdatesTheAddressButKeepsTheRecord)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    CVeltoHttpCallback& records = *sdk->getHttpCallback();
    conference_login_info first;
    first.mUserId = "alice";
    first.messageServer = "ms.example";
    first.endpoint = "pc1";
    records.onLogin(200, first);
    conference_login_info failed = first;
    failed.mUserId = "mallory";
    records.onLogin(401, failed);

    EXPECT_EQ(records.getLoginInfo().mUserId, "alice");
    EXPECT_EQ(records.getRoomStatus().myJid, "mallory@ms.example/pc1");
    ASSERT_EQ(callback.events("onLogin").size(), 2u);
    EXPECT_EQ(callback.events("onLogin")[1].args[0], "401");
}

}  // namespace
}  // namespace velto::test
