#pragma once

#include <QAudioDeviceInfo>
#include <QAudioFormat>
#include <QAudio>
#include <QFile>
#include <QList>
#include <QWidget>

#include "VeltoInterface.h"

class AudioIODevice;
class QAudioInput;
class QAudioOutput;
class QTimer;

namespace Ui {
class AVCheckWidget;
}

// The device check before an anonymous join: the user picks and tries a
// microphone (level bar), a speaker (test sound) and a camera (live preview).
// OK stores the choice and emits sigJoin; Back and the title bar's close emit
// sigClose. A parentless top-level that deletes itself when it closes, which
// releases its audio input and output; lives on the GUI thread.
class AVCheckWidget : public QWidget {
    Q_OBJECT
public:
    explicit AVCheckWidget(QWidget* parent = nullptr);
    ~AVCheckWidget() override;

    void refreshInputDevices();
    void refreshOutputDevices();
    void initCameraDevice();
    void initInputDevice();
    void initOutputDevice();
    void closeVideo();
    // Stores the chosen devices under the keys the meeting window reads.
    void updateProfile();
    void refreshPlayTimer();
    void clearOutputDevice();
    void clearPlayTimer();
    void clearInputIODevice();
    void clearInputDevice();

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void slotTranslatorLanguage();

signals:
    void sigJoin();
    void sigClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectSignals();
    void startPreview(int row);
    void onPlayClicked();
    void onOutputStateChanged(QAudio::State state);
    void setPlayIcon(bool playing);
    // The engine camera a row of cameraComboBox stands for; null when none.
    const velto_webrtc::rtc_device_* cameraAt(int row) const;

    Ui::AVCheckWidget* ui;
    QList<QAudioDeviceInfo> m_inputDevices;
    QList<QAudioDeviceInfo> m_outputDevices;
    QAudioInput* m_audioInput = nullptr;
    AudioIODevice* m_levelDevice = nullptr;
    QAudioOutput* m_audioOutput = nullptr;
    QAudioFormat m_captureFormat;
    bool m_play = false;
    int m_tickCount = 0;
    int m_inputIndex = -1;
    int m_outputIndex = -1;
    int m_cameraIndex = -1;
    QFile m_soundFile;
    QTimer* m_playTimer = nullptr;
    // Levels arrive up to 2000 times a second; the bar shows the loudest one
    // of each paint interval.
    QTimer* m_levelTimer = nullptr;
    int m_peakLevel = -1;
    rtc_render m_previewRender;
    bool m_finished = false;  // OK or Back already chose how the window ends
};
