// One local video track: its source (camera, picture or screen), the
// encoder thread that draws each picture into the stream's renders, encodes
// it (VP8) and sends it (RTP over the transport, when there is one), and the
// track's switches.
//
// The source hands over only its newest picture (a queue of one: an encoder
// that falls behind skips pictures instead of falling further behind).
// Disabled, the source is stopped and a black picture is drawn and sent once
// a second, so that the others see black and a late receiver gets one too.
// stop() joins the encoder thread; nothing is drawn or sent afterwards.
//
// What its receivers report lost sets the bitrate (and a screen's frame
// rate) below the asked one (RateController); pictures beyond that frame
// rate are drawn but not sent.
//
// A still screen is not encoded again and again: a picture its source marks
// unchanged is sent only while the one before is still being sharpened
// (libvpx starts a detailed picture coarse and refines it over the next
// frames), when a receiver asks for a keyframe, and once a second, so that
// the receivers' reports, statistics and sender reports go on and a picture
// lost on the way is healed within a second.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "FrameFanout.h"
#include "RateController.h"
#include "VideoSource.h"
#include "Vp8Encoder.h"

namespace velto_media {

class MediaTransport;

class LocalVideoTrack {
public:
    struct Settings {
        uint32_t ssrc = 0;
        bool screen = false;
        int width = 640;   // the largest picture sent; larger ones are scaled down to fit
        int height = 360;
        int fps = 15;
        int bitrateKbps = 512;
    };

    LocalVideoTrack(const Settings& settings, std::unique_ptr<VideoSource> source,
                    std::shared_ptr<FrameFanout> renders);
    ~LocalVideoTrack();
    LocalVideoTrack(const LocalVideoTrack&) = delete;
    LocalVideoTrack& operator=(const LocalVideoTrack&) = delete;

    // Starts the source and the encoder thread; the source's result (-3: the
    // camera is held elsewhere), and nothing runs when it is not 0.
    int start();
    // Draws black into the renders, then ends the encoder thread and the source.
    void stop();

    void setEnabled(bool enabled);
    bool enabled() const;
    void setTransport(std::shared_ptr<MediaTransport> transport);
    void setFormat(int width, int height, int fps);
    // The most it sends (SetMediaBitrate's value).
    void setBitrate(int kbps);
    // A receiver's report block on this stream (any thread).
    void onLossReport(uint32_t reporter, uint8_t fractionLost, int64_t nowMs);
    void requestKeyframe() { encoder_.requestKeyframe(); }
    uint32_t ssrc() const { return settings_.ssrc; }
    bool screen() const { return settings_.screen; }
    // The size of the pictures it sends (or would), 0 before the first.
    void size(int* width, int* height) const;

private:
    void run();
    void process(const VideoFramePtr& frame, const std::shared_ptr<MediaTransport>& transport);
    VideoFramePtr fitted(const VideoFramePtr& frame) const;
    // Whether a picture the same as the last one is worth sending now.
    bool stillPictureWanted(std::chrono::steady_clock::time_point now) const;
    int startSource();
    // The encoder and the frame rate follow the rate controller; needs mutex_.
    void applyRateLocked();

    Settings settings_;
    const std::unique_ptr<VideoSource> source_;
    const std::shared_ptr<FrameFanout> renders_;
    Vp8Encoder encoder_;
    uint16_t pictureId_ = 0;
    uint32_t timestampOffset_ = 0;

    mutable std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;
    VideoFramePtr pending_;
    std::shared_ptr<MediaTransport> transport_;
    bool enabled_ = true;
    bool stopping_ = false;
    int sentWidth_ = 0;
    int sentHeight_ = 0;
    std::chrono::steady_clock::time_point nextBlack_;
    // Encoder thread: when the last picture went out; whether the last new
    // picture is still being sharpened, and until when at most.
    std::chrono::steady_clock::time_point lastSent_;
    std::chrono::steady_clock::time_point refineUntil_;
    bool refining_ = false;
    RateController rate_;
    int sendingFps_;  // at most settings_.fps
    PictureThinner thinner_;
    std::thread thread_;
};

}  // namespace velto_media
