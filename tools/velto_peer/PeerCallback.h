// What the scripted participant hears: every SDK event as one line on stdout
// ("event NAME ARG..."), and chat that it may echo.
#pragma once

#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>

#include "VeltoInterface.h"

class PeerCallback final : public VeltoCallback {
public:
    // Runs on the SDK's threads for chat from somebody else.
    std::function<void(const std::string& nickname, const std::string& message)> onChat;
    // Runs inside a create or join that the server accepted, before the room join.
    std::function<void()> onJoined;
    // Runs on the SDK's threads when a remote video stream comes or goes.
    std::function<void(const std::string& label, bool added)> onStream;
    std::string myJid;   // set by onLogin
    std::string myName;  // display name, set by onLogin

    void onLogin(int code, login_callback_data data) override;
    void onCreateOrJoinConference(int code, conference_callback_data data) override;
    void onLeaveConference() override;
    void onNetworkError() override;
    void onGetModerator(int code) override;
    void onReserveConference(int code) override;
    void onGetMyConferences(int code, const conferences& list) override;
    void onStartRecord(int code) override;
    void onStopRecord(int code) override;
    void onNotifyRecord(bool on) override;
    void onGetStat(std::string jid, int lost, int jitter, int samples, int download, int upload) override;
    void onAddStream(const std::string& label) override;
    void onRemoveStream(const std::string& label) override;
    void onWhiteBoard(std::string action, std::string data) override;
    void onAnnotate(std::string action, std::string data, std::string userjid) override;
    void onChatMessage(std::string nickname, std::string message) override;
    void onUpdateUserList(user_info user) override;
    void onRemoveUserList(std::string jid) override;
    void onControlMsg(std::string type, bool flag, std::string value) override;
    void onSip(int value) override;
    void onGrantAdmin() override;
    void onKickout() override;
    void onMuteAudio(bool mute) override;
    void onMuteVideo(bool mute) override;
    void onChangeNickname(std::string nickname) override;
    void onGetContacts(int code, conference_contacts& contacts) override;
    void onGetSearchContacts(int code, conference_contacts& contacts) override;
    void onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname, int callType,
                    int isCaller, std::string meetPassword) override;
    void onPresence(std::string userId, bool onLine) override;
    void onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                std::string partipants) override;
    void onHandsUp(std::string action, std::string userjid, std::string nickname) override;

    // One line on stdout, whole even when several threads print.
    static void print(const std::string& line);

private:
    static void event(const char* name, std::initializer_list<std::string> args);
};
