#include "velto_webrtc_test_hooks.h"

#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "AudioDevice.h"
#include "MediaEngine.h"
#include "MediaHooks.h"
#include "UserSources.h"
#include "VideoSource.h"

namespace {

// Settings and journal: short critical sections, never held while an engine
// is called.
struct Settings {
    std::mutex mutex;
    std::optional<velto_webrtc_test::Devices> devices;  // none: the system's
    bool cameraBusy = false;
    std::map<std::string, int> forced;
    std::deque<velto_webrtc_test::EngineCall> calls;  // the latest kCallsKept
};

// A long meeting asks for statistics for hours; only the recent past is kept.
constexpr size_t kCallsKept = 10000;

Settings& settings()
{
    static Settings instance;
    return instance;
}

// The live engines. Held while an engine is reached from a hook, so that it
// cannot go away meanwhile; an engine never takes it while it holds its own lock.
struct Engines {
    std::mutex mutex;
    std::set<velto_media::MediaEngine*> live;
};

Engines& engines()
{
    static Engines instance;
    return instance;
}

}  // namespace

namespace velto_media {

namespace {

std::optional<velto_webrtc_test::Devices> testDevices()
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    return settings().devices;
}

// A sound device as listed: its description with its system name after it,
// so that the program finds the device its own sound library names.
std::vector<velto_webrtc::rtc_device_> soundDevices(std::vector<AudioDeviceInfo> (*list)(),
                                                     const std::string& userFile)
{
    std::vector<velto_webrtc::rtc_device_> listed;
    // The user's file stands in for the devices when it is all there is to be.
    const bool filesOnly = userSources().soundFilesOnly;
    const std::vector<AudioDeviceInfo> devices = filesOnly ? std::vector<AudioDeviceInfo>() : list();
    if ((filesOnly || !userFile.empty()) && devices.empty())
        listed.push_back({0, "Sound file", kSoundFileDevice});
    for (const AudioDeviceInfo& device : devices) {
        const int index = static_cast<int>(listed.size());
        listed.push_back({index, device.name.empty() ? device.id : device.name + " (" + device.id + ")", device.id});
    }
    return listed;
}

}  // namespace

std::vector<velto_webrtc::rtc_device_> currentCameras()
{
    if (const auto devices = testDevices())
        return devices->cameras;
    std::vector<velto_webrtc::rtc_device_> listed;
    for (const CameraInfo& camera : listCameras())
        listed.push_back({static_cast<int>(listed.size()), camera.name, camera.id});
    return listed;
}

std::vector<velto_webrtc::rtc_device_> currentMicrophones()
{
    if (const auto devices = testDevices())
        return devices->microphones;
    return soundDevices(listAudioSources, userSources().microphoneWav);
}

std::vector<velto_webrtc::rtc_device_> currentSpeakers()
{
    if (const auto devices = testDevices())
        return devices->speakers;
    return soundDevices(listAudioSinks, userSources().playoutWav);
}

bool cameraBusy()
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    return settings().cameraBusy;
}

std::optional<int> forcedResult(const std::string& operation)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    const auto it = settings().forced.find(operation);
    return it == settings().forced.end() ? std::nullopt : std::optional<int>(it->second);
}

void recordCall(const std::string& operation, std::vector<std::string> args, int result)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    std::deque<velto_webrtc_test::EngineCall>& calls = settings().calls;
    if (calls.size() == kCallsKept)
        calls.pop_front();
    calls.push_back({operation, std::move(args), result});
}

void registerEngine(MediaEngine* engine)
{
    std::lock_guard<std::mutex> lock(engines().mutex);
    engines().live.insert(engine);
}

void unregisterEngine(MediaEngine* engine)
{
    std::lock_guard<std::mutex> lock(engines().mutex);
    engines().live.erase(engine);
}

}  // namespace velto_media

namespace velto_webrtc_test {

Devices DefaultDevices()
{
    // Named as the engine names the null sink that tests and CI run, so that
    // the program's name matching joins them to the ones Qt Multimedia lists.
    return {{{0, "Synthetic camera", velto_media::kSyntheticCameraId}},
            {{0, "Monitor of Null Output (vsink.monitor)", "vsink.monitor"}},
            {{0, "Null Output (vsink)", "vsink"}}};
}

void SetDevices(const Devices& devices)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().devices = devices;
}

void SetCameraBusy(bool busy)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().cameraBusy = busy;
}

void ForceResult(const std::string& operation, int result)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().forced[operation] = result;
}

std::vector<EngineCall> Calls()
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    return {settings().calls.begin(), settings().calls.end()};
}

int LiveEngines()
{
    std::lock_guard<std::mutex> lock(engines().mutex);
    return static_cast<int>(engines().live.size());
}

int InjectEvent(const std::function<void(velto_webrtc::velto_media_observer&)>& event)
{
    std::lock_guard<std::mutex> lock(engines().mutex);
    int reached = 0;
    for (velto_media::MediaEngine* engine : engines().live)
        reached += engine->emit(event) ? 1 : 0;
    return reached;
}

bool Flush(std::chrono::milliseconds timeout)
{
    // Markers behind the queued events; an engine that goes away drops its
    // marker, which breaks the promise instead of leaving the wait hanging.
    std::vector<std::future<void>> markers;
    {
        std::lock_guard<std::mutex> lock(engines().mutex);
        for (velto_media::MediaEngine* engine : engines().live) {
            auto delivered = std::make_shared<std::promise<void>>();
            std::future<void> done = delivered->get_future();
            if (engine->post([delivered] { delivered->set_value(); }))
                markers.push_back(std::move(done));
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (std::future<void>& marker : markers)
        if (marker.wait_until(deadline) != std::future_status::ready)
            return false;
    return true;
}

void Reset()
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().devices = DefaultDevices();
    settings().cameraBusy = false;
    settings().forced.clear();
    settings().calls.clear();
}

}  // namespace velto_webrtc_test
