#include "meetingprompt.h"

#include "cglobalinstance.h"
#include "messagebox.h"

MessageBox* showMeetingQuestion(int code)
{
    auto* box = new MessageBox(code, true, nullptr);
    box->setPromptText(true);
    box->showWidget();
    return box;
}

MessageBox* showMeetingRefusal(int code)
{
    auto* box = new MessageBox(code, true, nullptr);
    box->setPromptText(false);
    box->showWidget();
    return box;
}

std::optional<bool> switchParticipantMedia(QObject* context, bool audio, const std::string& jid, bool own,
                                           bool participantMuted)
{
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    if (own) {
        const bool allowed = audio ? CGlobalInstance::conferenceInfo.withAudio : CGlobalInstance::conferenceInfo.withVideo;
        if (!allowed && !sdk->isModerator()) {
            showMeetingRefusal(100004);
            return std::nullopt;
        }
        bool& mute = audio ? CGlobalInstance::isAudioMute : CGlobalInstance::isVideoMute;
        mute = !mute;
        return mute;
    }
    // The participant and its state as they were when the question was asked.
    QObject::connect(showMeetingQuestion(audio ? 100000 : 100001), &MessageBox::sigOk, context,
                     [audio, jid, participantMuted] {
                         if (audio)
                             CGlobalInstance::veltoSdk->SendAudioMute(jid, !participantMuted);
                         else
                             CGlobalInstance::veltoSdk->SendVideoMute(jid, !participantMuted);
                     });
    return std::nullopt;
}

void transferModerator(QObject* context, const std::string& jid, std::function<void()> done)
{
    if (CGlobalInstance::isSecondStreamModel) {
        showMeetingRefusal(100005);
        return;
    }
    if (jid.find("gateway") != std::string::npos) {
        showMeetingRefusal(100011);
        return;
    }
    QObject::connect(showMeetingQuestion(100002), &MessageBox::sigOk, context, [jid, done = std::move(done)] {
        if (CGlobalInstance::veltoSdk->SendModerator(jid) == 0)
            done();
    });
}

void kickOutParticipant(QObject* context, const std::string& jid)
{
    QObject::connect(showMeetingQuestion(100003), &MessageBox::sigOk, context,
                     [jid] { CGlobalInstance::veltoSdk->SendKickout(jid); });
}
