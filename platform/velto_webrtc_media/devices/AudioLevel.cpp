#include <algorithm>
#include <cmath>

#include "AudioDevice.h"

namespace velto_media {

double blockLevelDb(const int16_t* samples, int count)
{
    if (!samples || count <= 0)
        return -100.0;
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    double rms = std::sqrt(sum / count) / 32768.0;
    return rms <= 1e-5 ? -100.0 : std::max(-100.0, 20.0 * std::log10(rms));
}

}  // namespace velto_media
