// The engine against a peer that takes part in ICE (an agent of the test in
// the unit's place, controlled): the answer names the engine's agent, its
// candidates follow the answer, SRTP flows over the pair the checks chose,
// and a peer that never answers a check is a lost connection.
#include <poll.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IcePort.h"
#include "MediaSdp.h"
#include "velto_media_statistics.h"
#include "velto_webrtc_interface.h"
#include "velto_webrtc_test_hooks.h"

namespace velto_media {
namespace {

using namespace std::chrono_literals;

// The engine's reports, in order, and the answer chain done as the SDK does it.
class Observer : public velto_webrtc::velto_media_observer {
public:
    velto_webrtc_interface* engine = nullptr;

    void onAddStream(const std::string&, std::string&) override {}
    void onRemoveStream(const std::string&, const std::string&) override {}
    void OnDataChannel(const std::string&) override {}
    void onOffer(const std::string&, std::string&) override {}
    void onSetRemoteSDP(const std::string&, std::string&) override { engine->CreateAnswer(); }
    void onAnswer(const std::string&, std::string& sdp) override { engine->SetLocalDescription(sdp, "answer"); }
    void onSetLocalSDP(const std::string&, std::string& sdp) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_ = sdp;
        events_.push_back("answer");
        changed_.notify_all();
    }
    void OnIceCandidate(const std::string&, const std::string& candidate, int, const std::string& ufrag,
                        const std::string&, const std::string&) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back("candidate");
        candidates_.push_back(candidate);
        ufrags_.push_back(ufrag);
        changed_.notify_all();
    }
    void OnStats(velto_webrtc::rtc_stat_info&) override {}
    void OnIceConnectionFailed() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back("failed");
        changed_.notify_all();
    }

    template <typename Done>
    bool wait(std::chrono::seconds patience, Done done)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, patience, [&] { return done(); });
    }
    bool has(const std::string& event) const
    {
        return std::find(events_.begin(), events_.end(), event) != events_.end();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::vector<std::string> candidates_;
    std::vector<std::string> ufrags_;
    std::string answer_;
};

// The unit's side: a controlled agent whose candidates the offer names.
class Unit : public IceListener {
public:
    Unit()
    {
        IceAgent::Settings settings;
        settings.controlling = false;
        settings.loopback = true;
        agent_ = IceAgent::start(settings, this);
        port_ = agent_->port();
    }
    ~Unit() override { agent_->stop(); }

    void onLocalCandidate(const std::string& candidate, const std::string& protocol) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (protocol == "udp" && isLoopbackCandidate(candidate))
            loopback_ = candidate;
        changed_.notify_all();
    }
    void onPathFailed() override {}

    std::string loopbackCandidate()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return !loopback_.empty(); });
        return loopback_;
    }

    std::string offer(const std::vector<std::string>& candidates)
    {
        std::string sdp = "v=0\r\na=ice-lite\r\na=ice-ufrag:" + agent_->localUfrag() +
                          "\r\na=ice-pwd:" + agent_->localPassword() + "\r\n";
        for (const std::string& c : candidates)
            sdp += "a=" + c + "\r\n";
        sdp += "m=audio 9 UDP/TLS/RTP/SAVPF 111\r\nm=video 9 UDP/TLS/RTP/SAVPF 100\r\n";
        uint8_t key[30];
        std::mt19937 random(std::random_device{}());
        for (uint8_t& b : key)
            b = static_cast<uint8_t>(random());
        return velto_platform::withCryptoLine(sdp, key);
    }

    // Whether an RTP or RTCP datagram (RFC 7983: first byte 128 to 191) came within `patience`.
    bool receivesMedia(std::chrono::seconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{port_->fd(), POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            uint8_t buffer[1500];
            for (long got; (got = port_->receive(buffer, sizeof buffer)) >= 0;)
                if (got >= 12 && buffer[0] >= 128 && buffer[0] <= 191)
                    return true;
        }
        return false;
    }

    IceAgent& agent() { return *agent_; }

private:
    std::shared_ptr<IceAgent> agent_;
    std::unique_ptr<PacketPort> port_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string loopback_;
};

std::string attribute(const std::string& sdp, const std::string& name)
{
    const std::string prefix = "a=" + name + ":";
    const size_t at = sdp.find(prefix);
    if (at == std::string::npos)
        return std::string();
    const size_t start = at + prefix.size();
    return sdp.substr(start, sdp.find_first_of("\r\n", start) - start);
}

class MediaEngineIce : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto_webrtc_test::Reset();
        keepReceiveStatistics(true);
        observer_.engine = engine_.get();
        ASSERT_EQ(0, engine_->Init(&observer_, {}));
        ASSERT_EQ(0, engine_->CreateLocalStream("1234"));
        ASSERT_EQ(0, engine_->AddVideoToLocalStream("1234", "1234_video",
                                                    velto_webrtc_test::DefaultDevices().cameras.front(), 320, 240,
                                                    15, 256));
    }
    void TearDown() override
    {
        engine_->DeInit();
        engine_.reset();
        keepReceiveStatistics(false);
        velto_webrtc_test::Reset();
    }

    Observer observer_;
    std::unique_ptr<velto_webrtc_interface> engine_{velto_webrtc_interface::createNew()};
};

TEST_F(MediaEngineIce, TheAnswerNamesTheAgentItsCandidatesFollowAndMediaTakesTheCheckedPair)
{
    Unit unit;
    const std::string unitCandidate = unit.loopbackCandidate();
    ASSERT_FALSE(unitCandidate.empty());
    ASSERT_TRUE(engine_->SetRemoteDescription(unit.offer({unitCandidate}), "offer"));
    ASSERT_TRUE(observer_.wait(10s, [&] { return observer_.has("answer") && observer_.has("candidate"); }));

    std::string answer, ufrag;
    std::vector<std::string> candidates;
    {
        std::lock_guard<std::mutex> lock(observer_.mutex_);
        answer = observer_.answer_;
        candidates = observer_.candidates_;
        ufrag = observer_.ufrags_.front();
        // The unit learns of the agent from the answer before its first candidate.
        EXPECT_EQ(observer_.events_.front(), "answer");
    }
    const std::string answerUfrag = attribute(answer, "ice-ufrag");
    const std::string answerPassword = attribute(answer, "ice-pwd");
    ASSERT_GE(answerUfrag.size(), 4u);
    ASSERT_GE(answerPassword.size(), 22u);
    EXPECT_EQ(ufrag, answerUfrag);
    EXPECT_LT(answer.find("a=ice-ufrag"), answer.find("m="));  // at session level
    for (const std::string& c : candidates)
        EXPECT_EQ(c.compare(0, 10, "candidate:"), 0) << c;
    // A peer on this machine is reached on loopback.
    ASSERT_TRUE(observer_.wait(10s, [&] {
        return std::any_of(observer_.candidates_.begin(), observer_.candidates_.end(), isLoopbackCandidate);
    }));
    // The journal keeps no password.
    for (const velto_webrtc_test::EngineCall& call : velto_webrtc_test::Calls())
        for (const std::string& a : call.args)
            EXPECT_EQ(a.find(answerPassword), std::string::npos) << call.operation;

    // The unit (ICE-lite in truth) knows the answer; the engine's agent checks it.
    unit.agent().setRemoteCredentials(answerUfrag, answerPassword);
    EXPECT_TRUE(unit.receivesMedia(10s));
    EXPECT_TRUE(observer_.wait(5s, [] { return !icePathStatistics().local.empty(); }));
    const IcePathStatistics path = icePathStatistics();
    EXPECT_EQ(path.local, "host");
    EXPECT_EQ(path.remote, "host");
    EXPECT_EQ(path.transport, "udp");
    EXPECT_FALSE(observer_.wait(0s, [&] { return observer_.has("failed"); }));  // under its lock
}

TEST_F(MediaEngineIce, ANewOfferStartsTheChecksOverWithItsPeer)
{
    const auto join = [&](Unit& unit, size_t answers) {
        const std::string candidate = unit.loopbackCandidate();
        EXPECT_TRUE(engine_->SetRemoteDescription(unit.offer({candidate}), "offer"));
        EXPECT_TRUE(observer_.wait(10s, [&] {
            return size_t(std::count(observer_.events_.begin(), observer_.events_.end(), "answer")) == answers;
        }));
        std::lock_guard<std::mutex> lock(observer_.mutex_);
        return observer_.answer_;
    };
    Unit first;
    const std::string firstAnswer = join(first, 1);
    first.agent().setRemoteCredentials(attribute(firstAnswer, "ice-ufrag"), attribute(firstAnswer, "ice-pwd"));
    ASSERT_TRUE(first.receivesMedia(10s));

    // A new key is a new join: the unit's new leg knows nothing of the old checks.
    Unit second;
    const std::string secondAnswer = join(second, 2);
    EXPECT_NE(attribute(secondAnswer, "ice-ufrag"), attribute(firstAnswer, "ice-ufrag"));
    second.agent().setRemoteCredentials(attribute(secondAnswer, "ice-ufrag"), attribute(secondAnswer, "ice-pwd"));
    EXPECT_TRUE(second.receivesMedia(10s));
    EXPECT_FALSE(observer_.wait(0s, [&] { return observer_.has("failed"); }));  // under its lock
}

TEST_F(MediaEngineIce, APeerThatAnswersNoCheckIsALostConnection)
{
    Unit unit;
    // A candidate where nothing listens: every check goes unanswered.
    const std::string nowhere = "candidate:1 1 udp 2130706431 127.0.0.1 9 typ host";
    ASSERT_TRUE(engine_->SetRemoteDescription(unit.offer({nowhere}), "offer"));
    EXPECT_TRUE(observer_.wait(40s, [&] { return observer_.has("failed"); }));
}

TEST_F(MediaEngineIce, AnOfferWithoutIceKeepsTheAddressItsCandidateNames)
{
    const std::string offer = "v=0\r\nm=audio 9 UDP/TLS/RTP/SAVPF 111\r\nm=video 9 UDP/TLS/RTP/SAVPF 100\r\n";
    ASSERT_TRUE(engine_->SetRemoteDescription(offer, "offer"));
    ASSERT_TRUE(observer_.wait(10s, [&] { return observer_.has("candidate"); }));
    std::lock_guard<std::mutex> lock(observer_.mutex_);
    EXPECT_EQ(attribute(observer_.answer_, "ice-ufrag"), "");
    ASSERT_EQ(observer_.candidates_.size(), 1u);
    EXPECT_NE(observer_.candidates_.front().find(" 127.0.0.1 "), std::string::npos);
}

}  // namespace
}  // namespace velto_media
