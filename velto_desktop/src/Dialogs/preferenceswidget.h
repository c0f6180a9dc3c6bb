#pragma once

#include <QAudio>
#include <QAudioDeviceInfo>
#include <QFile>
#include <QList>
#include <QWidget>

#include <memory>
#include <vector>

#include "VeltoInterface.h"
#include "devicechoice.h"

class PreferencesWidget;
class QAudioOutput;
class QCloseEvent;
class QComboBox;

namespace Ui {
class PreferencesWidget;
}

enum ePreferencePAGE { PREFERENCE_GENERAL = 0, PREFERENCE_AUDIO = 1, PREFERENCE_VIDEO = 2, PREFERENCE_RECORDING = 3 };

// Receives the microphone level on the media engine's thread and only emits
// the window's sigCaptureDataDB, which is queued to the GUI thread.
class AudioDbObserver : public velto_audio_capture_data_db_observer {
public:
    void setPreferenceWidget(PreferencesWidget* widget) { m_widget = widget; }
    void OnCaptureDataDB(int db) override;

private:
    PreferencesWidget* m_widget = nullptr;
};

// The preferences window: general flags, speaker and microphone with their
// tests and level meter, camera with a live preview. Each choice is stored at
// once. A parentless top-level built per use of the menu entry; it deletes
// itself when it closes. GUI thread only, except sigCaptureDataDB (emitted by
// the observer on the engine's thread). While a meeting runs, device choices
// switch the meeting's own devices, and the microphone test shows the level
// of the meeting's capture without changing the engine's work mode.
class PreferencesWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesWidget(QWidget* parent = nullptr);
    ~PreferencesWidget() override;

    void selectedPage(ePreferencePAGE page);
    void showVideo(int row);
    void closeVideo();
    void setAudioMicphoneVolume(int index);
    void setAudioSpeakerVolume(int index);
    void initOutDevice(const QAudioDeviceInfo& device);

signals:
    void sigCaptureDataDB(int db);

public slots:
    void slotTranslatorLanguage();
    // Stores the flag of the box that sent it.
    void slotCheckboxToggle(bool checked);
    // The level meter: one level at a time, GUI thread.
    void slotCaptureDataDB(int db);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectSignals();
    void switchPage(ePreferencePAGE page);
    void fillCameraList();
    void fillMicphoneList();
    void fillSpeakerList();
    void cameraChosen(int row);
    void micphoneChosen(int row);
    void speakerChosen(int row);
    void chooseTestOutput(const velto_webrtc::rtc_device_& speaker);
    void testSpeaker();
    void toggleMicphoneTest();
    void stopMicphoneTest();
    void onTestOutputStateChanged(QAudio::State state);
    // Normal work mode for the user's own tests; left alone during a meeting.
    void setNormalWorkMode();

    Ui::PreferencesWidget* ui;
    ePreferencePAGE m_page = PREFERENCE_GENERAL;
    devicechoice::MicLevelMeter m_levelMeter;
    bool m_previewOn = false;
    rtc_render m_previewRender;
    std::unique_ptr<AudioDbObserver> m_observer;  // from the first microphone test on
    bool m_micphoneTestRunning = false;
    bool m_testStartedRecording = false;  // a test during a meeting that has no capture of its own
    QList<QAudioDeviceInfo> m_outputDevices;
    QAudioOutput* m_testOutput = nullptr;
    QFile m_soundFile;
};
