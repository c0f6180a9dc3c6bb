#pragma once

#include <QAudioFormat>
#include <QIODevice>

// Write-only sink of the device check's microphone capture (8-bit unsigned
// mono): turns every fourth sample into a level 0..128 and emits it. Holds
// nothing; writeData may run on the audio system's thread, so receivers connect
// with the automatic (queued across threads) connection type.
class AudioIODevice : public QIODevice {
    Q_OBJECT
public:
    explicit AudioIODevice(QObject* parent = nullptr) : QIODevice(parent) {}

signals:
    void sigDBdata(int db);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;
};

// The built-in test sound that the speaker tests play: raw PCM, no header.
inline const char* const kTestSoundResource = ":/music/audio_pcm";
// Its format: 44100 Hz, stereo, 16-bit signed little endian.
QAudioFormat testSoundFormat();
// A linear PCM format.
QAudioFormat pcmFormat(int rate, int channels, int bits, QAudioFormat::SampleType type);
