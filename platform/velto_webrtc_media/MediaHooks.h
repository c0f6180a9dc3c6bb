// The process-wide state behind velto_webrtc_test_hooks.h, as the engines see
// it. It lives in the loader library (velto_webrtc_test_hooks.cpp), so that
// tests reach it without the engine module; the device lists are the
// module's (MediaDevices.cpp).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "velto_webrtc_test_hooks.h"

namespace velto_media {

// What the hooks reach of an engine.
class HookedEngine {
public:
    // Queues `event` for the observer on the engine's thread; false when it has none.
    virtual bool emit(std::function<void(velto_webrtc::velto_media_observer&)> event) = 0;
    // Runs `marker` behind every event queued so far; false when nothing is pending.
    virtual bool post(std::function<void()> marker) = 0;
    // What its streams counted so far.
    virtual std::vector<velto_webrtc_test::StreamCounters> streamCounters() = 0;

protected:
    ~HookedEngine() = default;
};

// The devices a test set in place of the system's, if any.
std::optional<velto_webrtc_test::Devices> testDevices();
// The devices the engines list: the device layer's (and the user's files),
// unless a test set its own.
std::vector<velto_webrtc::rtc_device_> currentCameras();
std::vector<velto_webrtc::rtc_device_> currentMicrophones();
std::vector<velto_webrtc::rtc_device_> currentSpeakers();
bool cameraBusy();
// The packet filter a test set for new media connections, if any.
velto_webrtc_test::PacketFilter testPacketFilter();
std::optional<int> forcedResult(const std::string& operation);
void recordCall(const std::string& operation, std::vector<std::string> args, int result);
void registerEngine(HookedEngine* engine);
void unregisterEngine(HookedEngine* engine);

// Journal texts of arguments.
inline std::string arg(const std::string& text) { return text; }
inline std::string arg(const char* text) { return text; }
inline std::string arg(bool flag) { return flag ? "true" : "false"; }
inline std::string arg(int number) { return std::to_string(number); }
inline std::string arg(unsigned int number) { return std::to_string(number); }

// Runs `body` (returning the result as int) unless a test forced the
// operation's result, and journals the call with its result.
template <typename Body>
int journaled(const char* operation, std::vector<std::string> args, Body&& body)
{
    const std::optional<int> forced = forcedResult(operation);
    const int result = forced ? *forced : static_cast<int>(body());
    recordCall(operation, std::move(args), result);
    return result;
}

}  // namespace velto_media
