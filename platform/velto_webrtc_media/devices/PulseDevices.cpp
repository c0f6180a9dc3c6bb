// The sound server's sources and sinks, asked for over a short-lived connection.
#include <chrono>

#include "AudioDevice.h"
#include "PulseConnection.h"

namespace velto_media {

namespace {

constexpr std::chrono::milliseconds kTimeout{2000};

struct Listing {
    PulseConnection* connection;
    std::vector<AudioDeviceInfo> devices;
    bool done = false;
};

template <typename Info>
void collect(pa_context*, const Info* info, int eol, void* userdata)
{
    auto listing = static_cast<Listing*>(userdata);
    if (eol) {
        listing->done = true;
        listing->connection->signal();
        return;
    }
    if (info)
        listing->devices.push_back({info->name ? info->name : "", info->description ? info->description : ""});
}

template <typename Start>
std::vector<AudioDeviceInfo> list(Start start)
{
    PulseConnection connection;
    if (!connection.connect("velto device list", kTimeout))
        return {};
    PulseLock lock(connection);
    Listing listing{&connection, {}};
    pa_operation* operation = start(connection.context(), &listing);
    if (!operation)
        return {};
    bool done = connection.wait([&] { return listing.done; }, kTimeout);
    // Cancelled so that a late answer finds no callback (`listing` dies here).
    pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return done ? listing.devices : std::vector<AudioDeviceInfo>();
}

}  // namespace

std::vector<AudioDeviceInfo> listAudioSources()
{
    return list([](pa_context* context, Listing* listing) {
        return pa_context_get_source_info_list(context, collect<pa_source_info>, listing);
    });
}

std::vector<AudioDeviceInfo> listAudioSinks()
{
    return list([](pa_context* context, Listing* listing) {
        return pa_context_get_sink_info_list(context, collect<pa_sink_info>, listing);
    });
}

}  // namespace velto_media
