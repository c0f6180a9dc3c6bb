#include "MediaHooks.h"

#include <dlfcn.h>

namespace velto_media {

HookState* hookState()
{
    // Searched in the whole process rather than linked: the module and the
    // libraries programs load hold no hooks, only a test library linked into
    // a test does. Looked up with the first engine; a library loaded later is
    // not seen.
    static HookState* const state = [] {
        using GetState = HookState* (*)();
        const auto get = reinterpret_cast<GetState>(dlsym(RTLD_DEFAULT, kHookStateSymbol));
        return get ? get() : nullptr;
    }();
    return state;
}

}  // namespace velto_media
