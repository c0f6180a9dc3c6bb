#include "velto_webrtc_test_hooks.h"

#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "MediaHooks.h"

namespace {

// Settings and journal: short critical sections, never held while an engine
// is called.
struct Settings {
    std::mutex mutex;
    std::optional<velto_webrtc_test::Devices> devices;  // none: the system's
    bool cameraBusy = false;
    std::map<std::string, int> forced;
    velto_webrtc_test::PacketFilter packetFilter;
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
    std::set<velto_media::HookedEngine*> live;
};

Engines& engines()
{
    static Engines instance;
    return instance;
}

}  // namespace

namespace velto_media {
namespace {

// What the engines ask of the settings and the live set.
class Hooks final : public HookState {
public:
    std::optional<velto_webrtc_test::Devices> devices() override
    {
        std::lock_guard<std::mutex> lock(settings().mutex);
        return settings().devices;
    }

    bool cameraBusy() override
    {
        std::lock_guard<std::mutex> lock(settings().mutex);
        return settings().cameraBusy;
    }

    velto_webrtc_test::PacketFilter packetFilter() override
    {
        std::lock_guard<std::mutex> lock(settings().mutex);
        return settings().packetFilter;
    }

    std::optional<int> forcedResult(const std::string& operation) override
    {
        std::lock_guard<std::mutex> lock(settings().mutex);
        const auto it = settings().forced.find(operation);
        return it == settings().forced.end() ? std::nullopt : std::optional<int>(it->second);
    }

    void recordCall(const std::string& operation, std::vector<std::string> args, int result) override
    {
        std::lock_guard<std::mutex> lock(settings().mutex);
        std::deque<velto_webrtc_test::EngineCall>& calls = settings().calls;
        if (calls.size() == kCallsKept)
            calls.pop_front();
        calls.push_back({operation, std::move(args), result});
    }

    void registerEngine(HookedEngine* engine) override
    {
        std::lock_guard<std::mutex> lock(engines().mutex);
        engines().live.insert(engine);
    }

    void unregisterEngine(HookedEngine* engine) override
    {
        std::lock_guard<std::mutex> lock(engines().mutex);
        engines().live.erase(engine);
    }
};

}  // namespace
}  // namespace velto_media

// Found by the engine module by name (MediaHooks.h); never destroyed, as
// engines may outlive the test's own statics.
extern "C" __attribute__((visibility("default"))) velto_media::HookState* velto_webrtc_test_hook_state()
{
    static velto_media::Hooks* const hooks = new velto_media::Hooks();
    return hooks;
}

namespace velto_webrtc_test {

Devices DefaultDevices()
{
    // The synthetic camera by the device layer's id; the null sink that tests
    // and CI run named as the engine names sound devices, so that the
    // program's name matching joins them to the ones Qt Multimedia lists.
    return {{{0, "Synthetic camera", "synthetic"}},
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
    for (velto_media::HookedEngine* engine : engines().live)
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
        for (velto_media::HookedEngine* engine : engines().live) {
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

std::string RenderedLabel(const void* target)
{
    std::lock_guard<std::mutex> lock(engines().mutex);
    for (velto_media::HookedEngine* engine : engines().live) {
        std::string label = engine->renderedLabel(target);
        if (!label.empty())
            return label;
    }
    return {};
}

std::vector<StreamCounters> Streams()
{
    std::vector<StreamCounters> streams;
    std::lock_guard<std::mutex> lock(engines().mutex);
    for (velto_media::HookedEngine* engine : engines().live) {
        std::vector<StreamCounters> counted = engine->streamCounters();
        streams.insert(streams.end(), counted.begin(), counted.end());
    }
    return streams;
}

void SetPacketFilter(PacketFilter filter)
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().packetFilter = std::move(filter);
}

void Reset()
{
    std::lock_guard<std::mutex> lock(settings().mutex);
    settings().packetFilter = nullptr;
    settings().devices = DefaultDevices();
    settings().cameraBusy = false;
    settings().forced.clear();
    settings().calls.clear();
}

}  // namespace velto_webrtc_test
