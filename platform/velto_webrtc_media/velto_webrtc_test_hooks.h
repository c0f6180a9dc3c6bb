// Test access to the media engine: the devices it finds, a busy camera, forced
// results, the journal of calls and events injected into its observer.
// Settings hold for every engine of the process, live or created later, until
// Reset.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "velto_webrtc_interface.h"

namespace velto_webrtc_test {

struct Devices {
    std::vector<velto_webrtc::rtc_device_> cameras;
    std::vector<velto_webrtc::rtc_device_> microphones;
    std::vector<velto_webrtc::rtc_device_> speakers;
};

// The devices of the tests: the synthetic camera, and the test command's
// null sink ("vsink") and its monitor as speaker and microphone.
Devices DefaultDevices();
// From now on every engine lists these instead of the system's devices.
void SetDevices(const Devices& devices);

// While set, AddVideoToLocalStream answers -3 (another application holds the camera).
void SetCameraBusy(bool busy);

// From now on the operation named `operation` (e.g. "AddAudioToLocalStream")
// does nothing and returns `result`; bool operations return result != 0.
void ForceResult(const std::string& operation, int result);

// One operation called on an engine.
struct EngineCall {
    std::string operation;
    std::vector<std::string> args;  // texts as they are, numbers in decimal, flags "true"/"false"
    int result = 0;                 // bool results as 1 and 0
};

// Every call made on any engine since the last Reset, in order (the latest 10000).
std::vector<EngineCall> Calls();

// Engines created and not yet destroyed.
int LiveEngines();

// Delivers `event` to the observer of every initialised engine, on that
// engine's thread; returns how many engines were reached.
int InjectEvent(const std::function<void(velto_webrtc::velto_media_observer&)>& event);

// Waits until every engine has delivered what it queued so far; false on time-out.
bool Flush(std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The label of the stream that a live engine draws into the render target
// `target` (a QGLRenderInterface*), empty when none does.
std::string RenderedLabel(const void* target);

// The default devices (instead of the system's), camera free, no forced
// results, empty journal. Until the first Reset the engines list the
// system's devices.
void Reset();

}  // namespace velto_webrtc_test
