#include "settings.h"

#include "cglobalinstance.h"

#include <QSettings>

Settings::Settings(QObject* parent)
    : QObject(parent)
    , m_settings(new QSettings(CGlobalInstance::getIniPath(), QSettings::IniFormat))
{
}

Settings::~Settings()
{
    delete m_settings;
}

QString Settings::value(QString key)
{
    return m_settings->value(key).toString().trimmed();
}

int Settings::intValue(QString key)
{
    const QVariant stored = m_settings->value(key);
    return stored.isValid() ? stored.toInt() : -1;
}

void Settings::setValue(const QString& key, const QVariant& value)
{
    m_settings->setValue(key, value);
}

void Settings::removeKey(QString key)
{
    m_settings->remove(key);
}
