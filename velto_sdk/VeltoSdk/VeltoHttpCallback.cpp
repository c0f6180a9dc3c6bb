#include "VeltoHttpCallback.h"

#include "VeltoSdk.h"

namespace {

struct video_size_choice {
    int width = 1920;
    int bandwidth = 2048;
};

// The first resolution step whose height, as decimal text, equals the
// meeting's resolution exactly; the defaults when none does.
video_size_choice chooseVideoSize(const conference_join_info& join)
{
    for (const resolution_bandwidth& step : join.rbwc) {
        if (std::to_string(step.height) == join.resolution)
            return {step.width, step.bandwidth};
    }
    return {};
}

}  // namespace

std::string jidOf(const conference_login_info& login)
{
    return login.mUserId + "@" + login.messageServer + "/" + login.endpoint;
}

std::string roomJidOf(const std::string& room, const std::string& messageServer)
{
    return room + "@conference." + messageServer;
}

void CVeltoHttpCallback::onLogin(int code, conference_login_info& answer)
{
    const std::string myJid = jidOf(answer);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (code == 200) {
            login_ = answer;
            hasLogin_ = true;
        }
        // Taken from every answer, failed ones too.
        status_.myJid = myJid;
        status_.nickname = answer.mUserName;
        status_.endpoint = answer.endpoint;
        status_.messageServer = answer.messageServer;
    }

    login_callback_data data;
    data.myJid = myJid;
    data.cNumber = answer.cNumber;
    data.mUserName = answer.mUserName;
    data.phone = answer.phone;
    data.email = answer.email;
    data.photo = answer.photo;
    data.videoNum = answer.videoNum;
    sdk_->notify([&](VeltoCallback& callback) { callback.onLogin(code, data); });
}

void CVeltoHttpCallback::onCreateOrJoinConference(int code, const conference_join_info& answer)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (code == 200) {
            join_ = answer;
            hasJoin_ = true;
        }
        status_.isModerator = answer.moderatorJid == status_.myJid;
        status_.stageJid = answer.stageJid;
        status_.gw = answer.gw;
        status_.moderatorJid = answer.moderatorJid;
        status_.focusJid = answer.focusJid;
        status_.roomJid = roomJidOf(answer.r, status_.messageServer);
    }

    sdk_->SetAudioDeviceWorkMode(kAudioDeviceConference);

    const video_size_choice size = chooseVideoSize(answer);
    conference_callback_data data;
    data.r = answer.r;
    data.bandwidth = std::to_string(size.bandwidth);
    data.resolution = answer.resolution;
    data.width = std::to_string(size.width);
    data.stageJid = answer.stageJid;
    data.conferenceType = answer.conferenceType;
    data.maxViewNum = answer.maxViewNum;
    data.recordFlag = !answer.record.empty();
    data.withAudio = answer.withAudio;
    data.withVideo = answer.withVideo;
    sdk_->notify([&](VeltoCallback& callback) { callback.onCreateOrJoinConference(code, data); });
}

void CVeltoHttpCallback::onGrantAdmin(int code, std::string jid)
{
    if (code != 200)
        return;
    VeltoRtcSdkInterface* rtc = sdk_->getRtcSdk();
    if (rtc && rtc->SendGrantAdmin(jid) == 0)
        setModerator(false);
}

void CVeltoHttpCallback::onGetModerator(int code)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onGetModerator(code); });
}

void CVeltoHttpCallback::onGetMyConferences(int code, const conferences& list)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onGetMyConferences(code, list); });
}

void CVeltoHttpCallback::onBookConferences(int code)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onReserveConference(code); });
}

void CVeltoHttpCallback::onDeleteConferece(int) {}

void CVeltoHttpCallback::onQueryUser(int code, const query_user_info& record)
{
    if (code != 200)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    user_ = record;
}

void CVeltoHttpCallback::onStartRecord(int code)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onStartRecord(code); });
}

void CVeltoHttpCallback::onStopRecord(int code)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onStopRecord(code); });
}

void CVeltoHttpCallback::onGetContacts(int code, conference_contacts& contacts)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onGetContacts(code, contacts); });
}

void CVeltoHttpCallback::onGetSearchContacts(int code, conference_contacts& contacts)
{
    sdk_->notify([&](VeltoCallback& callback) { callback.onGetSearchContacts(code, contacts); });
}

bool CVeltoHttpCallback::hasLoginInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hasLogin_;
}

bool CVeltoHttpCallback::hasJoinInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hasJoin_;
}

conference_login_info CVeltoHttpCallback::getLoginInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return login_;
}

conference_join_info CVeltoHttpCallback::getJoinInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return join_;
}

conference_room_status CVeltoHttpCallback::getRoomStatus() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
}

query_user_info CVeltoHttpCallback::getUserInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return user_;
}

bool CVeltoHttpCallback::isModerator() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return status_.isModerator;
}

void CVeltoHttpCallback::setModerator(bool moderator)
{
    std::lock_guard<std::mutex> lock(mutex_);
    status_.isModerator = moderator;
}

void CVeltoHttpCallback::setAudioMute(bool mute)
{
    std::lock_guard<std::mutex> lock(mutex_);
    status_.audioMute = mute;
}

void CVeltoHttpCallback::setVideoMute(bool mute)
{
    std::lock_guard<std::mutex> lock(mutex_);
    status_.videoMute = mute;
}

void CVeltoHttpCallback::setUserName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    login_.mUserName = name;
}
