// Leaving, logging out and destroying the SDK while signalling and engine
// events arrive, and from the places the program may call them: inside its
// own callbacks and on the libraries' threads.
#include <atomic>
#include <functional>
#include <memory>
#include <future>
#include <thread>

#include "SdkTestFixture.h"
#include "VeltoRtcCallback.h"

namespace velto::test {
namespace {

// Lets an engine event run into the program as the engine would.
void reportVideoStream(const char* label)
{
    velto_webrtc_test::InjectEvent([label](velto_webrtc::velto_media_observer& observer) {
        std::string streamLabel = label;
        observer.onAddStream("video", streamLabel);
    });
}

TEST_F(SdkTest, LeaveConferenceIsSafeWhereverTheProgramCallsIt)
{
    struct Case {
        const char* name;
        // Arranges the hooks; returns the leave that the test then makes
        // itself (empty: the arrangement leaves on its own).
        std::function<std::function<int()>(VeltoSdk&, RecordingCallback&, const std::string& myJid)> arrange;
    };
    const Case cases[] = {
        {"again from inside onLeaveConference",
         [](VeltoSdk& sdk, RecordingCallback& callback, const std::string&) {
             callback.onEvent("onLeaveConference", [&sdk](const Event&) { EXPECT_EQ(sdk.LeaveConference(), -1); });
             return [&sdk] { return sdk.LeaveConference(); };
         }},
        {"from a signalling thread",
         [](VeltoSdk& sdk, RecordingCallback& callback, const std::string& myJid) {
             auto left = std::make_shared<std::promise<void>>();
             callback.onEvent("onChatMessage", [&sdk, left](const Event&) {
                 EXPECT_EQ(sdk.LeaveConference(), 0);
                 left->set_value();
             });
             EXPECT_TRUE(flush(myJid, callback));
             EXPECT_EQ(left->get_future().wait_for(10s), std::future_status::ready);
             return std::function<int()>();
         }},
        {"from inside a stream report, which the teardown would wait for",
         [](VeltoSdk& sdk, RecordingCallback& callback, const std::string&) {
             callback.onEvent("onAddStream", [&sdk](const Event&) { EXPECT_EQ(sdk.LeaveConference(), -1); });
             reportVideoStream("4242");
             EXPECT_TRUE(callback.waitForEvent("onAddStream"));
             EXPECT_NE(sdk.getWebrtc(), nullptr);
             return [&sdk] { return sdk.LeaveConference(); };
         }},
        {"while a stream report calls into the SDK",
         [](VeltoSdk& sdk, RecordingCallback& callback, const std::string&) {
             // The report reaches the program as the engine goes down; the
             // program asks the SDK about it, as a renderer would.
             callback.onEvent("onLeaveConference", [&callback](const Event&) {
                 reportVideoStream("4343");
                 EXPECT_TRUE(callback.waitForEvent("onAddStream"));
             });
             callback.onEvent("onAddStream", [&sdk](const Event&) {
                 std::this_thread::sleep_for(50ms);
                 int width = 0;
                 int height = 0;
                 sdk.GetStreamAspect(1, &width, &height);
             });
             return [&sdk] { return sdk.LeaveConference(); };
         }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        const std::string myJid = startDemoMeeting(*sdk, callback);

        const std::function<int()> leave = c.arrange(*sdk, callback, myJid);
        if (leave) {
            EXPECT_EQ(leave(), 0);
        }

        EXPECT_EQ(callback.events("onLeaveConference").size(), 1u);
        EXPECT_EQ(sdk->getWebrtc(), nullptr);
        EXPECT_EQ(velto_webrtc_test::LiveEngines(), 0);
        EXPECT_TRUE(roomMembers(server().demoAccount().room).empty());
        // The next meeting builds a new engine.
        ASSERT_EQ(sdk->CreateConference(), 0);
        EXPECT_EQ(velto_webrtc_test::LiveEngines(), 1);
    }
}

TEST_F(SdkTest, LogoutFromInsideCallbacksEndsTheLogin)
{
    struct Case {
        const char* name;
        const char* during;  // the callback operation that logs out
        std::function<void(VeltoSdk&, const std::string& myJid)> trigger;
    };
    const Case cases[] = {
        // An anonymous participant logs out as it leaves.
        {"inside onLeaveConference", "onLeaveConference",
         [](VeltoSdk& sdk, const std::string&) { EXPECT_EQ(sdk.LeaveConference(), 0); }},
        {"on the signalling thread, inside onKickout", "onKickout",
         [](VeltoSdk&, const std::string& myJid) {
             push(myJid, {R"({"type":"kickout"})"});
         }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetWorld();
        RecordingCallback callback;
        auto sdk = makeSdk(&callback);
        const std::string myJid = startDemoMeeting(*sdk, callback);
        std::promise<int> loggedOut;
        std::future<int> logout = loggedOut.get_future();
        callback.onEvent(c.during, [&](const Event&) { loggedOut.set_value(sdk->Logout()); });

        c.trigger(*sdk, myJid);

        ASSERT_EQ(logout.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(logout.get(), 0);
        EXPECT_FALSE(contains(connectedClients(), myJid));
        const int keepAlives = server().keepAliveCount();
        const std::size_t pings = sentCount("SendPing");
        std::this_thread::sleep_for(200ms);  // several worker periods
        EXPECT_EQ(server().keepAliveCount(), keepAlives);
        EXPECT_EQ(sentCount("SendPing"), pings);
    }
}

// Events keep arriving on the signalling and engine threads, and the program
// calls back into the SDK from them, while the main thread ends the meeting,
// the login or the object. Run under the sanitizers, this shows races and
// uses of what the teardown freed; in any build, deadlocks.
TEST_F(SdkTest, TeardownRacesWithIncomingEvents)
{
    enum class Ending { Leave, Logout, Destroy };
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        for (const Ending ending : {Ending::Leave, Ending::Logout, Ending::Destroy}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", ending " + std::to_string(static_cast<int>(ending)));
            resetWorld();
            RecordingCallback callback;  // outlives the SDK that calls it
            auto sdk = makeSdk(&callback);
            const std::string myJid = startDemoMeeting(*sdk, callback);
            // Media negotiation is taken from the meeting's own session only.
            const auto [focus, session] = sdk->getRtcCallback()->meetingSession();
            const std::string fromTheMeeting = R"(,"from":")" + focus + R"(","session":")" + session + "\"";
            VeltoSdk* const raw = sdk.get();
            callback.onEvent("onMuteAudio", [raw](const Event&) { raw->isModerator(); });
            callback.onEvent("onAddStream", [raw](const Event& e) {
                unsigned int renderId = 0;
                FrameSink window;
                if (raw->StartRenderStream(&window, renderId, e.args[0], false))
                    raw->StopRenderStream(static_cast<int>(renderId), e.args[0]);
            });

            std::atomic<bool> flooding{true};
            std::thread flood([&] {
                for (int i = 0; flooding; ++i) {
                    const std::string flag = i % 2 == 0 ? "true" : "false";
                    const std::string other = i % 2 == 1 ? "true" : "false";
                    const std::string sources = fromTheMeeting + R"(,"sources":[{"ssrc":")" +
                                                std::to_string(100 + i % 8) +
                                                R"(","cname":"c","streamLabel":"77","trackLabel":"77_video",)"
                                                R"("kind":"video","owner":"bob"}]})";
                    // The connection may already be gone: that is part of the race.
                    server().pushSignals(
                        myJid, {R"({"type":"audioMute","mute":)" + flag + "}",
                                R"({"type":"videoMute","mute":)" + other + "}",
                                R"({"type":"offer")" + fromTheMeeting + R"(,"sdp":"v=0"})",
                                R"({"type":"ice")" + fromTheMeeting + R"(,"candidate":"v=0"})",
                                std::string(R"({"type":")") + (i % 2 ? "sourceAdd" : "sourceRemove") + "\"" + sources,
                                R"({"type":"control","control":"moderator","value":""})",
                                R"({"type":"nickname","nickname":"Nick )" + std::to_string(i) + "\"}"});
                    velto_webrtc_test::InjectEvent([](velto_webrtc::velto_media_observer& observer) {
                        velto_webrtc::rtc_stat_info stats{"1", "2", "3", "4", "0", {}};
                        observer.OnStats(stats);
                        std::string label = "88";
                        observer.onAddStream("video", label);
                    });
                    std::this_thread::sleep_for(1ms);
                }
            });
            std::this_thread::sleep_for(40ms);

            switch (ending) {
            case Ending::Leave:
                EXPECT_EQ(sdk->LeaveConference(), 0);
                break;
            case Ending::Logout:
                EXPECT_EQ(sdk->Logout(), 0);
                break;
            case Ending::Destroy:
                sdk.reset();
                break;
            }
            std::this_thread::sleep_for(20ms);
            flooding = false;
            flood.join();
            sdk.reset();
            EXPECT_EQ(velto_webrtc_test::LiveEngines(), 0);
            EXPECT_TRUE(connectedClients().empty());
        }
    }
}

}  // namespace
}  // namespace velto::test
