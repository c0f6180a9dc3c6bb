// The peer's statistics file (--stats): what it received, stream by stream,
// as the engine counted it (velto_media_statistics.h), and what the peer
// itself cost, written as one JSON object when it leaves a meeting:
//
//   {"streams": [{"ssrc", "kind", "seconds", "frames_decoded", "fps",
//                 "longest_freeze_ms", "keyframes", "nacks_sent", "plis_sent",
//                 "packets_lost", "packets_recovered", "frames_from_fec",
//                 "frames_concealed"}...],
//    "cpu_percent", "max_rss_mib"}
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "WindowlessRender.h"

// A render target that takes each picture as a window would and shows it
// nowhere: with --stats every received stream is drawn, so that what the
// peer costs and counts is what a program showing the stream would.
class DrawTarget final : public WindowlessRender {
public:
    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override;
    void unlockBuffer() override { mutex_.unlock(); }
    void PlayOneFrame(const unsigned char*, int, int) override {}

    void getWinSize(int* w, int* h) override { *w = width_, *h = height_; }
    using WindowlessRender::PlayOneFrame;

private:
    std::mutex mutex_;
    std::vector<unsigned char> buffer_;
    int width_ = 0;
    int height_ = 0;
};

// Writes the statistics of every stream received so far and of this process,
// which has run since `started`, into `path` (replaced whole); false when
// the file cannot be written.
bool writeStatsFile(const std::string& path, std::chrono::steady_clock::time_point started);
