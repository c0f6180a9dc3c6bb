#include "audioiodevice.h"

#include <cstdlib>

qint64 AudioIODevice::readData(char*, qint64 maxSize) { return maxSize; }

qint64 AudioIODevice::writeData(const char* data, qint64 size)
{
    if (size < 4)
        return size;
    for (qint64 i = 0; i < size / 4; ++i) {
        const int sample = static_cast<unsigned char>(data[4 * i]);
        emit sigDBdata(std::abs(sample - 128));
    }
    return size;
}

QAudioFormat pcmFormat(int rate, int channels, int bits, QAudioFormat::SampleType type)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleSize(bits);
    format.setCodec("audio/pcm");
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(type);
    return format;
}

QAudioFormat testSoundFormat() { return pcmFormat(44100, 2, 16, QAudioFormat::SignedInt); }
