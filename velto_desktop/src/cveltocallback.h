#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "VeltoInterface.h"

class MainWindow;

// The one door through which SDK events enter the program.
//
// The SDK calls these operations on whatever thread the event arrives on: REST
// answers and the leave report on the main thread, inside the SDK call that
// produced them; signalling and media events on the libraries' own threads.
// Every operation hands its whole work (state writes and signal emissions) to
// the main thread: at once when it already runs there, so the nested order the
// SDK calls rely on holds, and queued otherwise. So CGlobalInstance and the
// main window are only ever touched on the main thread, and the meeting gate
// is tested there too: an event queued before a leave and run after it is
// dropped like one that arrived after it.
class CVeltoCallback : public QObject, public VeltoCallback {
    Q_OBJECT
public:
    // How a create or join call ended, judged from its result and from what
    // its answer did here.
    enum class EntryResult {
        Entered,  // the meeting runs
        Refused,  // the server answered with an error code, already shown
        Failed,   // no answer, or the room could not be joined after it
    };

    explicit CVeltoCallback(QObject* parent = nullptr);

    // The window whose signals carry the events on; null detaches it. Events
    // that find no window are dropped.
    void setMainDlg(MainWindow* window);

    // Account login through the SDK. The server's acceptance is reported (and
    // acted on) before the SDK's own last step, the signalling connection, can
    // still fail; a failed call therefore logs out again and hides the main
    // window, so no half-open login stays behind.
    int loginAccount(const std::string& server, const std::string& userName, const std::string& password);
    // Takes back a login that the server accepted but whose SDK call failed
    // afterwards: logs out, clears the login flag and hides the main window.
    void abandonLogin();

    // Runs one SDK call that creates or joins a meeting (CreateConference,
    // JoinConference, AnonymousJoinConference). When its answer already opened
    // the meeting but the room join failed, the meeting is left again.
    EntryResult enterConference(const std::function<int()>& sdkCall);

    void onLogin(int code, login_callback_data data) override;
    void onCreateOrJoinConference(int code, conference_callback_data data) override;
    void onLeaveConference() override;
    void onNetworkError() override;
    void onGetModerator(int code) override;
    void onReserveConference(int code) override;
    void onGetMyConferences(int code, const conferences& list) override;
    void onStartRecord(int code) override;
    void onStopRecord(int code) override;
    void onNotifyRecord(bool isRecord) override;
    void onGetStat(std::string jid, int v1, int v2, int count, int download, int upload) override;
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
    void onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                    int callType, int isCaller, std::string meetPassword) override;
    void onPresence(std::string userId, bool onLine) override;
    void onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                std::string partipants) override;
    void onHandsUp(std::string action, std::string userjid, std::string nickname) override;

private:
    enum class Gate { None, Meeting };
    using Work = std::function<void(MainWindow&)>;

    bool onMainThread() const;
    // Runs work on the main thread with the main window: now when called
    // there, queued otherwise. Gate::Meeting drops it unless a meeting runs
    // when it is about to run.
    void deliver(Gate gate, Work work);
    void run(Gate gate, const Work& work);
    // One queued event per work item, each running the oldest waiting item:
    // the same order and nesting as an event carrying its work, but the work
    // crosses threads under a lock of our own, visible to race checkers.
    Q_INVOKABLE void runNextQueued();
    // Answer codes other than 200 become a message box.
    void deliverFailureCode(int code);

    void applyMuteAudio(MainWindow& window, bool mute);
    void applyMuteVideo(MainWindow& window, bool mute);
    void applyControlMsg(MainWindow& window, const std::string& type, bool flag, const std::string& value);
    void deliverContacts(int code, conference_contacts& contacts, bool search);
    void applyContacts(MainWindow& window, int code, conference_contacts& contacts, bool search);

    std::mutex m_queueMutex;
    std::deque<std::pair<Gate, Work>> m_queue;  // guarded by m_queueMutex
    QPointer<MainWindow> m_mainWindow;
    // Code of the last create-or-join answer; 0 while none arrived.
    int m_entryAnswer = 0;
    // Whether the server accepted the account login that loginAccount runs.
    bool m_loginAccepted = false;
};
