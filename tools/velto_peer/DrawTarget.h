// A render target that takes each picture as a window would and shows it
// nowhere: with --stats every received stream is drawn, so that what the
// peer costs and counts is what a program showing the stream would.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "WindowlessRender.h"

class DrawTarget : public WindowlessRender {
public:
    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override
    {
        if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide)
            return nullptr;
        width_ = w;
        height_ = h;
        buffer_.resize(static_cast<std::size_t>(w) * h * 4);
        return buffer_.data();
    }
    void unlockBuffer() override { mutex_.unlock(); }
    void PlayOneFrame(const unsigned char*, int, int) override {}

    void getWinSize(int* w, int* h) override { *w = width_, *h = height_; }
    using WindowlessRender::PlayOneFrame;

protected:
    static constexpr int kMaxSide = 8192;

    std::mutex mutex_;  // held while the engine writes buffer_
    std::vector<unsigned char> buffer_;
    int width_ = 0;
    int height_ = 0;
};
