// The signalling client: a WebSocket connection over TLS to the message
// server (WsLink), requests answered by the server, and the event thread that
// delivers what the server sends.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <json/value.h>

#include "EventLoop.h"
#include "RtcWire.h"
#include "VeltoRtcSdkInterface.h"
#include "WsLink.h"

namespace velto_rtc {

class RtcClient final : public VeltoRtcSdkInterface {
public:
    // Connecting, and waiting for the server's answer to one request.
    static constexpr std::chrono::seconds kConnectTimeout{10};
    static constexpr std::chrono::seconds kAnswerTimeout{5};

    RtcClient() = default;
    ~RtcClient() override;

    void SetCallback(VeltoRtcCallback* callback) override;
    int ConnectToServer(const std::string& messageServer, const std::string& port, const std::string& userId,
                        const std::string& domain, const std::string& endpoint,
                        const conference_login_info& login) override;
    int JoinConferenceRoom(const std::string& myJid, const std::string& roomJid, const std::string& userName,
                           const conference_join_info& join) override;
    int LeaveConferenceRoom() override;
    int Disconnect() override;
    int SendPing() override;
    int SendSecondStreamAnswer(const std::string& label, const std::string& sdp) override;
    int RemoveSecondStreamSession(const std::string& label) override;
    int RemoveSecondStreamSource(const std::string& label) override;
    int SendAnswer(const std::string& sdp) override;
    int SendPresence(const presence_info& presence, int type) override;
    int SendIceCandidate(const std::string& candidate, int sdpMLineIndex, const std::string& sdpMid,
                         const std::string& ufrag, const std::string& component,
                         const std::string& protocol) override;
    int SendGrantAdmin(const std::string& jid) override;
    int SipCall(const std::string& gateway, const std::string& number, const std::string& password) override;
    int SipHangUp(const std::string& gateway, const std::string& target) override;
    int SendAudioMuteTo(const std::string& jid, bool mute) override;
    int SendVideoMuteTo(const std::string& jid, bool mute) override;
    int SendKick(const std::string& jid) override;
    int SendRing(const std::string& userJid, const std::string& type, const std::string& roomId,
                 const std::string& nickname, int callType, int isCaller, const std::string& time,
                 const std::string& meetPassword) override;
    int SendWhiteboardData(const std::string& action, const std::string& type, const std::string& body) override;
    int SendAnnotateData(const std::string& action, const std::string& type, const std::string& body,
                         const std::string& target) override;
    int SendGroupMessage(const std::string& nickname, const std::string& message) override;

private:
    struct Answer {
        bool done = false;
        bool ok = false;
        std::string jid;
    };

    // Sends `message` as a request and waits for the server's answer: 0 when
    // the server did it, -1 when it refused, the answer came late or the
    // connection is gone. `jid` receives the answer's address, if any. Only
    // the calls whose outcome the caller reads wait (connect, join, grant of
    // the chair, removal of the second stream's sources, goodbye).
    int request(Json::Value message, std::chrono::milliseconds timeout = kAnswerTimeout, std::string* jid = nullptr);
    int request(const char* type, std::initializer_list<std::pair<const char*, Json::Value>> members);
    // Queues `message` behind everything sent before and returns at once: 0
    // when queued on a live connection, -1 when there is none. The server's
    // refusal, which comes later, is logged naming `target`.
    int send(const char* type, std::initializer_list<std::pair<const char*, Json::Value>> members,
             const std::string& target = std::string());
    // Under mutex_, with up_: numbers and sends the message; returns its id.
    std::uint64_t sendLocked(Json::Value message);
    void received(std::uint64_t generation, const std::string& text);
    void lost(std::uint64_t generation);
    void deliver(Event event);
    // Says goodbye, closes the link and forgets it; true when there was one.
    bool dropLink();
    // Returns once no event is running, unless called from inside one.
    void waitForRunningEvent();

    // Connection state.
    std::mutex mutex_;
    std::condition_variable answered_;
    std::unique_ptr<WsLink> link_;
    bool up_ = false;
    bool accepted_ = false;  // the server took our connect: from now on a loss is news
    bool leaving_ = false;  // Disconnect or a new connection under way
    std::uint64_t generation_ = 0;  // of the current link; events of older links are dropped
    std::uint64_t nextId_ = 0;
    std::map<std::uint64_t, Answer> answers_;  // of the requests waited for
    // Sent without waiting, until answered: what to name in the log if refused.
    std::map<std::uint64_t, std::string> unanswered_;
    std::uint64_t ping_ = 0;  // the ping not yet answered, 0 when none
    std::chrono::steady_clock::time_point pingSent_;
    std::string jid_;

    // Event delivery: an event reads the callback when it starts and runs
    // under eventMutex_, so that replacing the callback can wait for it.
    std::mutex eventMutex_;
    std::atomic<VeltoRtcCallback*> callback_{nullptr};
    velto_platform::EventLoop loop_;  // last: its thread stops first
};

}  // namespace velto_rtc
