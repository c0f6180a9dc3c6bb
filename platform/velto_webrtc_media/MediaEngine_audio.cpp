// The engine's sound: the microphone for the meeting and for the level
// meter, the speaker for the meeting, the loopback test and the test sound,
// and the device operations.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <iostream>

#include "MediaEngine.h"
#include "MediaHooks.h"
#include "UserSources.h"
#include "WavFile.h"

namespace velto_media {
namespace {

using velto_webrtc::rtc_device_;

constexpr unsigned int kMaxVolume = 255;

// Set on the capture thread while it reports a level to the observer, which
// may replace itself from there.
thread_local bool reportingLevel = false;

// The speaker test's sound: the path itself when it names a WAV file, else
// the first WAV file (by name) in the folder it names.
std::string testSoundFile(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    if (!S_ISDIR(info.st_mode))
        return path;
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".wav") == 0 ||
                                    name.compare(name.size() - 4, 4, ".WAV") == 0))
                names.push_back(name);
        }
        ::closedir(dir);
    }
    if (names.empty())
        return {};
    return path + "/" + *std::min_element(names.begin(), names.end());
}

}  // namespace

std::unique_ptr<AudioCapture> MediaEngine::openMicrophone()
{
    const UserSources user = userSources();
    if (!user.microphoneWav.empty())
        return openWavCapture(user.microphoneWav);
    if (user.soundFilesOnly)
        return openSilentCapture();
    std::lock_guard<std::mutex> lock(mutex_);
    return openAudioCapture(microphoneId_);
}

bool MediaEngine::microphoneIsAcoustic()
{
    const UserSources user = userSources();
    return user.microphoneWav.empty() && !user.soundFilesOnly;
}

void MediaEngine::updateAudio()
{
    std::lock_guard<std::mutex> audio(audioMutex_);
    if (!capture_)
        return;
    bool wanted = false;
    std::vector<AudioCapturePath::Sender> senders;
    double gain = 1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wanted = recording_;
        for (const auto& [label, stream] : localStreams_) {
            for (const Track& track : stream.tracks) {
                if (track.kind != "audio")
                    continue;
                wanted = true;
                if (track.enabled && answered_ && transport_)
                    senders.push_back({track.ssrc, transport_});
            }
        }
        gain = double(microphoneVolume_) / kMaxVolume;
    }
    capture_->setSenders(std::move(senders));
    capture_->setGain(gain);
    if (wanted && !capture_->isOpen()) {
        if (capture_->open(openMicrophone(), microphoneIsAcoustic()) != 0)
            std::cerr << "velto_webrtc_media: the microphone cannot be opened" << std::endl;
    } else if (!wanted && capture_->isOpen()) {
        capture_->open(nullptr);
    }
}

void MediaEngine::reportLevel(int level)
{
    std::lock_guard<std::mutex> reporting(levelCallMutex_);
    if (velto_audio_capture_data_db_observer* observer = levelObserver_.load()) {
        reportingLevel = true;
        observer->OnCaptureDataDB(level);
        reportingLevel = false;
    }
}

int MediaEngine::SetAudioCaptureDataDBObserver(velto_audio_capture_data_db_observer* observer)
{
    return journaled("SetAudioCaptureDataDBObserver", {arg(observer != nullptr)}, [&] {
        levelObserver_ = observer;  // levels reported from now on go to the new one
        if (!reportingLevel) {
            std::lock_guard<std::mutex> waitForRunningReport(levelCallMutex_);
        }
        return 0;
    });
}

int MediaEngine::SetAudioDeviceWorkMode(AudioDeviceMode mode)
{
    return journaled("SetAudioDeviceWorkMode", {arg(static_cast<int>(mode))}, [&] {
        const bool known = mode == kAudioDeviceNormal || mode == kAudioDeviceLoopback || mode == kAudioDeviceConference;
        if (!known)
            return -1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            mode_ = mode;
        }
        playout_.setLoopback(mode == kAudioDeviceLoopback);
        return 0;
    });
}

int MediaEngine::SetTryAudioSpeekerFileFoldPath(std::string path)
{
    return journaled("SetTryAudioSpeekerFileFoldPath", {path}, [&] {
        if (path.empty())
            return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        speakerTestPath_ = path;
        return 0;
    });
}

int MediaEngine::selectDevice(const char* operation, int index, const std::vector<rtc_device_>& devices,
                              std::string* chosen)
{
    return journaled(operation, {arg(index)}, [&] {
        const auto device =
            std::find_if(devices.begin(), devices.end(), [&](const rtc_device_& d) { return d.index == index; });
        if (device == devices.end())
            return -1;
        *chosen = device->id;
        return 0;
    });
}

int MediaEngine::SetAudioPlayoutDevice(int index)
{
    std::string id;
    const int result = selectDevice("SetAudioPlayoutDevice", index, currentSpeakers(), &id);
    if (result == 0)
        playout_.setDevice(id);
    return result;
}

int MediaEngine::SetAudioRecordDevice(int index)
{
    std::string id;
    const int result = selectDevice("SetAudioRecordDevice", index, currentMicrophones(), &id);
    if (result != 0)
        return result;
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = microphoneId_ != id;
        microphoneId_ = id;
    }
    // A running microphone moves to the new device.
    if (changed) {
        std::lock_guard<std::mutex> audio(audioMutex_);
        if (capture_ && capture_->isOpen())
            capture_->open(openMicrophone(), microphoneIsAcoustic());
    }
    return 0;
}

int MediaEngine::StartAudioPlayout()
{
    return journaled("StartAudioPlayout", {}, [&] {
        if (currentSpeakers().empty())
            return -1;
        std::string testPath;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (shutDown_)
                return -1;
            if (mode_ == kAudioDeviceNormal)
                testPath = speakerTestPath_;
        }
        playout_.setPlaying(true);
        // Outside the microphone test the speaker test plays its sound.
        WavAudio sound;
        const std::string file = testPath.empty() ? std::string() : testSoundFile(testPath);
        if (!file.empty() && readWav(file, &sound))
            playout_.playSound(toMono(sound, kAudioSampleRate));
        return 0;
    });
}

int MediaEngine::StopAudioPlayout()
{
    return journaled("StopAudioPlayout", {}, [&] {
        playout_.setPlaying(false);
        return 0;
    });
}

int MediaEngine::StartAudioRecording()
{
    return journaled("StartAudioRecording", {}, [&] {
        if (currentMicrophones().empty())
            return -1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (shutDown_)
                return -1;
            recording_ = true;
        }
        updateAudio();
        std::lock_guard<std::mutex> audio(audioMutex_);
        if (capture_ && capture_->isOpen())
            return 0;
        std::lock_guard<std::mutex> lock(mutex_);
        recording_ = false;
        return -1;
    });
}

int MediaEngine::StopAudioRecording()
{
    return journaled("StopAudioRecording", {}, [&] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            recording_ = false;
        }
        updateAudio();
        return 0;
    });
}

template <typename T>
int MediaEngine::report(const char* operation, T* out, T value)
{
    return journaled(operation, {}, [&] {
        if (!out)
            return -1;
        *out = value;
        return 0;
    });
}

template <typename T>
T MediaEngine::locked(std::mutex& mutex, const T& field)
{
    std::lock_guard<std::mutex> lock(mutex);
    return field;
}

int MediaEngine::setVolume(const char* operation, unsigned int volume, unsigned int& store)
{
    return journaled(operation, {arg(volume)}, [&] {
        if (volume > kMaxVolume)
            return -1;
        std::lock_guard<std::mutex> lock(mutex_);
        store = volume;
        return 0;
    });
}

int MediaEngine::AudioPlaying(bool* playing)
{
    return report("AudioPlaying", playing, playout_.playing());
}

int MediaEngine::AudioRecording(bool* recording)
{
    return report("AudioRecording", recording, locked(mutex_, recording_));
}

int MediaEngine::MicrophoneVolumeIsAvailable(bool* available)
{
    return report("MicrophoneVolumeIsAvailable", available, true);
}

int MediaEngine::MinMicrophoneVolume(unsigned int* volume)
{
    return report("MinMicrophoneVolume", volume, 0u);
}

int MediaEngine::MaxMicrophoneVolume(unsigned int* volume)
{
    return report("MaxMicrophoneVolume", volume, kMaxVolume);
}

int MediaEngine::SetMicrophoneVolume(unsigned int volume)
{
    const int result = setVolume("SetMicrophoneVolume", volume, microphoneVolume_);
    if (result == 0)
        updateAudio();
    return result;
}

int MediaEngine::MicrophoneVolume(unsigned int* volume)
{
    return report("MicrophoneVolume", volume, locked(mutex_, microphoneVolume_));
}

int MediaEngine::SpeakerVolumeIsAvailable(bool* available)
{
    return report("SpeakerVolumeIsAvailable", available, true);
}

int MediaEngine::MinSpeakerVolume(unsigned int* volume)
{
    return report("MinSpeakerVolume", volume, 0u);
}

int MediaEngine::MaxSpeakerVolume(unsigned int* volume)
{
    return report("MaxSpeakerVolume", volume, kMaxVolume);
}

int MediaEngine::SetSpeakerVolume(unsigned int volume)
{
    const int result = setVolume("SetSpeakerVolume", volume, speakerVolume_);
    if (result == 0)
        playout_.setVolume(double(volume) / kMaxVolume);
    return result;
}

int MediaEngine::SpeakerVolume(unsigned int* volume)
{
    return report("SpeakerVolume", volume, locked(mutex_, speakerVolume_));
}

}  // namespace velto_media
