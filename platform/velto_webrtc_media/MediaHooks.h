// What the engine sees of the tests' hooks (velto_webrtc_test_hooks.h). They
// live in a library of their own (libvelto_webrtc_test_hooks.so) that only
// tests and benchmarks link: the engine module looks its state up in the
// process once, and where the library is absent (every program we ship) no
// hook can be turned on and the engine lists the system's devices, forces
// nothing and journals nothing. The device lists are the module's
// (MediaDevices.cpp).
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
    // The label of the stream drawn into `target`, empty when none is.
    virtual std::string renderedLabel(const void* target) const = 0;
    // What its streams counted so far.
    virtual std::vector<velto_webrtc_test::StreamCounters> streamCounters() = 0;

protected:
    ~HookedEngine() = default;
};

// The state the test library keeps for every engine of the process.
class HookState {
public:
    virtual std::optional<velto_webrtc_test::Devices> devices() = 0;
    virtual bool cameraBusy() = 0;
    virtual velto_webrtc_test::PacketFilter packetFilter() = 0;
    virtual std::optional<int> forcedResult(const std::string& operation) = 0;
    virtual void recordCall(const std::string& operation, std::vector<std::string> args, int result) = 0;
    virtual void registerEngine(HookedEngine* engine) = 0;
    virtual void unregisterEngine(HookedEngine* engine) = 0;

protected:
    ~HookState() = default;
};

// The function by which the test library hands out its state (extern "C",
// returning HookState*).
constexpr const char* kHookStateSymbol = "velto_webrtc_test_hook_state";

// The test library's state, null where the process holds none; looked up once.
HookState* hookState();

// The devices a test set in place of the system's, if any.
inline std::optional<velto_webrtc_test::Devices> testDevices()
{
    HookState* hooks = hookState();
    return hooks ? hooks->devices() : std::nullopt;
}
// The devices the engines list: the device layer's (and the user's files),
// unless a test set its own.
std::vector<velto_webrtc::rtc_device_> currentCameras();
std::vector<velto_webrtc::rtc_device_> currentMicrophones();
std::vector<velto_webrtc::rtc_device_> currentSpeakers();
inline bool cameraBusy()
{
    HookState* hooks = hookState();
    return hooks && hooks->cameraBusy();
}
// The packet filter a test set for new media connections, if any.
inline velto_webrtc_test::PacketFilter testPacketFilter()
{
    HookState* hooks = hookState();
    return hooks ? hooks->packetFilter() : nullptr;
}
inline std::optional<int> forcedResult(const std::string& operation)
{
    HookState* hooks = hookState();
    return hooks ? hooks->forcedResult(operation) : std::nullopt;
}
inline void recordCall(const std::string& operation, std::vector<std::string> args, int result)
{
    if (HookState* hooks = hookState())
        hooks->recordCall(operation, std::move(args), result);
}
inline void registerEngine(HookedEngine* engine)
{
    if (HookState* hooks = hookState())
        hooks->registerEngine(engine);
}
inline void unregisterEngine(HookedEngine* engine)
{
    if (HookState* hooks = hookState())
        hooks->unregisterEngine(engine);
}

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
