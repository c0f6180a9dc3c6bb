#pragma once
// The fixture of the SDK tests: one local conference server (with its message
// server) per test suite, reset with the media stand-in before every test,
// and SDK objects with short worker periods.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "LocalServer.h"
#include "RecordingCallback.h"
#include "RenderTargetStub.h"
#include "VeltoHttpCallback.h"
#include "VeltoSdk.h"
#include "velto_webrtc_test_hooks.h"

namespace velto::test {

using namespace std::chrono_literals;

class SdkTest : public ::testing::Test {
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

    void SetUp() override { resetWorld(); }

    static void resetWorld()
    {
        server_->reset();
        velto_webrtc_test::Reset();
    }

    static LocalServer& server() { return *server_; }

    // An SDK with short worker periods and `callback` registered (when given).
    static std::unique_ptr<VeltoSdk> makeSdk(RecordingCallback* callback)
    {
        std::unique_ptr<VeltoSdk> sdk(static_cast<VeltoSdk*>(getVeltoInterface()));
        VeltoSdk::WorkerIntervals fast;
        fast.keepAlive = 30ms;
        fast.ping = 30ms;
        fast.statistics = 30ms;
        sdk->setWorkerIntervals(fast);
        sdk->setCallback(callback);
        return sdk;
    }

    static int login(VeltoSdk& sdk, const std::string& userName)
    {
        const Account account = server().account(userName);
        return sdk.Login(server().host(), account.userName, account.password, "");
    }
    static int loginDemo(VeltoSdk& sdk) { return login(sdk, server().demoAccount().userName); }

    // Logs the demo user in and opens the personal meeting room; returns the
    // own address. The room's offer has been answered when it returns.
    static std::string startDemoMeeting(VeltoSdk& sdk, RecordingCallback& callback)
    {
        EXPECT_EQ(loginDemo(sdk), 0);
        EXPECT_EQ(sdk.CreateConference(), 0);
        const std::string myJid = callback.events("onLogin").at(0).args[1];
        EXPECT_TRUE(waitForSent([&](const SentSignal& m) {
            return m.from == myJid && m.operation == "SendAnswer";
        }));
        return myJid;
    }

    // The REST requests so far, without the keep-alives of the login workers.
    static std::vector<RecordedRequest> restRequests()
    {
        auto all = server().requests();
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [](const RecordedRequest& r) { return r.path.rfind("/clientApi/keepAlive/", 0) == 0; }),
                  all.end());
        return all;
    }

    static std::vector<std::string> connectedClients() { return server().signalClients(); }

    static std::string roomJid(const std::string& room) { return room + "@conference." + server().messageServer(); }

    static std::vector<SignalMember> roomMembers(const std::string& room) { return server().signalRoom(room); }

    static std::vector<std::string> roomMemberJids(const std::string& room)
    {
        std::vector<std::string> jids;
        for (const SignalMember& u : roomMembers(room))
            jids.push_back(u.jid);
        return jids;
    }

    // What the signalling clients sent, optionally only `operation`.
    static std::vector<SentSignal> sent(const std::string& operation = "")
    {
        auto all = server().sentSignals();
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [&](const auto& m) { return !operation.empty() && m.operation != operation; }),
                  all.end());
        return all;
    }
    static std::size_t sentCount(const std::string& operation) { return sent(operation).size(); }

    // Sends raw messages to a client as the message server would.
    static void push(const std::string& jid, const std::vector<std::string>& messages)
    {
        ASSERT_TRUE(server().pushSignals(jid, messages));
    }
    // A chat message pushed to `jid` and received: everything pushed before
    // it has been delivered too.
    static bool flush(const std::string& jid, RecordingCallback& callback)
    {
        const std::string marker = "flush-" + std::to_string(++flushes_);
        if (!server().pushSignals(jid, {R"({"type":"chat","nickname":"","message":")" + marker + R"("})"}))
            return false;
        return callback.waitFor([&](const std::vector<Event>& events) {
            return std::any_of(events.begin(), events.end(), [&](const Event& e) {
                return e.name == "onChatMessage" && e.args.size() > 1 && e.args[1] == marker;
            });
        });
    }

    // Polls `done` until it holds; false after `patience`. For what the
    // server does after its answer went out (closing a connection) or after a
    // message that has no answer (leaving a room).
    template <typename Done>
    static bool pollUntil(Done done, std::chrono::milliseconds patience = 5s)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    // Waits until a message matching `match` was sent.
    template <typename Match>
    static bool waitForSent(Match match, std::size_t count = 1)
    {
        return server().waitForSignals([&](const std::vector<SentSignal>& all) {
            return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), match)) >= count;
        });
    }

    // The engine calls of `operation` so far.
    static std::vector<velto_webrtc_test::EngineCall> engineCalls(const std::string& operation)
    {
        auto calls = velto_webrtc_test::Calls();
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [&](const auto& c) { return c.operation != operation; }),
                    calls.end());
        return calls;
    }
    static std::size_t engineCallCount(const std::string& operation) { return engineCalls(operation).size(); }

    // A login record as the REST client would store it, without a server.
    static conference_login_info aliceLogin()
    {
        conference_login_info login;
        login.mUserId = "alice";
        login.mUserName = "Alice";
        login.messageServer = "ms.example";
        login.endpoint = "pc1";
        return login;
    }
    static constexpr const char* kAliceJid = "alice@ms.example/pc1";

    inline static LocalServer* server_ = nullptr;
    inline static int flushes_ = 0;
};

inline bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// A render target that takes the frames the engine hands over and notes when
// each was drawn.
class FrameSink : public RenderTargetStub {
public:
    using Clock = std::chrono::steady_clock;

    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override
    {
        buffer_.resize(static_cast<std::size_t>(w) * h * 4);
        return buffer_.data();
    }
    void unlockBuffer() override
    {
        drawn_.push_back(Clock::now());
        mutex_.unlock();
    }

    std::vector<Clock::time_point> drawn()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return drawn_;
    }
    // The first picture drawn at or after `since`, if any.
    std::optional<Clock::time_point> firstSince(Clock::time_point since)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = std::find_if(drawn_.begin(), drawn_.end(), [&](Clock::time_point at) { return at >= since; });
        return it == drawn_.end() ? std::nullopt : std::optional<Clock::time_point>(*it);
    }

private:
    std::mutex mutex_;
    std::vector<unsigned char> buffer_;
    std::vector<Clock::time_point> drawn_;
};

}  // namespace velto::test
