// The preferences' audio page: speaker and microphone choice, volumes, the
// speaker test through Qt Multimedia and the engine's microphone loopback test
// with its level meter.
#include "preferenceswidget.h"
#include "ui_preferenceswidget.h"

#include <QAudioOutput>
#include <QDebug>

#include "audioiodevice.h"
#include "cglobalinstance.h"
#include "Tools/settings.h"

namespace {

void storeAudioDevice(const QString& group, const velto_webrtc::rtc_device_& device)
{
    Settings settings;
    settings.setValue(group + "/index", device.index);
    settings.setValue(group + "/name", QString::fromStdString(device.name));
}

// Fills the box with the engine's devices (row = engine index, item data =
// list position) and returns the position of the stored device, or of the
// first one (stored now) when the stored one is gone; -1 for an empty list,
// which disables the test button.
int fillEngineDevices(QComboBox* box, const std::vector<velto_webrtc::rtc_device_>& devices, const QString& group,
                      QAbstractButton* test)
{
    Settings settings;
    const std::string storedName = settings.value(group + "/name").toStdString();
    const int storedIndex = settings.intValue(group + "/index");
    int matched = -1;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (matched < 0 && devices[i].name == storedName) {
            matched = int(i);
            if (devices[i].index != storedIndex)
                settings.setValue(group + "/index", devices[i].index);
        }
        box->insertItem(devices[i].index, QString::fromStdString(devices[i].name), int(i));
    }
    if (devices.empty()) {
        test->setEnabled(false);
        return -1;
    }
    if (matched < 0) {
        settings.setValue(group + "/index", devices.front().index);
        settings.setValue(group + "/name", QString::fromStdString(devices.front().name));
        matched = 0;
    }
    return matched;
}

// One of the engine's two audio directions, as the volume sliders use it.
struct EngineDirection {
    int (VeltoInterface::*running)(bool*);
    int (VeltoInterface::*stop)();
    int (VeltoInterface::*start)();
    int (VeltoInterface::*select)(int);
    int (VeltoInterface::*available)(bool*);
    int (VeltoInterface::*minimum)(unsigned int*);
    int (VeltoInterface::*maximum)(unsigned int*);
    int (VeltoInterface::*volume)(unsigned int*);
    const char* log;
};

const EngineDirection kRecording{&VeltoInterface::AudioRecording,
                                 &VeltoInterface::StopAudioRecording,
                                 &VeltoInterface::StartAudioRecording,
                                 &VeltoInterface::SetAudioRecordDevice,
                                 &VeltoInterface::MicrophoneVolumeIsAvailable,
                                 &VeltoInterface::MinMicrophoneVolume,
                                 &VeltoInterface::MaxMicrophoneVolume,
                                 &VeltoInterface::MicrophoneVolume,
                                 "setAudioMicphoneVolume=="};
const EngineDirection kPlayout{&VeltoInterface::AudioPlaying,
                               &VeltoInterface::StopAudioPlayout,
                               &VeltoInterface::StartAudioPlayout,
                               &VeltoInterface::SetAudioPlayoutDevice,
                               &VeltoInterface::SpeakerVolumeIsAvailable,
                               &VeltoInterface::MinSpeakerVolume,
                               &VeltoInterface::MaxSpeakerVolume,
                               &VeltoInterface::SpeakerVolume,
                               "setAudioSpeakerVolume== "};

// Shows the engine's volume range and value of a direction on the slider
// (without sending it back).
void showEngineVolume(const EngineDirection& direction, QSlider* slider)
{
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    bool available = false;
    if ((sdk->*direction.available)(&available) < 0 || !available)
        return;
    unsigned minimum = 0, maximum = 255, value = 0;
    (sdk->*direction.minimum)(&minimum);
    (sdk->*direction.maximum)(&maximum);
    (sdk->*direction.volume)(&value);
    const QSignalBlocker quiet(slider);
    slider->setRange(int(minimum), int(maximum));
    slider->setValue(int(value));
    qDebug() << direction.log << minimum << "," << maximum << "," << value;
}

// Selects the engine device `index` for a direction and shows its volume. A
// direction that runs is stopped for the switch and, during a meeting, started
// again at once: the meeting goes on with the chosen device.
void selectEngineDevice(const EngineDirection& direction, int index, QSlider* slider)
{
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    if (!sdk)
        return;
    bool running = false;
    if ((sdk->*direction.running)(&running) >= 0 && running)
        (sdk->*direction.stop)();
    (sdk->*direction.select)(index);
    if (running && CGlobalInstance::isJoinConference)
        (sdk->*direction.start)();
    showEngineVolume(direction, slider);
}

}  // namespace

void AudioDbObserver::OnCaptureDataDB(int db)
{
    if (m_widget)
        emit m_widget->sigCaptureDataDB(db);
}

void PreferencesWidget::fillMicphoneList()
{
    const auto& microphones = CGlobalInstance::audio_record_devices;
    const int chosen = fillEngineDevices(ui->micphoneComboBox, microphones, "/Micphone", ui->btnTestMicphone);
    if (chosen < 0)
        return;
    // A running meeting already uses the stored devices: nothing to switch.
    if (CGlobalInstance::isJoinConference && CGlobalInstance::veltoSdk)
        showEngineVolume(kRecording, ui->micphoneVolumeHorizontalSlider);
    else
        setAudioMicphoneVolume(microphones[size_t(chosen)].index);
    ui->micphoneComboBox->setCurrentIndex(ui->micphoneComboBox->findData(chosen));
}

void PreferencesWidget::fillSpeakerList()
{
    const auto& speakers = CGlobalInstance::audio_playout_devices;
    const int chosen = fillEngineDevices(ui->speakerComboBox, speakers, "/Speaker", ui->btnTestSpeaker);
    if (chosen < 0)
        return;
    chooseTestOutput(speakers[size_t(chosen)]);
    if (CGlobalInstance::isJoinConference && CGlobalInstance::veltoSdk)
        showEngineVolume(kPlayout, ui->speakerVolumeHorizontalSlider);
    else
        setAudioSpeakerVolume(speakers[size_t(chosen)].index);
    ui->speakerComboBox->setCurrentIndex(ui->speakerComboBox->findData(chosen));
}

void PreferencesWidget::chooseTestOutput(const velto_webrtc::rtc_device_& speaker)
{
    QStringList names;
    for (const QAudioDeviceInfo& output : m_outputDevices)
        names << output.deviceName();
    const int found = devicechoice::findSystemDevice(names, speaker.name);
    if (found >= 0)
        initOutDevice(m_outputDevices[found]);
}

void PreferencesWidget::initOutDevice(const QAudioDeviceInfo& device)
{
    if (m_testOutput) {
        m_testOutput->stop();
        ui->btnTestSpeaker->setEnabled(true);
        delete m_testOutput;
        m_testOutput = nullptr;
        if (m_soundFile.isOpen())
            m_soundFile.close();
    }
    m_testOutput = new QAudioOutput(device, testSoundFormat(), this);
    connect(m_testOutput, &QAudioOutput::stateChanged, this, &PreferencesWidget::onTestOutputStateChanged);
    const int volume = int(m_testOutput->volume() * 100);
    ui->speakerVolumeHorizontalSlider->setValue(volume == 0 ? 100 : volume);
}


void PreferencesWidget::setAudioMicphoneVolume(int index)
{
    selectEngineDevice(kRecording, index, ui->micphoneVolumeHorizontalSlider);
}

void PreferencesWidget::setAudioSpeakerVolume(int index)
{
    selectEngineDevice(kPlayout, index, ui->speakerVolumeHorizontalSlider);
}

void PreferencesWidget::speakerChosen(int row)
{
    const auto& speakers = CGlobalInstance::audio_playout_devices;
    const int position = devicechoice::positionFromItemData(ui->speakerComboBox->itemData(row), speakers.size());
    if (position < 0)
        return;
    const velto_webrtc::rtc_device_& speaker = speakers[size_t(position)];
    chooseTestOutput(speaker);
    setAudioSpeakerVolume(speaker.index);
    storeAudioDevice("/Speaker", speaker);
}

void PreferencesWidget::micphoneChosen(int row)
{
    const auto& microphones = CGlobalInstance::audio_record_devices;
    const int position = devicechoice::positionFromItemData(ui->micphoneComboBox->itemData(row), microphones.size());
    if (position < 0)
        return;
    stopMicphoneTest();
    setAudioMicphoneVolume(microphones[size_t(position)].index);
    storeAudioDevice("/Micphone", microphones[size_t(position)]);
}

void PreferencesWidget::testSpeaker()
{
    if (!m_testOutput)
        return;
    ui->btnTestSpeaker->setEnabled(false);
    m_soundFile.setFileName(kTestSoundResource);
    m_soundFile.open(QIODevice::ReadOnly);
    m_testOutput->start(&m_soundFile);
}

void PreferencesWidget::onTestOutputStateChanged(QAudio::State state)
{
    if (state != QAudio::IdleState)
        return;
    m_testOutput->stop();
    ui->btnTestSpeaker->setEnabled(true);
    m_soundFile.close();
}

void PreferencesWidget::toggleMicphoneTest()
{
    if (m_micphoneTestRunning) {
        stopMicphoneTest();
        return;
    }
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    if (!sdk)
        return;
    ui->micphoneLevelProgressBar->setValue(0);
    if (!m_observer) {
        m_observer = std::make_unique<AudioDbObserver>();
        m_observer->setPreferenceWidget(this);
    }
    sdk->SetAudioCaptureDataDBObserver(m_observer.get());
    if (CGlobalInstance::isJoinConference) {
        // The meeting owns the engine's microphone and speaker and their work
        // mode: the test only shows the level, and captures only if the
        // meeting does not already.
        bool recording = false;
        m_testStartedRecording =
            sdk->AudioRecording(&recording) >= 0 && !recording && sdk->StartAudioRecording() >= 0;
    } else {
        sdk->SetAudioDeviceWorkMode(kAudioDeviceLoopback);
        sdk->StartAudioRecording();
        sdk->StartAudioPlayout();
    }
    m_micphoneTestRunning = true;
    ui->btnTestMicphone->setText(tr("Stop Test"));
}

void PreferencesWidget::stopMicphoneTest()
{
    if (!m_micphoneTestRunning)
        return;
    m_micphoneTestRunning = false;
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    if (sdk) {
        // No level after the test: the meeting may go on capturing.
        sdk->SetAudioCaptureDataDBObserver(nullptr);
        if (CGlobalInstance::isJoinConference) {
            if (m_testStartedRecording)
                sdk->StopAudioRecording();
        } else {
            bool running = false;
            if (sdk->AudioRecording(&running) >= 0 && running)
                sdk->StopAudioRecording();
            running = false;
            if (sdk->AudioPlaying(&running) >= 0 && running)
                sdk->StopAudioPlayout();
            sdk->SetAudioDeviceWorkMode(kAudioDeviceNormal);
        }
    }
    m_testStartedRecording = false;
    ui->btnTestMicphone->setText(tr("Test Micphone"));
    ui->micphoneLevelProgressBar->setValue(0);
}

void PreferencesWidget::slotCaptureDataDB(int db)
{
    const int value = m_levelMeter.add(db);
    if (value >= 0)
        ui->micphoneLevelProgressBar->setValue(value);
}
