// The signalling client of the stand-in: a connection to an in-process message
// server (RtcNetwork) plus the event thread that delivers what arrives.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "RtcNetwork.h"
#include "VeltoRtcSdkInterface.h"

namespace velto_rtc {

class RtcClient final : public VeltoRtcSdkInterface {
public:
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

    using Event = std::function<void(VeltoRtcCallback&)>;

    // For the message server and the test hooks; the *Locked members need the
    // network's mutex.
    void deliver(Event event);
    // Posts `marker` behind every event queued so far.
    void post(std::function<void()> marker) { loop_.post(std::move(marker)); }
    const std::string& jidLocked() const { return jid_; }
    const std::string& roomLocked() const { return room_; }
    const user_info& infoLocked() const { return info_; }
    // Network loss: out of the room and off the server; pings fail from now on.
    void loseConnectionLocked();

private:
    enum class Link { Down, Up, Lost };

    // The server when the link is up, after recording the operation there.
    MessageServer* sendLocked(const std::string& operation, std::vector<std::string> args);
    // The same, and only while in a room.
    MessageServer* sendInRoomLocked(const std::string& operation, std::vector<std::string> args);
    std::vector<RtcClient*> peersLocked() const;
    RtcClient* peerLocked(const std::string& jid) const;
    void deliverToPeersLocked(const Event& event) const;
    void announceLocked() const;  // this participant's record to the others
    std::vector<ssrc_t> sourcesOf(const std::string& sdp) const;
    Event sourceEvent(std::vector<ssrc_t> sources, bool added) const;
    void setSourcesLocked(std::vector<ssrc_t> sources);
    void leaveRoomLocked();
    void detachLocked();
    // Returns once no event is running, unless called from inside one.
    void waitForRunningEvent();
    int sendMute(const char* operation, const std::string& jid, bool mute, void (VeltoRtcCallback::*event)(bool));

    // Connection state, guarded by the network's mutex.
    Link link_ = Link::Down;
    MessageServer* server_ = nullptr;
    std::string jid_;
    std::string userId_;
    std::string room_;
    std::string focus_;    // the room's media focus, sender of its media events
    std::string session_;  // the media session of this room visit
    user_info info_;
    std::vector<ssrc_t> sources_;
    std::string secondStream_;               // label whose sources form the second stream
    std::set<std::string> secondSessions_;   // second-stream answers not yet ended
    std::set<std::string> sipCalls_;         // gateway + " " + number
    // Statistics of this room visit, summed over the presence reports.
    int statSamples_ = 0;
    long long downloadSum_ = 0;              // kbit/s
    long long uploadSum_ = 0;
    unsigned sessionCounter_ = 0;

    // Event delivery: an event reads the callback when it starts and runs
    // under eventMutex_, so that replacing the callback can wait for it.
    std::mutex eventMutex_;
    std::atomic<VeltoRtcCallback*> callback_{nullptr};
    velto_platform::EventLoop loop_;  // last: its thread stops first
};

}  // namespace velto_rtc
