#pragma once

#include <QString>
#include <QWidget>

#include <vector>

#include "cglobalinstance.h"

class QCheckBox;
class QComboBox;

// The preferences: the six general flags and the camera, microphone and
// speaker the meetings use.
class PreferencesWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreferencesWidget(QWidget* parent = nullptr);

public slots:
    // Stores the flag of the box that sent it.
    void slotCheckboxToggle(bool checked);
    void slotTranslatorLanguage();

private:
    struct Flag {
        bool Preferences::*field;
        const char* text;
        QCheckBox* box;
    };
    struct DeviceBox {
        QString group;  // "/Video", "/Micphone" or "/Speaker"
        const std::vector<velto_webrtc::rtc_device_>* devices;
        bool storesId;
        QComboBox* box;
    };

    void fillDeviceBox(DeviceBox& device);
    void storeDevice(const DeviceBox& device, int row);

    std::vector<Flag> m_flags;
    std::vector<DeviceBox> m_devices;
};
