#ifndef COMMONHELPER_H
#define COMMONHELPER_H

#include <QImage>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

// Small stateless services shared by several windows. Main thread only.
class CommonHelper
{
public:
    CommonHelper() = default;

    // Installs the style sheet file at `path` on the whole application; does
    // nothing when the file cannot be read.
    static void setStyle(const QString& path);
    // An 8-bit grey copy of the image file (null when it cannot be loaded).
    static QImage toGray(QString path);
    // Eight decimal digits from the system's secure random source.
    static QString randomPassword();
    // Quarter-hour start times "hh:mm"; with `today` only those after hour:minute.
    static QStringList getTimeList(int hour, int minute, bool today);
    // Base64 of the text's UTF-8 bytes.
    static QString getBase64(QString text);
    // Fetches the update manifest, waiting for it (at most a few seconds).
    // Returns true when a 2xx answer arrived and parsed as JSON; members that
    // are present overwrite their output, the others keep the caller's values.
    // A network error, any other HTTP status or no answer in time returns
    // false with the outputs untouched. UpdateCheck does the same without
    // waiting.
    static bool getUpdateInfo(QString& version, QString& fileName, QString& downPath, QString& md5);

    // TLS settings for every request of the program: the system's CAs plus
    // the certificates of the file named by VELTO_CA_BUNDLE, peers always
    // verified. Built once per bundle; any thread.
    static QSslConfiguration sslConfiguration();
    // How many times it was built in this process.
    static int sslConfigurationBuilds();
};

#endif // COMMONHELPER_H
