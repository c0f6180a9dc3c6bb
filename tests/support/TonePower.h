// Measuring one tone among others in 48 kHz mono blocks, for the audio tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velto::test {

// The power of one frequency in a block (Goertzel over a Hann window, so that
// the other tone and the syllables' edges do not leak in), full-scale sine = 1.
inline double tonePower(const int16_t* samples, int count, double hz, int sampleRate = 48000)
{
    const double c = 2 * std::cos(2 * M_PI * hz / sampleRate);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (int i = 0; i < count; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / count);
        windowSum += w;
        const double s0 = w * samples[i] / 32768.0 + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double amplitude = 2 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / windowSum;
    return amplitude * amplitude;
}

inline double db(double power) { return 10 * std::log10(power + 1e-20); }

}  // namespace velto::test
