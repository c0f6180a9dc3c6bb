#include "avcheckwidget.h"

#include <QIcon>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

#include "Tools/settings.h"
#include "cglobalinstance.h"

namespace {

using Devices = std::vector<velto_webrtc::rtc_device_>;

// Fills the box with the devices' names and selects the one stored under nameKey.
void fillDevices(QComboBox* box, const Devices& devices, Settings& settings, const QString& nameKey)
{
    const QString stored = settings.value(nameKey);
    for (const auto& device : devices)
        box->addItem(QString::fromStdString(device.name));
    const int row = box->findText(stored);
    if (row >= 0)
        box->setCurrentIndex(row);
}

void storeDevice(Settings& settings, const QString& group, const Devices& devices, int row)
{
    if (row < 0 || row >= int(devices.size()))
        return;
    const auto& device = devices[size_t(row)];
    settings.setValue(group + "/index", device.index);
    settings.setValue(group + "/id", QString::fromStdString(device.id));
    settings.setValue(group + "/name", QString::fromStdString(device.name));
}

}  // namespace

AVCheckWidget::AVCheckWidget(QWidget* parent)
    : QWidget(parent),
      m_micphoneComboBox(new QComboBox(this)),
      m_playoutComboBox(new QComboBox(this)),
      m_cameraComboBox(new QComboBox(this))
{
    setObjectName("AVCheckWidget");
    setWindowTitle(tr("Settings"));
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);

    Settings settings;
    fillDevices(m_micphoneComboBox, CGlobalInstance::audio_record_devices, settings, "/Micphone/name");
    fillDevices(m_playoutComboBox, CGlobalInstance::audio_playout_devices, settings, "/Speaker/name");
    fillDevices(m_cameraComboBox, CGlobalInstance::video_devices, settings, "/Video/name");

    auto* back = new QPushButton(tr("Back"), this);
    back->setObjectName("back");
    back->setMinimumSize(80, 30);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName("ok");
    ok->setMinimumSize(80, 30);

    auto* devices = new QFormLayout;
    devices->addRow(tr("Micphone"), m_micphoneComboBox);
    devices->addRow(tr("Playout"), m_playoutComboBox);
    devices->addRow(tr("Camera"), m_cameraComboBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->setContentsMargins(50, 30, 50, 30);
    layout->addLayout(devices);
    layout->addLayout(buttons);

    connect(back, &QPushButton::clicked, this, [this] {
        emit sigClose();
        close();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        // Stored first: the join starts the meeting window, which reads these
        // keys, before sigJoin returns.
        updateProfile();
        emit sigJoin();
        close();
    });
}

void AVCheckWidget::updateProfile()
{
    Settings settings;
    storeDevice(settings, "/Video", CGlobalInstance::video_devices, m_cameraComboBox->currentIndex());
    storeDevice(settings, "/Micphone", CGlobalInstance::audio_record_devices, m_micphoneComboBox->currentIndex());
    storeDevice(settings, "/Speaker", CGlobalInstance::audio_playout_devices, m_playoutComboBox->currentIndex());
}
