#include "cveltocallback.h"

#include <QDebug>
#include <QThread>

#include <climits>

#include "cglobalinstance.h"
#include "mainwindow.h"
#include "Tools/logtext.h"

namespace {

// The decimal value of a text's leading digits; 0 when it has none.
int leadingNumber(const std::string& text)
{
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

const char* boolText(bool value) { return value ? "true" : "false"; }

}  // namespace

CVeltoCallback::CVeltoCallback(QObject* parent) : QObject(parent) {}

void CVeltoCallback::setMainDlg(MainWindow* window) { m_mainWindow = window; }

bool CVeltoCallback::onMainThread() const { return QThread::currentThread() == thread(); }

void CVeltoCallback::deliver(Gate gate, Work work)
{
    if (onMainThread()) {
        run(gate, work);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_queue.emplace_back(gate, std::move(work));
    }
    QMetaObject::invokeMethod(this, "runNextQueued", Qt::QueuedConnection);
}

void CVeltoCallback::runNextQueued()
{
    std::pair<Gate, Work> next;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_queue.empty())
            return;
        next = std::move(m_queue.front());
        m_queue.pop_front();
    }
    run(next.first, next.second);
}

void CVeltoCallback::run(Gate gate, const Work& work)
{
    if (gate == Gate::Meeting && !CGlobalInstance::isJoinConference)
        return;
    if (!m_mainWindow)
        return;
    work(*m_mainWindow);
}

void CVeltoCallback::deliverFailureCode(int code)
{
    if (code == 200)
        return;
    deliver(Gate::None, [code](MainWindow& window) { emit window.sigMessageBox(code); });
}

int CVeltoCallback::loginAccount(const std::string& server, const std::string& userName,
                                 const std::string& password)
{
    m_loginAccepted = false;
    const int result = CGlobalInstance::veltoSdk->Login(server, userName, password, server);
    // Only a login that this call's answer opened is taken back: a failed
    // re-login leaves the session it meant to renew as it was.
    if (result != 0 && m_loginAccepted)
        abandonLogin();
    return result;
}

void CVeltoCallback::abandonLogin()
{
    if (!CGlobalInstance::isLogin)
        return;
    CGlobalInstance::veltoSdk->Logout();
    CGlobalInstance::isLogin = false;
    CGlobalInstance::showOrHideMainWindow(false);
}

CVeltoCallback::EntryResult CVeltoCallback::enterConference(const std::function<int()>& sdkCall)
{
    const bool wasInMeeting = CGlobalInstance::isJoinConference;
    m_entryAnswer = 0;
    if (sdkCall() == 0)
        return EntryResult::Entered;
    if (!wasInMeeting && CGlobalInstance::isJoinConference) {
        // The answer opened the meeting window, then the room join failed.
        CGlobalInstance::veltoSdk->LeaveConference();
        return EntryResult::Failed;
    }
    if (m_entryAnswer != 0 && m_entryAnswer != 200)
        return EntryResult::Refused;
    return EntryResult::Failed;
}

void CVeltoCallback::onLogin(int code, login_callback_data data)
{
    if (code != 200) {
        deliverFailureCode(code);
        return;
    }
    deliver(Gate::None, [this, data = std::move(data)](MainWindow& window) {
        m_loginAccepted = true;
        CGlobalInstance::isLogin = true;
        auto& user = CGlobalInstance::userInfo;
        user.myJid = data.myJid;
        user.mUserName = data.mUserName;
        user.phone = data.phone;
        user.email = data.email;
        user.photo = data.photo;
        user.videoNum = data.videoNum;
        auto& conference = CGlobalInstance::conferenceInfo;
        conference.room = data.cNumber;
        CGlobalInstance::veltoSdk->QueryUsers(conference.meetPassword, conference.ownerPassword);
        window.stopNetworkCheck();
        if (CGlobalInstance::isAnonymousLogin)
            return;
        emit window.sigDownloadImage(QString::fromStdString(data.photo));
        emit window.sigSetConferenceInfo(data.cNumber);
        CGlobalInstance::showOrHideMainWindow(true);
    });
}

void CVeltoCallback::onCreateOrJoinConference(int code, conference_callback_data data)
{
    deliver(Gate::None, [this, code, data = std::move(data)](MainWindow& window) {
        m_entryAnswer = code;
        if (code != 200) {
            emit window.sigMessageBox(code);
            return;
        }
        CGlobalInstance::isJoinConference = true;
        auto& conference = CGlobalInstance::conferenceInfo;
        conference.room = data.r;
        conference.conferenceType = leadingNumber(data.conferenceType);
        conference.bandwidth = leadingNumber(data.bandwidth);
        conference.resolution = leadingNumber(data.resolution);
        conference.width = leadingNumber(data.width);
        conference.maxViewNum = leadingNumber(data.maxViewNum);
        conference.stageJid = data.stageJid;
        conference.withAudio = data.withAudio;
        conference.withVideo = data.withVideo;
        conference.recordFlag = data.recordFlag;
        if (CGlobalInstance::isAnonymousLogin)
            CGlobalInstance::showOrHideMainWindow(false);
        emit window.sigStartConference();
    });
}

void CVeltoCallback::onLeaveConference()
{
    deliver(Gate::None, [](MainWindow& window) {
        qDebug() << "=onLeaveConference=";
        CGlobalInstance::isJoinConference = false;
        CGlobalInstance::clearUserList();
        emit window.sigLeaveConference();
    });
}

void CVeltoCallback::onNetworkError()
{
    deliver(Gate::None, [](MainWindow& window) {
        qDebug() << "==onNetworkError==";
        emit window.sigNetworkError();
    });
}

void CVeltoCallback::onGetModerator(int code) { deliverFailureCode(code); }

void CVeltoCallback::onReserveConference(int code) { deliverFailureCode(code); }

void CVeltoCallback::onGetMyConferences(int code, const conferences& list)
{
    if (code != 200) {
        deliverFailureCode(code);
        return;
    }
    deliver(Gate::None, [list](MainWindow& window) { emit window.sigUpdateMyConferences(list); });
}

void CVeltoCallback::onStartRecord(int code) { deliverFailureCode(code); }

void CVeltoCallback::onStopRecord(int code) { deliverFailureCode(code); }

void CVeltoCallback::onNotifyRecord(bool isRecord)
{
    deliver(Gate::None, [isRecord](MainWindow& window) {
        qDebug() << "onNotifyRecord==" << boolText(isRecord);
        emit window.sigNotifyRecord(isRecord);
    });
}

void CVeltoCallback::onGetStat(std::string jid, int, int, int count, int download, int upload)
{
    deliver(Gate::Meeting, [jid = std::move(jid), count, download, upload](MainWindow& window) {
        if (count == 0)
            emit window.sigStat(jid, 0, 0);
        else
            emit window.sigStat(jid, download / count, upload / count);
    });
}

void CVeltoCallback::onAddStream(const std::string&) {}

void CVeltoCallback::onRemoveStream(const std::string& label)
{
    deliver(Gate::None, [label](MainWindow& window) { emit window.sigRemoveStream(label); });
}

void CVeltoCallback::onWhiteBoard(std::string action, std::string data)
{
    deliver(Gate::Meeting, [action = std::move(action), data = std::move(data)](MainWindow& window) {
        emit window.sigWhiteBoard(action, data);
    });
}

void CVeltoCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    deliver(Gate::Meeting, [action = std::move(action), data = std::move(data),
                            userjid = std::move(userjid)](MainWindow& window) {
        emit window.sigAnnotate(action, data, userjid);
    });
}

void CVeltoCallback::onChatMessage(std::string nickname, std::string message)
{
    deliver(Gate::Meeting, [nickname = std::move(nickname), message = std::move(message)](MainWindow& window) {
        emit window.sigChat(nickname, message);
    });
}

void CVeltoCallback::onUpdateUserList(user_info user)
{
    deliver(Gate::Meeting, [user = std::move(user)](MainWindow& window) {
        qDebug() << "updateUserList==" << logText(user.nickname) << "," << logText(user.jid)
                 << boolText(user.audioMute) << boolText(user.videoMute);
        qDebug() << "mainstream_label == " << logText(user.label);
        CGlobalInstance::updateUserList(user);
        emit window.sigAddUser(user);
        emit window.sigUpdateRecentItemStatus(CGlobalInstance::getUserId(user.jid), true);
        if (user.nickname.find("sip:") != std::string::npos || user.nickname.find("h323:") != std::string::npos)
            emit window.sigSip(user.nickname);
        if (!CGlobalInstance::veltoSdk->isModerator())
            emit window.sigLostModerator(CGlobalInstance::isLostModerator());
    });
}

void CVeltoCallback::onRemoveUserList(std::string jid)
{
    deliver(Gate::Meeting, [jid = std::move(jid)](MainWindow& window) {
        qDebug() << "remove user list ==" << logText(jid);
        CGlobalInstance::removeUserFromList(jid);
        emit window.sigRemoveUser(jid);
        emit window.sigUpdateRecentItemStatus(CGlobalInstance::getUserId(jid), false);
    });
}

void CVeltoCallback::onControlMsg(std::string type, bool flag, std::string value)
{
    deliver(Gate::Meeting, [this, type = std::move(type), flag, value = std::move(value)](MainWindow& window) {
        applyControlMsg(window, type, flag, value);
    });
}

void CVeltoCallback::applyControlMsg(MainWindow& window, const std::string& type, bool flag,
                                     const std::string& value)
{
    qDebug() << "onControlMsg == " << logText(type) << logText(value);
    // The first word the type contains decides; the order matters for types
    // that contain two of them.
    enum class Action { MuteAudio, MuteVideo, LostModerator, Moderator, Lock, Chat, ToClose };
    static const std::pair<const char*, Action> table[] = {
        {"allAudio", Action::MuteAudio},   {"audio", Action::MuteAudio},
        {"allVideo", Action::MuteVideo},   {"video", Action::MuteVideo},
        {"lostModerator", Action::LostModerator}, {"moderator", Action::Moderator},
        {"lock", Action::Lock},            {"groupChat", Action::Chat},
        {"privateChat", Action::Chat},     {"toClose", Action::ToClose},
    };
    for (const auto& [word, action] : table) {
        if (type.find(word) == std::string::npos)
            continue;
        switch (action) {
        case Action::MuteAudio:
            applyMuteAudio(window, flag);
            break;
        case Action::MuteVideo:
            applyMuteVideo(window, flag);
            break;
        case Action::LostModerator:
            emit window.sigLostModerator(true);
            emit window.sigMessageBox(100016);
            break;
        case Action::Moderator:
            if (flag)
                emit window.sigGrantAdmin();
            else
                emit window.sigTransferModerator(value);
            emit window.sigLostModerator(false);
            break;
        case Action::Lock:
            emit window.sigLockConference(flag);
            emit window.sigNotice(flag ? 5 : 6);
            break;
        case Action::Chat:
            emit window.sigChat(QObject::tr("admin").toUtf8().toStdString(), value);
            break;
        case Action::ToClose:
            if (CGlobalInstance::veltoSdk->isModerator())
                emit window.sigDelayConference(value);
            break;
        }
        return;
    }
}

void CVeltoCallback::onSip(int) {}

void CVeltoCallback::onGrantAdmin() {}

void CVeltoCallback::onKickout()
{
    deliver(Gate::None, [](MainWindow& window) {
        emit window.sigKickout();
        emit window.sigMessageBox(300417);
    });
}

void CVeltoCallback::onMuteAudio(bool mute)
{
    deliver(Gate::Meeting, [this, mute](MainWindow& window) { applyMuteAudio(window, mute); });
}

void CVeltoCallback::applyMuteAudio(MainWindow& window, bool mute)
{
    qDebug() << "onMuteAudio == " << boolText(mute);
    CGlobalInstance::conferenceInfo.withAudio = !mute;
    CGlobalInstance::isAudioMute = mute;
    emit window.sigMuteAudio(mute);
}

void CVeltoCallback::onMuteVideo(bool mute)
{
    deliver(Gate::Meeting, [this, mute](MainWindow& window) { applyMuteVideo(window, mute); });
}

void CVeltoCallback::applyMuteVideo(MainWindow& window, bool mute)
{
    CGlobalInstance::conferenceInfo.withVideo = !mute;
    CGlobalInstance::isVideoMute = mute;
    emit window.sigMuteVideo(mute);
}

void CVeltoCallback::onChangeNickname(std::string nickname)
{
    deliver(Gate::Meeting, [nickname = std::move(nickname)](MainWindow& window) {
        emit window.sigChangeNickname(nickname);
    });
}

void CVeltoCallback::onGetContacts(int code, conference_contacts& contacts)
{
    deliverContacts(code, contacts, false);
}

void CVeltoCallback::onGetSearchContacts(int code, conference_contacts& contacts)
{
    deliverContacts(code, contacts, true);
}

void CVeltoCallback::deliverContacts(int code, conference_contacts& contacts, bool search)
{
    // The SDK's own record travels by reference, which only a direct delivery
    // can keep; a copy serves should the answer ever come from another thread.
    if (onMainThread())
        run(Gate::None, [&](MainWindow& window) { applyContacts(window, code, contacts, search); });
    else
        deliver(Gate::None, [this, code, search, copy = contacts](MainWindow& window) mutable {
            applyContacts(window, code, copy, search);
        });
}

void CVeltoCallback::applyContacts(MainWindow& window, int code, conference_contacts& contacts, bool search)
{
    if (search) {
        if (code == 200)
            emit window.sigGetSearchContacts(contacts);
        return;
    }
    if (code == 200)
        emit window.sigGetContacts(contacts);
    else
        emit window.sigMessageBox(300110);
}

void CVeltoCallback::onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                                int callType, int isCaller, std::string meetPassword)
{
    deliver(Gate::None, [userJid = std::move(userJid), type = std::move(type), roomId = std::move(roomId),
                         nickname = std::move(nickname), callType, isCaller,
                         meetPassword = std::move(meetPassword)](MainWindow& window) {
        emit window.sigRingCall(userJid, type, roomId, nickname, callType, isCaller, meetPassword);
    });
}

void CVeltoCallback::onPresence(std::string userId, bool onLine)
{
    deliver(Gate::None, [userId = std::move(userId), onLine](MainWindow& window) {
        emit window.sigPresence(userId, onLine);
    });
}

void CVeltoCallback::onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                            std::string partipants)
{
    deliver(Gate::Meeting, [stageJid = std::move(stageJid), screen, ssrc = std::move(ssrc), splitScreen,
                            partipants = std::move(partipants)](MainWindow& window) {
        qDebug() << "===onConferencePartipants===" << logText(CGlobalInstance::conferenceInfo.stageJid) << ","
                 << logText(stageJid);
        emit window.sigShowSubWidget(stageJid, screen, ssrc, splitScreen, partipants);
        emit window.sigUpdateLayout();
    });
}

void CVeltoCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    deliver(Gate::Meeting, [action = std::move(action), userjid = std::move(userjid),
                            nickname = std::move(nickname)](MainWindow& window) {
        emit window.sigHandsUp(action, userjid, nickname);
    });
}
