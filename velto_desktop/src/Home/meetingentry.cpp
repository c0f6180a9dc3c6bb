#include "meetingentry.h"

#include <functional>

#include "cglobalinstance.h"
#include "cveltocallback.h"

namespace {

// Room and password of the last room joined here; main thread only.
std::string joinedRoom;
std::string joinedPassword;

}  // namespace

namespace {

bool enter(const std::function<int()>& sdkCall)
{
    if (!CGlobalInstance::veltoCallback)
        return sdkCall() == 0;
    return CGlobalInstance::veltoCallback->enterConference(sdkCall) == CVeltoCallback::EntryResult::Entered;
}

}  // namespace

bool createMeetingRoom()
{
    return enter([] { return CGlobalInstance::veltoSdk->CreateConference(); });
}

bool joinMeetingRoom(const std::string& room, const std::string& password)
{
    const bool entered = enter([&] { return CGlobalInstance::veltoSdk->JoinConference(room, password); });
    if (entered) {
        joinedRoom = room;
        joinedPassword = password;
    }
    return entered;
}

std::string runningMeetingPassword(const std::string& personalRoom)
{
    const std::string& room = CGlobalInstance::conferenceInfo.room;
    if (room != personalRoom && room == joinedRoom)
        return joinedPassword;
    return CGlobalInstance::conferenceInfo.meetPassword;
}
