#pragma once

#include <QCryptographicHash>
#include <QNetworkRequest>
#include <QProcess>
#include <QString>
#include <QWidget>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class QUrl;

namespace Ui {
class VeltoUpdate;
}

// Tells the user that the program is up to date, or offers the strictly newer
// version that the update manifest names: downloads the package over verified
// HTTPS into the downloads folder, checks its MD5 and hands it to the system.
// A parentless top-level that deletes itself when it closes; at most one
// exists at a time (current()). GUI thread only.
class VeltoUpdate : public QWidget {
    Q_OBJECT
public:
    VeltoUpdate(QString curVersion, QString& latestVersion, QString& fileName, QString& downPath, QString& md5,
                bool modal, QWidget* parent = nullptr);
    ~VeltoUpdate() override;

    // The open dialog, null when none: a second request raises it instead.
    static VeltoUpdate* current();
    bool offersUpdate() const;

    // Opens the verified package; returns whether the system took it.
    // QDesktopServices::openUrl unless replaced (tests).
    using Opener = std::function<bool(const QUrl&)>;
    static void setOpener(Opener opener);
    // Largest package accepted, in bytes.
    static void setMaxPackageSize(qint64 bytes);

    QString getUpdatePath();
    QString getFileMd5(QString path);
    bool checkFileExist();
    bool startUpdate();
    QString getDocumentPath();

signals:
    // A modal dialog closed, whatever closed it.
    void sigCancel();

public slots:
    void slotHttpDownload();
    void replyFinished(QNetworkReply* reply);
    void onDownloadProcess(qint64 received, qint64 total);
    void onReadyRead();
    void onUpdateError(QProcess::ProcessError error);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void upgrade();
    void onNetworkError();
    void showReady();
    void showFailed();
    // Stops the download in flight without reporting it; nothing is kept.
    void stopDownload();
    // Ends a download that broke one of our rules (size): reported as failed.
    void refuse(const char* why);

    Ui::VeltoUpdate* ui;
    QString m_packagePath;
    QString m_curVersion;
    QString m_latestVersion;
    QString m_fileName;
    QString m_downPath;
    QString m_md5;
    bool m_downloaded = false;
    bool m_modal;
    QNetworkRequest m_request;
    QSaveFile* m_file = nullptr;
    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_reply = nullptr;
    QCryptographicHash m_hash{QCryptographicHash::Md5};
    bool m_refused = false;
};
