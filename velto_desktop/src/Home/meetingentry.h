#pragma once

#include <string>

// Joins a meeting room through the callback bridge, which takes the room over
// only from a successful answer and leaves a half-joined meeting again.
// True when the meeting runs.
bool joinMeetingRoom(const std::string& room, const std::string& password);

// Creates and enters the user's own meeting room the same way.
bool createMeetingRoom();

// The password of the meeting that runs now: the personal room's own, or the
// one this program joined the running room with.
std::string runningMeetingPassword(const std::string& personalRoom);
