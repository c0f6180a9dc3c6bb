#include "callbuttons.h"

#include <QDateTime>

#include "Home/meetingentry.h"
#include "cglobalinstance.h"
#include "mainwindow.h"

namespace {

std::string personalRoom()
{
    return CGlobalInstance::mainWindow ? CGlobalInstance::mainWindow->personalRoom() : std::string();
}

}  // namespace

bool ringContact(const std::string& userId, bool video, int64_t& now)
{
    const int devices = CGlobalInstance::checkDevices();
    const bool noAudio = devices == 1 || devices == 2 || devices == -2 || devices == -3;
    if (video && devices < 0) {
        MainWindow::showMessageBox(100017, MainWindow::PromptKind::Notice);
        return false;
    }
    if (noAudio) {
        MainWindow::showMessageBox(100023, MainWindow::PromptKind::Notice);
        return false;
    }
    const int callType = !video ? 1 : CGlobalInstance::isJoinConference ? 2 : 0;
    // The caller's own name travels with the invite: the callee shows it. An
    // invitation into a running meeting names that meeting's room.
    const std::string room = callType == 2 ? CGlobalInstance::conferenceInfo.room : std::string();
    now = QDateTime::currentSecsSinceEpoch();
    const std::string password = callType == 2 ? runningMeetingPassword(personalRoom())
                                               : CGlobalInstance::conferenceInfo.meetPassword;
    return CGlobalInstance::veltoSdk->SendRingCall(userId, "invite", room, CGlobalInstance::userInfo.mUserName,
                                                   callType, 0, std::to_string(now), password) == 0;
}
