// The ring tone as the user hears it: an incoming call window plays it into
// the test command's PulseAudio null sink, read back from "vsink.monitor".
// Alone on the sink (the tests run serially), so silence means silence.
#include "AppTestSupport.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QIODevice>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "Dialogs/ringcallwidget.h"
#include "Tools/musicplayer.h"

using namespace velto::test;

namespace {

// Records the null sink's monitor; peak() is the loudest sample read since
// the last call, as a share of full scale.
class SinkRecorder {
public:
    bool start()
    {
        for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioInput)) {
            if (device.deviceName() != "vsink.monitor")
                continue;
            QAudioFormat format;
            format.setSampleRate(22050);
            format.setChannelCount(1);
            format.setSampleSize(16);
            format.setSampleType(QAudioFormat::SignedInt);
            format.setByteOrder(QAudioFormat::LittleEndian);
            format.setCodec("audio/pcm");
            m_input = std::make_unique<QAudioInput>(device, format);
            m_source = m_input->start();
            return m_source != nullptr;
        }
        return false;
    }

    // Reads for `ms` milliseconds, or until the peak exceeds `enough`.
    double listen(int ms, double enough = 2.0)
    {
        double peak = 0;
        waitUntil(
            [&] {
                const QByteArray bytes = m_source->readAll();
                const auto* samples = reinterpret_cast<const qint16*>(bytes.constData());
                for (int i = 0; i < bytes.size() / 2; ++i)
                    peak = std::max(peak, std::abs(int(samples[i])) / 32768.0);
                return peak > enough;
            },
            ms);
        return peak;
    }

private:
    std::unique_ptr<QAudioInput> m_input;
    QIODevice* m_source = nullptr;
};

class RingToneSound : public AppTest {};

}  // namespace

TEST_F(RingToneSound, IncomingCallRingsIntoTheSpeakerUntilItsWindowCloses)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the PulseAudio null sink of scripts/test.sh";
    SinkRecorder sink;
    ASSERT_TRUE(sink.start()) << "no vsink.monitor on the test command's PulseAudio";
    constexpr double kSilence = 0.01;
    ASSERT_LT(sink.listen(500), kSilence) << "the sink is quiet before the call";

    auto* call = new RingCallWidget("bob@msg.example/pc7", "", 1, "Bob Martin", "");
    call->showWidget();
    // The tone loops every 2.5 s and starts with a ring.
    EXPECT_GT(sink.listen(3000, 0.05), 0.05) << "the ring tone reached the speaker";

    call->close();
    EXPECT_FALSE(MusicPlayer::Instance()->isActive());
    sink.listen(500);  // what was on its way when it stopped
    EXPECT_LT(sink.listen(2600), kSilence) << "silent once the window closed, for a whole turn of the tone";
}
