// velto_webrtc_interface::createNew: the engine lives in a module of its own
// (libvelto_media_engine.so, beside this library), opened on the first
// engine made, so that the codecs and device libraries it needs are not
// loaded while the program starts.
#include <dlfcn.h>

#include <iostream>
#include <mutex>
#include <string>

#include "velto_webrtc_interface.h"

namespace {

using CreateEngine = velto_webrtc_interface* (*)();

CreateEngine loadEngine()
{
    static std::once_flag once;
    static CreateEngine create = nullptr;
    std::call_once(once, [] {
        Dl_info self{};
        std::string directory;
        if (dladdr(reinterpret_cast<void*>(&velto_webrtc_interface::createNew), &self) && self.dli_fname) {
            directory = self.dli_fname;
            directory.erase(directory.find_last_of('/') + 1);
        }
        const std::string path = directory + "libvelto_media_engine.so";
        // Kept open for the life of the process: engines and their threads
        // may come and go many times.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            std::cerr << "velto_webrtc_media: the media engine cannot be loaded: " << dlerror() << std::endl;
            return;
        }
        create = reinterpret_cast<CreateEngine>(dlsym(module, "velto_media_create_engine"));
        if (!create)
            std::cerr << "velto_webrtc_media: " << path << " is no media engine" << std::endl;
    });
    return create;
}

}  // namespace

velto_webrtc_interface* velto_webrtc_interface::createNew()
{
    const CreateEngine create = loadEngine();
    return create ? create() : nullptr;
}
