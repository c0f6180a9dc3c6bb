// The engine's side of the user's files (velto_media_sources.h): what its
// devices and playout read of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "AudioDevice.h"
#include "velto_media_sources.h"

namespace velto_media {

UserSources userSources();
// The id of the device that stands for the user's file when the sound server has none.
constexpr const char* kSoundFileDevice = "sound-file";
std::string localUserName();

// Called by the playout with every block it plays.
void recordPlayout(const int16_t* samples, int count);

// A microphone that plays a WAV file in a loop, in real time, in 20 ms
// blocks on a thread of its own; null when the file is no readable WAV.
std::unique_ptr<AudioCapture> openWavCapture(const std::string& path);
// A microphone that hears nothing, in the same rhythm.
std::unique_ptr<AudioCapture> openSilentCapture();

}  // namespace velto_media
