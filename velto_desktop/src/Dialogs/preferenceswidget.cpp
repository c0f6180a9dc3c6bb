// The preferences window as a whole: construction, page switching, the general
// flags and the camera page. The audio page lives in preferenceswidget_audio.cpp.
#include "preferenceswidget.h"
#include "ui_preferenceswidget.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QIcon>

#include "cglobalinstance.h"
#include "messagebox.h"
#include "QGLRenderInterface.h"
#include "Tools/settings.h"

namespace {

void storeCamera(Settings& settings, const velto_webrtc::rtc_device_& camera)
{
    settings.setValue("/Video/index", camera.index);
    settings.setValue("/Video/id", QString::fromStdString(camera.id));
    settings.setValue("/Video/name", QString::fromStdString(camera.name));
}

}  // namespace

PreferencesWidget::PreferencesWidget(QWidget* parent) : QWidget(parent), ui(new Ui::PreferencesWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint);
    ui->preferencesStackedWidget->setCurrentIndex(0);

    for (QWidget* hidden : std::initializer_list<QWidget*>{ui->btnPreferencesRecording, ui->recordingPage,
                                                           ui->lblVideoError, ui->chkMicphone, ui->lblOutputLevel,
                                                           ui->speakerLevelProgressBar})
        hidden->hide();
    ui->micphoneLevelProgressBar->setRange(0, devicechoice::MicLevelMeter::kMaximum);
    ui->micphoneLevelProgressBar->setValue(0);

    CGlobalInstance::getDefaultPreferences();
    const Preferences& preferences = CGlobalInstance::preferences;
    ui->autoStartCheckBox->setChecked(preferences.autoStart);
    ui->autoLoginCheckBox->setChecked(preferences.autoLogin);
    ui->fullScreenCheckBox->setChecked(preferences.fullScreen);
    ui->muteCheckBox->setChecked(preferences.audioMute);
    ui->closeCameraCheckBox->setChecked(preferences.videoMute);
    ui->offlineContactsCheckBox->setChecked(preferences.showOffline);
    ui->autoStartCheckBox->hide();

    ui->speakerVolumeHorizontalSlider->setValue(100);
    CGlobalInstance::getVideoAudioDevices();
    m_outputDevices = QAudioDeviceInfo::availableDevices(QAudio::AudioOutput);
    m_previewRender.window = QGLRenderInterface::CreateRender(ui->previewWidget);

    fillCameraList();
    fillMicphoneList();
    fillSpeakerList();
    connectSignals();
}

PreferencesWidget::~PreferencesWidget()
{
    stopMicphoneTest();
    delete ui;
    VeltoInterface* sdk = CGlobalInstance::veltoSdk;
    if (sdk && m_observer)
        sdk->SetAudioCaptureDataDBObserver(nullptr);
    setNormalWorkMode();
    m_observer.reset();
    if (m_testOutput) {
        m_testOutput->stop();
        delete m_testOutput;
    }
    if (m_soundFile.isOpen())
        m_soundFile.close();
}

void PreferencesWidget::connectSignals()
{
    const std::pair<QToolButton*, ePreferencePAGE> pages[] = {
        {ui->btnPreferencesGerenal, PREFERENCE_GENERAL},
        {ui->btnPreferencesAudio, PREFERENCE_AUDIO},
        {ui->btnPreferencesVideo, PREFERENCE_VIDEO},
        {ui->btnPreferencesRecording, PREFERENCE_RECORDING},
    };
    for (const auto& [button, page] : pages)
        connect(button, &QToolButton::clicked, this, [this, page = page] { switchPage(page); });
    for (QCheckBox* box : {ui->autoStartCheckBox, ui->autoLoginCheckBox, ui->fullScreenCheckBox, ui->muteCheckBox,
                           ui->closeCameraCheckBox, ui->offlineContactsCheckBox})
        connect(box, &QCheckBox::toggled, this, &PreferencesWidget::slotCheckboxToggle);
    connect(ui->speakerComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &PreferencesWidget::speakerChosen);
    connect(ui->micphoneComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &PreferencesWidget::micphoneChosen);
    connect(ui->videoComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &PreferencesWidget::cameraChosen);
    connect(ui->speakerVolumeHorizontalSlider, &QSlider::valueChanged, this, [](int value) {
        if (CGlobalInstance::veltoSdk)
            CGlobalInstance::veltoSdk->SetSpeakerVolume(unsigned(std::max(0, value)));
    });
    // The input slider shows the engine's microphone volume, so it sets it too.
    connect(ui->micphoneVolumeHorizontalSlider, &QSlider::valueChanged, this, [](int value) {
        if (CGlobalInstance::veltoSdk)
            CGlobalInstance::veltoSdk->SetMicrophoneVolume(unsigned(std::max(0, value)));
    });
    connect(ui->btnTestSpeaker, &QPushButton::clicked, this, &PreferencesWidget::testSpeaker);
    connect(ui->btnTestMicphone, &QPushButton::clicked, this, &PreferencesWidget::toggleMicphoneTest);
    connect(this, &PreferencesWidget::sigCaptureDataDB, this, &PreferencesWidget::slotCaptureDataDB);
}

void PreferencesWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    ui->btnTestMicphone->setText(m_micphoneTestRunning ? tr("Stop Test") : tr("Test Micphone"));
}

void PreferencesWidget::closeEvent(QCloseEvent* event)
{
    stopMicphoneTest();
    if (m_testOutput)
        m_testOutput->stop();
    closeVideo();
    QWidget::closeEvent(event);
}

void PreferencesWidget::selectedPage(ePreferencePAGE page)
{
    if (page < PREFERENCE_GENERAL || page > PREFERENCE_RECORDING)
        return;
    m_page = page;
    ui->preferencesStackedWidget->setCurrentIndex(int(page));
}

void PreferencesWidget::switchPage(ePreferencePAGE page)
{
    if (page == m_page && page != PREFERENCE_RECORDING)
        return;
    if (page == PREFERENCE_VIDEO && CGlobalInstance::video_devices.empty()) {
        auto* box = new MessageBox(100017, false, nullptr);
        box->showWidget();
        return;
    }
    if (m_page == PREFERENCE_AUDIO)
        stopMicphoneTest();
    selectedPage(page);
    setNormalWorkMode();
    if (page == PREFERENCE_VIDEO)
        showVideo(ui->videoComboBox->currentIndex());
    else
        closeVideo();
}

void PreferencesWidget::setNormalWorkMode()
{
    if (CGlobalInstance::veltoSdk && !CGlobalInstance::isJoinConference)
        CGlobalInstance::veltoSdk->SetAudioDeviceWorkMode(kAudioDeviceNormal);
}

void PreferencesWidget::slotCheckboxToggle(bool checked)
{
    Preferences& preferences = CGlobalInstance::preferences;
    const std::pair<QCheckBox*, bool Preferences::*> flags[] = {
        {ui->autoStartCheckBox, &Preferences::autoStart},   {ui->autoLoginCheckBox, &Preferences::autoLogin},
        {ui->fullScreenCheckBox, &Preferences::fullScreen}, {ui->muteCheckBox, &Preferences::audioMute},
        {ui->closeCameraCheckBox, &Preferences::videoMute}, {ui->offlineContactsCheckBox, &Preferences::showOffline},
    };
    for (const auto& [box, field] : flags) {
        if (box != sender())
            continue;
        preferences.*field = checked;
        if (field == &Preferences::autoStart)
            CGlobalInstance::autoStart(checked);
        CGlobalInstance::setDefaultPreferences();
        return;
    }
}

// ---------------------------------------------------------------------------
// Camera page

void PreferencesWidget::fillCameraList()
{
    Settings settings;
    int storedIndex = settings.intValue("/Video/index");
    const QString storedId = settings.value("/Video/id");
    const QString storedName = settings.value("/Video/name");
    const auto& cameras = CGlobalInstance::video_devices;
    int matched = -1;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const auto& camera = cameras[i];
        if (matched < 0 && camera.name == storedName.toStdString() && camera.id == storedId.toStdString()) {
            matched = int(i);
            if (camera.index != storedIndex) {
                settings.setValue("/Video/index", camera.index);
                storedIndex = camera.index;
            }
        }
        ui->videoComboBox->insertItem(camera.index, QString::fromStdString(camera.name), int(i));
    }
    if (cameras.empty())
        return;
    if (matched < 0) {
        matched = 0;
        storeCamera(settings, cameras.front());
    }
    ui->videoComboBox->setCurrentIndex(ui->videoComboBox->findData(matched));
}

void PreferencesWidget::cameraChosen(int row)
{
    const auto& cameras = CGlobalInstance::video_devices;
    const int position = devicechoice::positionFromItemData(ui->videoComboBox->itemData(row), cameras.size());
    if (position < 0)
        return;
    Settings settings;
    storeCamera(settings, cameras[size_t(position)]);
    closeVideo();
    showVideo(row);
}

void PreferencesWidget::showVideo(int row)
{
    if (m_previewOn)
        return;
    m_previewOn = true;
    const auto& cameras = CGlobalInstance::video_devices;
    const int position = devicechoice::positionFromItemData(ui->videoComboBox->itemData(row), cameras.size());
    if (position < 0 || !CGlobalInstance::veltoSdk)
        return;
    if (CGlobalInstance::CheckVideoOccupied(position)) {
        ui->lblVideoError->show();
        return;
    }
    m_previewRender.id = 0;
    CGlobalInstance::veltoSdk->ShowLocalPreview(m_previewRender, cameras[size_t(position)], 640, 480, 30, 1024);
}

void PreferencesWidget::closeVideo()
{
    ui->lblVideoError->hide();
    if (!m_previewOn)
        return;
    m_previewOn = false;
    if (m_previewRender.id != 0 && CGlobalInstance::veltoSdk)
        CGlobalInstance::veltoSdk->CloseLocalPreview(m_previewRender);
    m_previewRender.id = 0;
}
