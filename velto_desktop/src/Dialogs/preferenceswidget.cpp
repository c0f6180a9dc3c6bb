#include "preferenceswidget.h"

#include <QIcon>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Tools/settings.h"

PreferencesWidget::PreferencesWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("PreferencesWidget");
    setWindowIcon(QIcon(":/images/logo"));
    CGlobalInstance::getDefaultPreferences();
    CGlobalInstance::getVideoAudioDevices();

    m_flags = {
        {&Preferences::autoStart, QT_TR_NOOP("Start at log-in"), nullptr},
        {&Preferences::autoLogin, QT_TR_NOOP("Automatic logon"), nullptr},
        {&Preferences::fullScreen, QT_TR_NOOP("Full screen in meetings"), nullptr},
        {&Preferences::audioMute, QT_TR_NOOP("Join with the microphone off"), nullptr},
        {&Preferences::videoMute, QT_TR_NOOP("Join with the camera off"), nullptr},
        {&Preferences::showOffline, QT_TR_NOOP("Show offline contacts"), nullptr},
    };
    m_devices = {
        {"/Video", &CGlobalInstance::video_devices, true, nullptr},
        {"/Micphone", &CGlobalInstance::audio_record_devices, false, nullptr},
        {"/Speaker", &CGlobalInstance::audio_playout_devices, false, nullptr},
    };

    auto* layout = new QVBoxLayout(this);
    for (Flag& flag : m_flags) {
        flag.box = new QCheckBox(this);
        flag.box->setChecked(CGlobalInstance::preferences.*flag.field);
        connect(flag.box, &QCheckBox::toggled, this, &PreferencesWidget::slotCheckboxToggle);
        layout->addWidget(flag.box);
    }
    auto* devices = new QFormLayout;
    for (DeviceBox& device : m_devices) {
        device.box = new QComboBox(this);
        fillDeviceBox(device);
        connect(device.box, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, &device](int row) { storeDevice(device, row); });
        devices->addRow(QString(), device.box);
    }
    layout->addLayout(devices);
    slotTranslatorLanguage();
}

void PreferencesWidget::fillDeviceBox(DeviceBox& device)
{
    const auto& list = *device.devices;
    if (list.empty())
        return;
    for (const auto& entry : list)
        device.box->addItem(QString::fromStdString(entry.name));
    Settings settings;
    const QString name = settings.value(device.group + "/name");
    const QString id = settings.value(device.group + "/id");
    int row = -1;
    for (size_t i = 0; i < list.size(); ++i) {
        if (QString::fromStdString(list[i].name) == name && (!device.storesId || QString::fromStdString(list[i].id) == id)) {
            row = int(i);
            break;
        }
    }
    if (row < 0) {
        storeDevice(device, 0);
        row = 0;
    } else if (settings.intValue(device.group + "/index") != list[size_t(row)].index) {
        settings.setValue(device.group + "/index", list[size_t(row)].index);
    }
    device.box->setCurrentIndex(row);
}

void PreferencesWidget::storeDevice(const DeviceBox& device, int row)
{
    const auto& list = *device.devices;
    if (row < 0 || row >= int(list.size()))
        return;
    const auto& entry = list[size_t(row)];
    Settings settings;
    settings.setValue(device.group + "/index", entry.index);
    if (device.storesId)
        settings.setValue(device.group + "/id", QString::fromStdString(entry.id));
    settings.setValue(device.group + "/name", QString::fromStdString(entry.name));
}

void PreferencesWidget::slotCheckboxToggle(bool checked)
{
    for (const Flag& flag : m_flags) {
        if (flag.box != sender())
            continue;
        CGlobalInstance::preferences.*flag.field = checked;
        if (flag.field == &Preferences::autoStart)
            CGlobalInstance::autoStart(checked);
        CGlobalInstance::setDefaultPreferences();
        return;
    }
}

void PreferencesWidget::slotTranslatorLanguage()
{
    setWindowTitle(tr("Preference"));
    for (const Flag& flag : m_flags)
        flag.box->setText(tr(flag.text));
    auto* devices = static_cast<QFormLayout*>(layout()->itemAt(layout()->count() - 1)->layout());
    const char* captions[] = {QT_TR_NOOP("Camera"), QT_TR_NOOP("Micphone"), QT_TR_NOOP("Playout")};
    for (int row = 0; row < devices->rowCount(); ++row)
        if (auto* caption = qobject_cast<QLabel*>(devices->itemAt(row, QFormLayout::LabelRole)->widget()))
            caption->setText(tr(captions[row]));
}
