// The user's files and name (velto_media_sources.h): process-wide, in the
// loader library, so that they can be set before any engine is loaded.
#include <mutex>

#include "velto_media_sources.h"

namespace velto_media {
namespace {

struct State {
    std::mutex mutex;
    UserSources sources;
    std::string userName;
};

State& state()
{
    static State instance;
    return instance;
}

}  // namespace

void setUserSources(const UserSources& sources)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().sources = sources;
}

UserSources userSources()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().sources;
}

void setLocalUserName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(state().mutex);
    state().userName = name;
}

std::string localUserName()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().userName;
}

}  // namespace velto_media
