// Measures for media tests: how close a picture came through, and what
// frequency a sound has.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace media_test {

// Peak signal-to-noise ratio in dB of two pictures of the same size given
// as alpha, red, green, blue bytes (alpha ignored); 99 when identical.
inline double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 0)
            continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
        ++count;
    }
    if (sum == 0)
        return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

// The frequency (Hz, to 10 Hz) where `samples` carry the most energy,
// searched from 100 Hz to 4 kHz.
inline int dominantFrequency(const std::vector<int16_t>& samples, int sampleRate)
{
    int best = 0;
    double bestPower = 0;
    for (int frequency = 100; frequency <= 4000; frequency += 10) {
        const double w = 2 * M_PI * frequency / sampleRate;
        const double c = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (int16_t sample : samples) {
            const double s0 = sample + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

// Root mean square of `samples`, full scale 32768.
inline double rms(const std::vector<int16_t>& samples)
{
    if (samples.empty())
        return 0;
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

// A sine of `frequency` Hz and amplitude `amplitude`, `count` samples.
inline std::vector<int16_t> tone(int frequency, int sampleRate, size_t count, double amplitude = 8000)
{
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * frequency * double(i) / sampleRate));
    return samples;
}

// A picture with edges, gradients and flat areas, in the renderer's byte
// order (alpha, red, green, blue), so that a codec has something to do.
inline std::vector<uint8_t> testPicture(int width, int height, int seed = 0)
{
    std::vector<uint8_t> argb(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &argb[(size_t(y) * width + x) * 4];
            const bool box = x > width / 4 + seed && x < width / 2 + seed && y > height / 4 && y < height * 3 / 4;
            p[0] = 0xff;
            p[1] = box ? 230 : uint8_t(x * 255 / width);
            p[2] = box ? 40 : uint8_t(y * 255 / height);
            p[3] = uint8_t(((x / 16 + y / 16) % 2) ? 200 : 60);
        }
    }
    return argb;
}

// Writes `samples` as a 16-bit mono WAV file.
inline bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate)
{
    std::ofstream out(path, std::ios::binary);
    const auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>(value >> (8 * i)));
    };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put(36 + data, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(static_cast<uint32_t>(sampleRate), 4);
    put(static_cast<uint32_t>(sampleRate * 2), 4);
    put(2, 2);
    put(16, 2);
    out.write("data", 4);
    put(data, 4);
    for (int16_t sample : samples)
        put(static_cast<uint16_t>(sample), 2);
    return static_cast<bool>(out);
}

}  // namespace media_test
