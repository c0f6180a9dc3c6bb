// A render target that writes the pictures of one remote stream as PNG
// files, at most one a second: DIR/<label>-<n>.png, n counting from 1.
#pragma once

#include <chrono>
#include <string>

#include "DrawTarget.h"

class FrameDump final : public DrawTarget {
public:
    FrameDump(std::string directory, std::string label);

    void PlayOneFrame(const unsigned char* frame, int w, int h) override;
    using DrawTarget::PlayOneFrame;

private:
    const std::string directory_;
    const std::string label_;
    int written_ = 0;
    std::chrono::steady_clock::time_point lastWrite_{};
};

// Writes `argb` (alpha, red, green, blue bytes) as an RGB PNG file.
bool writePng(const std::string& path, const unsigned char* argb, int width, int height);
