#pragma once

#include <cstdint>
#include <string>

// The call buttons of the contact and recent-call rows: checks the devices a
// call needs (showing why not) and sends the "invite" to `userId`. True when
// the invite went out; `now` is its sending moment in seconds.
bool ringContact(const std::string& userId, bool video, int64_t& now);
