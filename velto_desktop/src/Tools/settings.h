#ifndef SETTINGS_H
#define SETTINGS_H

#include <QObject>
#include <QString>
#include <QVariant>

class QSettings;

// Short-lived view of the program's settings file. Make one on the stack for the
// duration of a function: every construction reads the file anew, and the
// destructor writes pending changes back. GUI thread only.
class Settings : public QObject
{
    Q_OBJECT
public:
    explicit Settings(QObject* parent = nullptr);
    ~Settings() override;

    // The stored text with surrounding white space removed; empty when absent.
    QString value(QString key);
    // The stored integer; -1 when absent, 0 when the stored text is not a number.
    int intValue(QString key);
    void setValue(const QString& key, const QVariant& value);
    void removeKey(QString key);

private:
    QSettings* m_settings;
};

#endif // SETTINGS_H
