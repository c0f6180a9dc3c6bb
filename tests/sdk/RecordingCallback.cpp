#include "RecordingCallback.h"

namespace velto::test {

namespace {

std::string text(bool flag) { return flag ? "true" : "false"; }
std::string text(int number) { return std::to_string(number); }

}  // namespace

void RecordingCallback::onEvent(const std::string& name, Hook hook)
{
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_[name] = std::move(hook);
}

std::vector<Event> RecordingCallback::events() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<Event> RecordingCallback::events(const std::string& name) const
{
    std::vector<Event> matching;
    for (Event& e : events())
        if (e.name == name)
            matching.push_back(std::move(e));
    return matching;
}

std::vector<std::string> RecordingCallback::names() const
{
    std::vector<std::string> all;
    for (const Event& e : events())
        all.push_back(e.name);
    return all;
}

bool RecordingCallback::waitFor(const std::function<bool(const std::vector<Event>&)>& done,
                                std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(events_); });
}

bool RecordingCallback::waitForEvent(const std::string& name, std::size_t count,
                                     std::chrono::milliseconds timeout) const
{
    return waitFor(
        [&](const std::vector<Event>& all) {
            std::size_t seen = 0;
            for (const Event& e : all)
                seen += e.name == name;
            return seen >= count;
        },
        timeout);
}

void RecordingCallback::record(std::string name, std::vector<std::string> args)
{
    Event event{std::move(name), std::move(args), std::this_thread::get_id()};
    Hook hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
        if (auto it = hooks_.find(event.name); it != hooks_.end())
            hook = it->second;
    }
    changed_.notify_all();
    if (hook)
        hook(event);
}

void RecordingCallback::onLogin(int code, login_callback_data d)
{
    record("onLogin", {text(code), d.myJid, d.cNumber, d.mUserName, d.phone, d.email, d.photo, text(d.videoNum)});
}

void RecordingCallback::onCreateOrJoinConference(int code, conference_callback_data d)
{
    record("onCreateOrJoinConference",
           {text(code), d.r, d.bandwidth, d.resolution, d.width, d.stageJid, d.conferenceType, d.maxViewNum,
            text(d.recordFlag), text(d.withAudio), text(d.withVideo)});
}

void RecordingCallback::onLeaveConference() { record("onLeaveConference", {}); }
void RecordingCallback::onNetworkError() { record("onNetworkError", {}); }
void RecordingCallback::onGetModerator(int code) { record("onGetModerator", {text(code)}); }
void RecordingCallback::onReserveConference(int code) { record("onReserveConference", {text(code)}); }

void RecordingCallback::onGetMyConferences(int code, const conferences& list)
{
    std::vector<std::string> args{text(code), text(list.total)};
    for (const conferences_info& c : list.list)
        args.push_back(c.mConferenceId);
    record("onGetMyConferences", std::move(args));
}

void RecordingCallback::onStartRecord(int code) { record("onStartRecord", {text(code)}); }
void RecordingCallback::onStopRecord(int code) { record("onStopRecord", {text(code)}); }
void RecordingCallback::onNotifyRecord(bool on) { record("onNotifyRecord", {text(on)}); }

void RecordingCallback::onGetStat(std::string jid, int a, int b, int c, int d, int e)
{
    record("onGetStat", {jid, text(a), text(b), text(c), text(d), text(e)});
}

void RecordingCallback::onAddStream(const std::string& label) { record("onAddStream", {label}); }
void RecordingCallback::onRemoveStream(const std::string& label) { record("onRemoveStream", {label}); }

void RecordingCallback::onWhiteBoard(std::string action, std::string data)
{
    record("onWhiteBoard", {action, data});
}

void RecordingCallback::onAnnotate(std::string action, std::string data, std::string userjid)
{
    record("onAnnotate", {action, data, userjid});
}

void RecordingCallback::onChatMessage(std::string nickname, std::string message)
{
    record("onChatMessage", {nickname, message});
}

void RecordingCallback::onUpdateUserList(user_info u)
{
    record("onUpdateUserList", {u.jid, u.nickname, u.ssrc, u.label, u.secondSsrc, u.secondLabel, text(u.isModerator),
                                text(u.audioMute), text(u.videoMute)});
}

void RecordingCallback::onRemoveUserList(std::string jid) { record("onRemoveUserList", {jid}); }

void RecordingCallback::onControlMsg(std::string type, bool flag, std::string value)
{
    record("onControlMsg", {type, text(flag), value});
}

void RecordingCallback::onSip(int value) { record("onSip", {text(value)}); }
void RecordingCallback::onGrantAdmin() { record("onGrantAdmin", {}); }
void RecordingCallback::onKickout() { record("onKickout", {}); }
void RecordingCallback::onMuteAudio(bool mute) { record("onMuteAudio", {text(mute)}); }
void RecordingCallback::onMuteVideo(bool mute) { record("onMuteVideo", {text(mute)}); }
void RecordingCallback::onChangeNickname(std::string nickname) { record("onChangeNickname", {nickname}); }

void RecordingCallback::onGetContacts(int code, conference_contacts& contacts)
{
    std::vector<std::string> args{text(code)};
    for (const conference_contact& c : contacts.list)
        args.push_back(c.mUserId);
    record("onGetContacts", std::move(args));
}

void RecordingCallback::onGetSearchContacts(int code, conference_contacts& contacts)
{
    std::vector<std::string> args{text(code)};
    for (const conference_contact& c : contacts.list)
        args.push_back(c.mUserId);
    record("onGetSearchContacts", std::move(args));
}

void RecordingCallback::onRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                                   int callType, int isCaller, std::string meetPassword)
{
    record("onRingCall", {userJid, type, roomId, nickname, text(callType), text(isCaller), meetPassword});
}

void RecordingCallback::onPresence(std::string userId, bool onLine) { record("onPresence", {userId, text(onLine)}); }

void RecordingCallback::onConferencePartipants(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                               std::string partipants)
{
    record("onConferencePartipants", {stageJid, text(screen), ssrc, text(splitScreen), partipants});
}

void RecordingCallback::onHandsUp(std::string action, std::string userjid, std::string nickname)
{
    record("onHandsUp", {action, userjid, nickname});
}

}  // namespace velto::test
