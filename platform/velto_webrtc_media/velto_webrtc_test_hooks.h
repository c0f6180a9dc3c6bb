// Test access to the media engine: the devices it finds, a busy camera, forced
// results, the journal of calls and events injected into its observer.
// Settings hold for every engine of the process, live or created later, until
// Reset. A library of its own (libvelto_webrtc_test_hooks.so) that only tests
// and benchmarks link: in a process without it the engines have no hooks.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
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
// What the streams of the live engines counted since they began (one entry a
// stream and engine): how losses were asked for, answered and repaired.
struct StreamCounters {
    uint32_t ssrc = 0;
    std::string kind;   // "audio" or "video"
    bool sent = false;  // the engine's own stream; else a received one
    // Sent video: sequences its receivers asked for again (NACK), packets
    // resent (in its retransmission stream), keyframe requests (PLI).
    int packetsNacked = 0;
    int packetsResent = 0;
    int keyframeRequests = 0;
    // Received video.
    int framesDecoded = 0;
    int keyframesDecoded = 0;
    int nacksSent = 0;         // NACK messages
    int packetsRequested = 0;  // sequences they named, repeats included
    int packetsRecovered = 0;  // missing packets that came resent
    int plisSent = 0;
    int rttMs = 0;             // the round trip as the resends tell it
    // Received audio: 20 ms frames decoded, rebuilt from the next packet's
    // redundancy (FEC), concealed.
    int audioFramesDecoded = 0;
    int audioFramesFromFec = 0;
    int audioFramesConcealed = 0;
};
std::vector<StreamCounters> Streams();

// Decides over each datagram an engine sends (`outgoing`) or receives
// (before it is opened): true drops it, as a lossy network would. Called on
// the engines' threads. Holds for the media connections opened after it is
// set; an empty filter (and Reset) ends it for those opened afterwards.
using PacketFilter = std::function<bool(bool outgoing, const uint8_t* data, size_t size)>;
void SetPacketFilter(PacketFilter filter);

// The default devices (instead of the system's), camera free, no forced
// results, empty journal, no packet filter. Until the first Reset the engines list the
// system's devices.
void Reset();

}  // namespace velto_webrtc_test
