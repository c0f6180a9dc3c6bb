#pragma once
// Sends a crash dump to the crash-report server: an anonymous FTP upload into
// "/velto_desktop/" under the dump's own file name. Which server is ours to
// choose: VELTO_CRASH_REPORT_SERVER, else the settings key
// "/CrashReport/server", each "host" or "host:port" (port 21 by default). With
// neither set nothing leaves the machine.
//
// An upload owns itself: a child of the application that deletes itself when
// it ends, so that closing the crash dialog does not cut it short. Errors are
// only logged; an upload that makes no progress for the stall time is given
// up. Main thread only.

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;
class QTimer;

class CrashReportUpload : public QObject {
    Q_OBJECT
public:
    // The configured server address; empty when none is set.
    static QString serverAddress();
    // Where a dump goes on that server; invalid for an empty or unusable
    // address (one with a path, credentials or no host).
    static QUrl uploadUrl(const QString& server, const QString& dumpPath);
    // Reads the dump (an unreadable one sends an empty body) and starts its
    // upload; null when no usable server is set.
    static CrashReportUpload* start(const QString& dumpPath);
    // How long an upload may go without progress (tests shorten it).
    static void setStallTimeout(int ms);

signals:
    // The upload ended: ok when the server took the whole dump.
    void finished(bool ok);

private:
    CrashReportUpload(const QUrl& url, const QByteArray& body);
    void stalled();

    QNetworkReply* m_reply = nullptr;
    QTimer* m_stall = nullptr;
};
