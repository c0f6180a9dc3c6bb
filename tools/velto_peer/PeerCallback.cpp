#include "PeerCallback.h"

#include <iostream>

namespace {
std::string flag(bool value)
{
    return value ? "true" : "false";
}
}  // namespace

void PeerCallback::print(const std::string& line)
{
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::cout << line << std::endl;
}

void PeerCallback::event(const char* name, std::initializer_list<std::string> args)
{
    std::string line = std::string("event ") + name;
    for (const std::string& arg : args)
        line += " " + arg;
    print(line);
}

void PeerCallback::onLogin(int code, login_callback_data data)
{
    if (code == 200) {
        myJid = data.myJid;
        myName = data.mUserName;
    }
    event("onLogin", {std::to_string(code), data.myJid});
}
void PeerCallback::onCreateOrJoinConference(int code, conference_callback_data data)
{
    event("onCreateOrJoinConference", {std::to_string(code), data.r});
    if (code == 200 && onJoined)
        onJoined();
}
void PeerCallback::onLeaveConference() { event("onLeaveConference", {}); }
void PeerCallback::onNetworkError() { event("onNetworkError", {}); }
void PeerCallback::onGetModerator(int code) { event("onGetModerator", {std::to_string(code)}); }
void PeerCallback::onReserveConference(int code) { event("onReserveConference", {std::to_string(code)}); }
void PeerCallback::onGetMyConferences(int code, const conferences&)
{
    event("onGetMyConferences", {std::to_string(code)});
}
void PeerCallback::onStartRecord(int code) { event("onStartRecord", {std::to_string(code)}); }
void PeerCallback::onStopRecord(int code) { event("onStopRecord", {std::to_string(code)}); }
void PeerCallback::onNotifyRecord(bool on) { event("onNotifyRecord", {flag(on)}); }
void PeerCallback::onGetStat(std::string jid, int lost, int jitter, int samples, int download, int upload)
{
    event("onGetStat", {jid, std::to_string(lost), std::to_string(jitter), std::to_string(samples),
                        std::to_string(download), std::to_string(upload)});
}
void PeerCallback::onAddStream(const std::string& label)
{
    event("onAddStream", {label});
    if (onStream)
        onStream(label, true);
}
void PeerCallback::onRemoveStream(const std::string& label)
{
    event("onRemoveStream", {label});
    if (onStream)
        onStream(label, false);
}
void PeerCallback::onWhiteBoard(std::string action, std::string data) { event("onWhiteBoard", {action, data}); }
void PeerCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    event("onAnnotate", {action, data, userjid});
}
void PeerCallback::onChatMessage(std::string nickname, std::string message)
{
    event("onChatMessage", {nickname, message});
    if (onChat)
        onChat(nickname, message);
}
void PeerCallback::onUpdateUserList(user_info user)
{
    event("onUpdateUserList", {user.jid, user.nickname, "moderator=" + flag(user.isModerator)});
}
void PeerCallback::onRemoveUserList(std::string jid) { event("onRemoveUserList", {jid}); }
void PeerCallback::onControlMsg(std::string type, bool value, std::string text)
{
    event("onControlMsg", {type, flag(value), text});
}
void PeerCallback::onSip(int value) { event("onSip", {std::to_string(value)}); }
void PeerCallback::onGrantAdmin() { event("onGrantAdmin", {}); }
void PeerCallback::onKickout() { event("onKickout", {}); }
void PeerCallback::onMuteAudio(bool mute) { event("onMuteAudio", {flag(mute)}); }
void PeerCallback::onMuteVideo(bool mute) { event("onMuteVideo", {flag(mute)}); }
void PeerCallback::onChangeNickname(std::string nickname) { event("onChangeNickname", {nickname}); }
void PeerCallback::onGetContacts(int code, conference_contacts&) { event("onGetContacts", {std::to_string(code)}); }
void PeerCallback::onGetSearchContacts(int code, conference_contacts&)
{
    event("onGetSearchContacts", {std::to_string(code)});
}
void PeerCallback::onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                              int callType, int isCaller, std::string meetPassword)
{
    event("onRingCall", {userJid, type, roomId, nickname, std::to_string(callType), std::to_string(isCaller),
                         meetPassword});
}
void PeerCallback::onPresence(std::string userId, bool onLine) { event("onPresence", {userId, flag(onLine)}); }
void PeerCallback::onConferencePartipants(std::string stageJid, bool screen, std::string, int splitScreen,
                                          std::string partipants)
{
    event("onConferencePartipants", {stageJid, flag(screen), std::to_string(splitScreen), partipants});
}
void PeerCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    event("onHandsUp", {action, userjid, nickname});
}
