#pragma once
// Rules that join the operating system's audio devices (as Qt Multimedia names
// them) to the media engine's device records, and the microphone level meter.
// QtCore only, so they are tested as tables.

#include "velto_webrtc_interface.h"

#include <QByteArray>
#include <QVariant>
#include <QStringList>

#include <string>
#include <vector>

namespace devicechoice {

// Position of the first device whose name contains `text` as a byte substring;
// -1 when none does. An empty text stands for no choice and matches nothing.
int findDeviceContaining(const std::vector<velto_webrtc::rtc_device_>& devices, const QByteArray& text);

// Position of the first system device whose UTF-8 name is contained in the
// engine device's name; -1 when none is. Empty system names match nothing.
int findSystemDevice(const QStringList& systemNames, const std::string& engineName);

// The list position a combo-box row stores as its item data; -1 when the data
// is missing or lies outside a list of `count` elements.
int positionFromItemData(const QVariant& data, size_t count);

// The preferences' input level bar (range 0..kMaximum): averages every ten
// levels and maps 55..90 onto the bar.
class MicLevelMeter {
public:
    static constexpr int kMaximum = 70;
    // Takes one level; returns the bar's new value after every tenth level,
    // -1 otherwise.
    int add(int db);

private:
    int m_count = 0;
    int m_sum = 0;
};

}  // namespace devicechoice
