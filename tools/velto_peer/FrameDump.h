// A render target that writes the pictures of one remote stream as PNG
// files, at most one a second: DIR/<label>-<n>.png, n counting from 1.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "WindowlessRender.h"

class FrameDump final : public WindowlessRender {
public:
    FrameDump(std::string directory, std::string label);

    void lockBuffer() override { mutex_.lock(); }
    unsigned char* getDataBuffer(int w, int h) override;
    void unlockBuffer() override { mutex_.unlock(); }
    void PlayOneFrame(const unsigned char* frame, int w, int h) override;

    void getWinSize(int* w, int* h) override { *w = width_, *h = height_; }
    using WindowlessRender::PlayOneFrame;

private:
    const std::string directory_;
    const std::string label_;
    std::mutex mutex_;
    std::vector<unsigned char> buffer_;
    int width_ = 0;
    int height_ = 0;
    int written_ = 0;
    std::chrono::steady_clock::time_point lastWrite_{};
};

// Writes `argb` (alpha, red, green, blue bytes) as an RGB PNG file.
bool writePng(const std::string& path, const unsigned char* argb, int width, int height);
