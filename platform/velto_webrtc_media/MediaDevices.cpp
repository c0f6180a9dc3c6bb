// The devices the engine lists: the device layer's cameras and sound
// devices, with the user's files where they stand in, unless a test set its
// own (velto_webrtc_test::SetDevices).
#include "AudioDevice.h"
#include "MediaHooks.h"
#include "UserSources.h"
#include "VideoSource.h"

namespace velto_media {
namespace {

// A sound device as listed: its description with its system name after it,
// so that the program finds the device its own sound library names.
std::vector<velto_webrtc::rtc_device_> soundDevices(std::vector<AudioDeviceInfo> (*list)(), const std::string& userFile)
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

}  // namespace velto_media
