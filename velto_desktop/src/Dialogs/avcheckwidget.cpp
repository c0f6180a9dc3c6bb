#include "avcheckwidget.h"
#include "ui_avcheckwidget.h"

#include <QAudioInput>
#include <QAudioOutput>
#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QStyle>
#include <QTimer>

#include <algorithm>

#include "audioiodevice.h"
#include "cglobalinstance.h"
#include "devicechoice.h"
#include "QGLRenderInterface.h"
#include "Tools/settings.h"

namespace {

constexpr int kTickMs = 90;
constexpr int kLevelPaintMs = 33;

// Progress ticks the test sound lasts, so that the slider ends with the sound.
int soundTicks()
{
    const QAudioFormat format = testSoundFormat();
    const qint64 bytesPerSecond = qint64(format.sampleRate()) * format.channelCount() * format.sampleSize() / 8;
    const qint64 ms = QFile(kTestSoundResource).size() * 1000 / bytesPerSecond;
    return int(std::max<qint64>(1, (ms + kTickMs - 1) / kTickMs));
}

// Fills the box with the system devices' names and selects the stored one:
// the same name, or else the name that the stored engine device contains.
void fillAudioBox(QComboBox* box, QList<QAudioDeviceInfo>& list, QAudio::Mode mode, const QString& nameKey)
{
    const QString stored = Settings().value(nameKey);
    box->clear();
    list = QAudioDeviceInfo::availableDevices(mode);
    QStringList names;
    for (const QAudioDeviceInfo& device : list)
        names << device.deviceName();
    box->addItems(names);
    int row = names.indexOf(stored);
    if (row < 0)
        row = devicechoice::findSystemDevice(names, stored.toUtf8().toStdString());
    if (row >= 0)
        box->setCurrentIndex(row);
}

}  // namespace

AVCheckWidget::AVCheckWidget(QWidget* parent) : QWidget(parent), ui(new Ui::AVCheckWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(tr("Settings"));
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);

    ui->audioVolumeSlider->hide();
    ui->audioVolume->hide();
    ui->progressBar->setRange(0, 128);
    ui->audioPlaySlider->setRange(0, soundTicks());
    ui->audioPlaySlider->setEnabled(false);
    setPlayIcon(false);
    for (QToolButton* refresh : {ui->refreshMicphone, ui->refreshPlayout, ui->refreshCamera})
        refresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    // The row labels are 70 px wide, which fits their texts in the form's
    // font; a wider fallback font would cut them: all three take the widest.
    int labelWidth = 70;
    for (QLabel* label : {ui->micphone, ui->playout, ui->camera}) {
        label->ensurePolished();
        labelWidth = qMax(labelWidth, label->sizeHint().width());
    }
    for (QLabel* label : {ui->micphone, ui->playout, ui->camera})
        label->setFixedWidth(labelWidth);

    m_captureFormat = pcmFormat(8000, 1, 8, QAudioFormat::UnSignedInt);
    m_levelTimer = new QTimer(this);
    m_levelTimer->setInterval(kLevelPaintMs);

    m_previewRender.window = QGLRenderInterface::CreateRender(ui->cameraWidget);
    m_previewRender.id = 0;

    refreshInputDevices();
    refreshOutputDevices();
    initInputDevice();
    initOutputDevice();
    initCameraDevice();

    m_cameraIndex = ui->cameraComboBox->currentIndex();
    if (m_cameraIndex >= 0)
        startPreview(m_cameraIndex);
    connectSignals();
    m_levelTimer->start();
}

AVCheckWidget::~AVCheckWidget()
{
    // Released here, while the window is still whole: some audio back-ends
    // dispatch events while their objects are destroyed.
    clearInputIODevice();
    clearInputDevice();
    clearOutputDevice();
    clearPlayTimer();
    closeVideo();
    delete ui;
}

void AVCheckWidget::connectSignals()
{
    connect(ui->refreshMicphone, &QToolButton::clicked, this, [this] {
        refreshInputDevices();
        initInputDevice();
    });
    connect(ui->refreshPlayout, &QToolButton::clicked, this, [this] {
        refreshOutputDevices();
        initOutputDevice();
    });
    connect(ui->refreshCamera, &QToolButton::clicked, this, [this] {
        initCameraDevice();
        const int row = ui->cameraComboBox->currentIndex();
        if (row == m_cameraIndex)
            return;
        closeVideo();
        m_cameraIndex = row;
        startPreview(row);
    });
    connect(ui->audioPlay, &QToolButton::clicked, this, &AVCheckWidget::onPlayClicked);
    connect(ui->back, &QPushButton::clicked, this, [this] {
        closeVideo();
        close();  // closeEvent reports sigClose
    });
    connect(ui->ok, &QPushButton::clicked, this, [this] {
        closeVideo();
        m_finished = true;
        // Stored first: the join starts the meeting window, which reads these
        // keys, before sigJoin returns.
        updateProfile();
        emit sigJoin();
        close();
    });
    connect(ui->micphoneComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int row) {
        if (row != -1 && row != m_inputIndex)
            initInputDevice();
    });
    connect(ui->playoutComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int row) {
        if (row != -1 && row != m_outputIndex)
            initOutputDevice();
    });
    connect(ui->cameraComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int row) {
        if (row == -1 || row == m_cameraIndex)
            return;
        closeVideo();
        m_cameraIndex = row;
        startPreview(row);
    });
    connect(m_levelTimer, &QTimer::timeout, this, [this] {
        if (m_peakLevel < 0)
            return;
        ui->progressBar->setValue(m_peakLevel);
        m_peakLevel = -1;
    });
}

void AVCheckWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    setWindowTitle(tr("Settings"));
}

void AVCheckWidget::closeEvent(QCloseEvent* event)
{
    // The title bar's close is a Back.
    closeVideo();
    if (!m_finished) {
        m_finished = true;
        emit sigClose();
    }
    QWidget::closeEvent(event);
}

void AVCheckWidget::refreshInputDevices()
{
    fillAudioBox(ui->micphoneComboBox, m_inputDevices, QAudio::AudioInput, "/Micphone/name");
}

void AVCheckWidget::refreshOutputDevices()
{
    fillAudioBox(ui->playoutComboBox, m_outputDevices, QAudio::AudioOutput, "/Speaker/name");
}

void AVCheckWidget::initCameraDevice()
{
    const QByteArray stored = Settings().value("/Video/name").toUtf8();
    ui->cameraComboBox->clear();
    const auto& cameras = CGlobalInstance::video_devices;
    for (size_t i = 0; i < cameras.size(); ++i) {
        const QString name = QString::fromStdString(cameras[i].name);
        // The row follows the engine's index; the item remembers its element.
        ui->cameraComboBox->insertItem(cameras[i].index, name, int(i));
        if (stored.toStdString() == cameras[i].name)
            ui->cameraComboBox->setCurrentText(name);
    }
}

const velto_webrtc::rtc_device_* AVCheckWidget::cameraAt(int row) const
{
    const auto& cameras = CGlobalInstance::video_devices;
    const int position = devicechoice::positionFromItemData(ui->cameraComboBox->itemData(row), cameras.size());
    return position < 0 ? nullptr : &cameras[size_t(position)];
}

void AVCheckWidget::startPreview(int row)
{
    const velto_webrtc::rtc_device_* camera = cameraAt(row);
    if (!camera || !CGlobalInstance::veltoSdk)
        return;
    CGlobalInstance::veltoSdk->ShowLocalPreview(m_previewRender, *camera, 640, 480, 30, 1024);
}

void AVCheckWidget::closeVideo()
{
    if (m_previewRender.id == 0)
        return;
    qDebug() << "AVCheckWidget::closeVideo";
    if (CGlobalInstance::veltoSdk)
        CGlobalInstance::veltoSdk->CloseLocalPreview(m_previewRender);
    m_previewRender.id = 0;
}

void AVCheckWidget::initInputDevice()
{
    m_inputIndex = ui->micphoneComboBox->currentIndex();
    if (m_inputIndex < 0 || m_inputIndex >= m_inputDevices.size())
        return;
    clearInputIODevice();
    clearInputDevice();

    m_levelDevice = new AudioIODevice(this);
    connect(m_levelDevice, &AudioIODevice::sigDBdata, this,
            [this](int db) { m_peakLevel = std::max(m_peakLevel, db); });
    m_levelDevice->open(QIODevice::WriteOnly);
    m_audioInput = new QAudioInput(m_inputDevices[m_inputIndex], m_captureFormat, this);
    m_audioInput->start(m_levelDevice);
}

void AVCheckWidget::clearInputIODevice()
{
    if (!m_levelDevice)
        return;
    if (m_audioInput)
        m_audioInput->stop();
    ui->progressBar->setValue(0);
    m_peakLevel = -1;
    if (m_levelDevice->isOpen())
        m_levelDevice->close();
    delete m_levelDevice;
    m_levelDevice = nullptr;
}

void AVCheckWidget::clearInputDevice()
{
    delete m_audioInput;
    m_audioInput = nullptr;
}

void AVCheckWidget::initOutputDevice()
{
    m_outputIndex = ui->playoutComboBox->currentIndex();
    if (m_outputIndex < 0 || m_outputIndex >= m_outputDevices.size())
        return;
    clearOutputDevice();
    m_audioOutput = new QAudioOutput(m_outputDevices[m_outputIndex], testSoundFormat(), this);
    connect(m_audioOutput, &QAudioOutput::stateChanged, this, &AVCheckWidget::onOutputStateChanged);
}

void AVCheckWidget::clearOutputDevice()
{
    if (!m_audioOutput)
        return;
    m_audioOutput->stop();
    delete m_audioOutput;
    m_audioOutput = nullptr;
    if (m_soundFile.isOpen())
        m_soundFile.close();
    m_play = false;
    setPlayIcon(false);
    m_tickCount = 0;
    ui->audioPlaySlider->setValue(0);
    clearPlayTimer();
}

void AVCheckWidget::setPlayIcon(bool playing)
{
    ui->audioPlay->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

void AVCheckWidget::onPlayClicked()
{
    m_play = !m_play;
    if (!m_audioOutput)
        return;
    qDebug() << "AVCheckWidget: output state" << m_audioOutput->state();
    if (ui->audioPlaySlider->value() == ui->audioPlaySlider->maximum()) {
        m_audioOutput->stop();
        m_soundFile.close();
        m_tickCount = 0;
    }
    if (m_play) {
        switch (m_audioOutput->state()) {
        case QAudio::StoppedState:
            setPlayIcon(true);
            m_soundFile.setFileName(kTestSoundResource);
            m_soundFile.open(QIODevice::ReadOnly);
            m_audioOutput->start(&m_soundFile);
            break;
        case QAudio::SuspendedState:
            setPlayIcon(true);
            m_audioOutput->resume();
            break;
        default:
            return;
        }
        refreshPlayTimer();
    } else if (m_audioOutput->state() == QAudio::ActiveState) {
        setPlayIcon(false);
        m_audioOutput->suspend();
        clearPlayTimer();
    }
}

void AVCheckWidget::onOutputStateChanged(QAudio::State state)
{
    if (state != QAudio::IdleState)
        return;
    m_audioOutput->stop();
    m_soundFile.close();
    m_play = false;
    setPlayIcon(false);
    m_tickCount = 0;
    clearPlayTimer();
    // The slider stays where it is: the next click sees it at the end and
    // starts the sound from the beginning.
    ui->audioPlaySlider->setValue(ui->audioPlaySlider->maximum());
}

void AVCheckWidget::refreshPlayTimer()
{
    clearPlayTimer();
    m_playTimer = new QTimer(this);
    m_playTimer->setInterval(kTickMs);
    connect(m_playTimer, &QTimer::timeout, this, [this] {
        ++m_tickCount;
        ui->audioPlaySlider->setValue(m_tickCount);
    });
    m_playTimer->start();
}

void AVCheckWidget::clearPlayTimer()
{
    if (!m_playTimer)
        return;
    m_playTimer->stop();
    delete m_playTimer;
    m_playTimer = nullptr;
}

void AVCheckWidget::updateProfile()
{
    struct Choice {
        const char* group;
        const std::vector<velto_webrtc::rtc_device_>& devices;
        QComboBox* box;
    };
    const Choice choices[] = {
        {"/Video", CGlobalInstance::video_devices, ui->cameraComboBox},
        {"/Micphone", CGlobalInstance::audio_record_devices, ui->micphoneComboBox},
        {"/Speaker", CGlobalInstance::audio_playout_devices, ui->playoutComboBox},
    };
    Settings settings;
    for (const Choice& choice : choices) {
        const int found = devicechoice::findDeviceContaining(choice.devices, choice.box->currentText().toUtf8());
        if (found < 0)
            continue;
        const velto_webrtc::rtc_device_& device = choice.devices[size_t(found)];
        const QString group = choice.group;
        settings.setValue(group + "/index", device.index);
        settings.setValue(group + "/id", QString::fromStdString(device.id));
        settings.setValue(group + "/name", QString::fromStdString(device.name));
    }
}

bool AVCheckWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->audioVolume)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Enter)
        ui->audioVolumeSlider->show();
    else if (event->type() == QEvent::Leave)
        ui->audioVolumeSlider->hide();
    return true;
}
