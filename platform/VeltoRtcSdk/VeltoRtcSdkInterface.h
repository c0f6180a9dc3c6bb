// The real-time signalling client: connection to the message server, the
// meeting room, and the messages exchanged with the other participants.
//
// Every event reaches the registered VeltoRtcCallback on the client's own event
// thread, never inside one of the client's operations. An event that starts
// after SetCallback was called goes to the new callback; SetCallback and
// Disconnect return only once an event that is running has ended (unless they
// are called from inside it), so neither may be called while holding a lock
// that a callback waits for. After Disconnect nothing queued is delivered.
//
// Results are 0 (or more) for success and -1 for failure unless said otherwise.
#pragma once

#include <string>
#include <vector>

#include "common.h"

// One participant of the running meeting.
struct user_info {
    std::string jid;          // user id "@" message server "/" endpoint
    std::string nickname;
    std::string ssrc;         // synchronisation source of the main stream
    std::string label;        // stream label of the main stream
    std::string secondSsrc;   // the same for the second (screen-share) stream
    std::string secondLabel;
    bool isModerator = false;
    bool audioMute = false;
    bool videoMute = false;
};

// One synchronisation source of a participant's stream. The media engine's
// velto_webrtc::rtc_ssrc holds the same six texts in the same order.
struct ssrc_t {
    std::string ssrc;         // decimal synchronisation source
    std::string cname;
    std::string streamLabel;  // the stream the track belongs to
    std::string trackLabel;   // streamLabel + "_audio" or "_video"
    std::string kind;         // "audio" or "video"
    std::string owner;        // signalling address of the participant
};

// One media entry of a presence report.
struct presence_info_media {
    std::string label;
    std::string kind;
    std::string bitrate;      // kbit/s, decimal
};

// The presence report: who the user is, the role and mute state, and the
// media engine's latest statistics.
struct presence_info {
    std::string mUserId;
    std::string mUserName;
    std::string role;         // "CRUO" for the moderator, else "NONE"
    bool audioMute = false;
    bool videoMute = false;
    std::string audioSendBitrate;
    std::string audioRecvBitrate;
    std::string videoSendBitrate;
    std::string videoRecvBitrate;
    std::string packetLoss;
    std::vector<presence_info_media> media;
};

// Receives what the message server sends to this client. Implemented by the
// user of the client; the client never deletes it.
class VeltoRtcCallback {
public:
    virtual ~VeltoRtcCallback() = default;
    // Media negotiation: `from` is the room's media focus, `sessionId` the session.
    virtual void onOffer(std::string& from, std::string& sessionId, std::string& sdp) = 0;
    virtual void onICE(std::string& from, std::string& sessionId, std::string& candidate) = 0;
    virtual void onSourceAdd(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) = 0;
    virtual void onSourceRemove(std::string& from, std::string& sessionId, std::vector<ssrc_t>& sources) = 0;
    // Statistics of another participant of the room after each of its presence
    // reports: packet loss, jitter, the number of reports so far and the sums
    // of its download and upload bitrates (kbit/s) over them.
    virtual void onGetStat(std::string jid, int packetsLost, int jitter, int samples, int download, int upload) = 0;
    virtual void onSip(int value) = 0;
    virtual void onGrantAdmin() = 0;
    virtual void onKickout() = 0;
    virtual void onAudioMute(bool mute) = 0;
    virtual void onVideoMute(bool mute) = 0;
    virtual void onConferenceControl(std::string type, std::string value) = 0;
    virtual void onUpdateUserList(user_info user) = 0;
    virtual void onRemoveUserList(std::string jid) = 0;
    virtual void onWhiteBoard(std::string action, std::string data) = 0;
    virtual void onAnnotate(std::string action, std::string data, std::string userjid) = 0;
    virtual void onNotifyRecord(std::string jid, bool on) = 0;
    virtual void onChangeNickname(std::string nickname) = 0;
    virtual void onChatMessage(std::string nickname, std::string message) = 0;
    virtual void onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                            int callType, int isCaller, std::string meetPassword) = 0;
    virtual void onPresence(std::string userId, bool onLine) = 0;
    virtual void onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                        std::string partipants) = 0;
    virtual void onHandsUp(std::string action, std::string userjid, std::string nickname) = 0;
    virtual void onNetworkError() = 0;
};

// Results: ConnectToServer, JoinConferenceRoom, SendGrantAdmin,
// RemoveSecondStreamSource and Disconnect wait for the server's answer (0 =
// done). Every other send returns at once: 0 when it is queued on a live
// connection (it goes out after everything sent before, from any thread),
// -1 when there is none; the server's refusal of it is only logged.
class VeltoRtcSdkInterface {
public:
    // A new, unconnected client; the caller owns it.
    static VeltoRtcSdkInterface* CreateNew();

    // Disconnects and stops the event thread; no callback runs afterwards.
    virtual ~VeltoRtcSdkInterface() = default;

    // Events go to `callback` from now on (null: nowhere).
    virtual void SetCallback(VeltoRtcCallback* callback) = 0;
    // 0 = connected as userId "@" domain "/" endpoint to the message server
    // messageServer:port; a connection made before is dropped first. -1 when
    // another client holds that address.
    virtual int ConnectToServer(const std::string& messageServer, const std::string& port, const std::string& userId,
                                const std::string& domain, const std::string& endpoint,
                                const conference_login_info& login) = 0;
    // Joins the room roomJid (number "@conference." server), leaving any other
    // room first. The others learn of the user; the user receives the room's
    // offer, the others' sources and the others' participant records.
    virtual int JoinConferenceRoom(const std::string& myJid, const std::string& roomJid, const std::string& userName,
                                   const conference_join_info& join) = 0;
    virtual int LeaveConferenceRoom() = 0;
    virtual int Disconnect() = 0;
    // 0 while connected, -1 once the connection is gone or the server has left
    // a ping unanswered for 5 s (one ping is on its way at a time).
    virtual int SendPing() = 0;
    virtual int SendSecondStreamAnswer(const std::string& label, const std::string& sdp) = 0;
    virtual int RemoveSecondStreamSession(const std::string& label) = 0;
    virtual int RemoveSecondStreamSource(const std::string& label) = 0;
    virtual int SendAnswer(const std::string& sdp) = 0;
    virtual int SendPresence(const presence_info& presence, int type) = 0;
    virtual int SendIceCandidate(const std::string& candidate, int sdpMLineIndex, const std::string& sdpMid,
                                 const std::string& ufrag, const std::string& component,
                                 const std::string& protocol) = 0;
    // Hands the moderator role to the participant jid of the room.
    virtual int SendGrantAdmin(const std::string& jid) = 0;
    virtual int SipCall(const std::string& gateway, const std::string& number, const std::string& password) = 0;
    virtual int SipHangUp(const std::string& gateway, const std::string& target) = 0;
    virtual int SendAudioMuteTo(const std::string& jid, bool mute) = 0;
    virtual int SendVideoMuteTo(const std::string& jid, bool mute) = 0;
    virtual int SendKick(const std::string& jid) = 0;
    // userJid may be a full address (that client only), a bare address or a
    // user id (every client of that user but the sender).
    virtual int SendRing(const std::string& userJid, const std::string& type, const std::string& roomId,
                         const std::string& nickname, int callType, int isCaller, const std::string& time,
                         const std::string& meetPassword) = 0;
    // To every other participant of the room. For the action "message" the
    // receivers get {"type": type, "message": <body as JSON>}, which needs a
    // JSON object (or empty) body; for other actions they get `type` as data.
    virtual int SendWhiteboardData(const std::string& action, const std::string& type, const std::string& body) = 0;
    // As SendWhiteboardData, to the participant `target`, or to every other
    // participant when target is empty; receivers learn the sender's address.
    virtual int SendAnnotateData(const std::string& action, const std::string& type, const std::string& body,
                                 const std::string& target) = 0;
    virtual int SendGroupMessage(const std::string& nickname, const std::string& message) = 0;
};
