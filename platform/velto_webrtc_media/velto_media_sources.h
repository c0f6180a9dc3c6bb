// Files that the user of the media engine gives in place of its devices, and
// the name its synthetic camera shows. Process-wide: they hold for every
// engine of the process from the next device it opens.
#pragma once

#include <string>

#define VELTO_MEDIA_EXPORT __attribute__((visibility("default")))

namespace velto_media {

struct UserSources {
    std::string cameraImage;    // PNG sent instead of any camera
    std::string microphoneWav;  // WAV sent (looped) instead of any microphone
    std::string playoutWav;     // everything played out is written here too (48 kHz mono)
    // No sound device is opened: the microphone is the WAV file (silence
    // without one), the speaker only the playout file (nothing without one).
    bool soundFilesOnly = false;
};

VELTO_MEDIA_EXPORT void setUserSources(const UserSources& sources);

// The local user's display name, shown on the synthetic camera's picture.
VELTO_MEDIA_EXPORT void setLocalUserName(const std::string& name);

}  // namespace velto_media
