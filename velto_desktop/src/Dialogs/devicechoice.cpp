#include "devicechoice.h"

#include <algorithm>

namespace devicechoice {

int findDeviceContaining(const std::vector<velto_webrtc::rtc_device_>& devices, const QByteArray& text)
{
    if (text.isEmpty())
        return -1;
    const std::string needle = text.toStdString();
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name.find(needle) != std::string::npos)
            return int(i);
    return -1;
}

int findSystemDevice(const QStringList& systemNames, const std::string& engineName)
{
    for (int i = 0; i < systemNames.size(); ++i) {
        const std::string name = systemNames[i].toUtf8().toStdString();
        if (!name.empty() && engineName.find(name) != std::string::npos)
            return i;
    }
    return -1;
}

int positionFromItemData(const QVariant& data, size_t count)
{
    bool ok = false;
    const int position = data.toInt(&ok);
    return ok && position >= 0 && size_t(position) < count ? position : -1;
}

int MicLevelMeter::add(int db)
{
    ++m_count;
    m_sum += db;
    if (m_count % 10 != 0)
        return -1;
    const int v = m_sum / 10 - 55;
    m_count = 0;
    m_sum = 0;
    // A loud average would leave the bar's range and freeze the bar: clamp it.
    return std::clamp(2 * v, 0, kMaximum);
}

}  // namespace devicechoice
