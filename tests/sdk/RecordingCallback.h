#pragma once
// A VeltoCallback that records every call it receives, for tests.
//
// Each call becomes an Event: the operation's name and its arguments as text
// (numbers in decimal, flags "true"/"false", records spread out field by field
// in declaration order). Hooks run inside the call, on the SDK's thread, after
// the event is recorded and with no recorder lock held, so a hook may call
// back into the SDK.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VeltoInterface.h"

namespace velto::test {

struct Event {
    std::string name;
    std::vector<std::string> args;
    std::thread::id thread;
};

class RecordingCallback : public VeltoCallback {
public:
    using Hook = std::function<void(const Event&)>;

    // Replaces the hook of the operation `name`.
    void onEvent(const std::string& name, Hook hook);

    std::vector<Event> events() const;
    std::vector<Event> events(const std::string& name) const;
    // Names of all events in arrival order.
    std::vector<std::string> names() const;

    // Waits until `done` holds for the events so far; false on time-out.
    bool waitFor(const std::function<bool(const std::vector<Event>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Waits for at least `count` events named `name`.
    bool waitForEvent(const std::string& name, std::size_t count = 1,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

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
    void onGetStat(std::string jid, int a, int b, int c, int d, int e) override;
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

private:
    void record(std::string name, std::vector<std::string> args);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Event> events_;
    std::map<std::string, Hook> hooks_;
};

}  // namespace velto::test
