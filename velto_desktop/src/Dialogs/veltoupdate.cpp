#include "veltoupdate.h"
#include "ui_veltoupdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <climits>

#include "messagebox.h"
#include "Tools/commonhelper.h"
#include "updaterules.h"
#include "Tools/logtext.h"

namespace {

QPointer<VeltoUpdate> g_current;
VeltoUpdate::Opener g_opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
qint64 g_maxPackageSize = qint64(1) << 30;
// A download that receives nothing for this long has failed.
constexpr int kStallMs = 30000;
constexpr int kMaxRedirects = 5;

}  // namespace

VeltoUpdate::VeltoUpdate(QString curVersion, QString& latestVersion, QString& fileName, QString& downPath,
                         QString& md5, bool modal, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::VeltoUpdate),
      m_curVersion(curVersion),
      m_latestVersion(latestVersion),
      m_fileName(fileName),
      m_downPath(downPath),
      m_md5(md5),
      m_modal(modal)
{
    g_current = this;
    ui->setupUi(this);
    // The manifest's version and file name are the update server's text.
    for (QLabel* label : {ui->lblLatest, ui->lblTextPromt})
        label->setTextFormat(Qt::PlainText);
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowTitle(tr("Update"));
    if (modal)
        setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);

    ui->lblCurVersion->setText(curVersion);
    ui->lblCurVersion_2->setText(curVersion);
    ui->progressBar->setValue(0);
    ui->progressBar->hide();
    // Never a path: a name with folders or ".." is refused before any write.
    m_packagePath = getUpdatePath() + m_fileName;

    if (offersUpdate()) {
        setFixedSize(380, 230);
        ui->stackedWidget->setCurrentWidget(ui->updatePage);
        ui->lblLatest->setText(latestVersion);
    } else {
        setFixedHeight(200);
        ui->stackedWidget->setCurrentWidget(ui->curPage);
    }
    connect(ui->btnUpgrade, &QPushButton::clicked, this, &VeltoUpdate::upgrade);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->btnUpdateOK, &QPushButton::clicked, this, &QWidget::close);
}

VeltoUpdate::~VeltoUpdate()
{
    stopDownload();
    delete ui;
}

VeltoUpdate* VeltoUpdate::current() { return g_current.data(); }

bool VeltoUpdate::offersUpdate() const { return updaterules::isNewerVersion(m_curVersion, m_latestVersion); }

void VeltoUpdate::setOpener(Opener opener) { g_opener = std::move(opener); }

void VeltoUpdate::setMaxPackageSize(qint64 bytes) { g_maxPackageSize = bytes; }

QString VeltoUpdate::getUpdatePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) + "//";
}

QString VeltoUpdate::getDocumentPath()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/velto_desktop";
    QDir().mkpath(path);
    return path;
}

QString VeltoUpdate::getFileMd5(QString path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "file open error.";
        return QString();
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 size = file.size();
    qint64 done = 0;
    while (done < size) {
        const QByteArray block = file.read(std::min<qint64>(4096, size - done));
        if (block.isEmpty())
            return QString();  // shorter than it said: not the package we checked
        hash.addData(block);
        done += block.size();
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool VeltoUpdate::checkFileExist()
{
    if (!updaterules::isPlainFileName(m_fileName) || !QFile::exists(m_packagePath))
        return false;
    if (updaterules::sameDigest(getFileMd5(m_packagePath), m_md5)) {
        qDebug() << "file exists";
        return true;
    }
    QFile::remove(m_packagePath);
    return false;
}

bool VeltoUpdate::startUpdate() { return g_opener(QUrl::fromLocalFile(QDir::cleanPath(m_packagePath))); }

void VeltoUpdate::onUpdateError(QProcess::ProcessError error)
{
    static const char* const names[] = {"QProcess::FailedToStart", "QProcess::Crashed",   "QProcess::Timedout",
                                        "QProcess::ReadError",     "QProcess::WriteError", "QProcess::UnknownError"};
    if (int(error) >= 0 && int(error) < 6)
        qDebug() << names[int(error)];
}

void VeltoUpdate::closeEvent(QCloseEvent* event)
{
    stopDownload();
    if (m_modal)
        emit sigCancel();
    QWidget::closeEvent(event);
}

void VeltoUpdate::upgrade()
{
    if (m_downloaded) {
        // Checked again: the file may have changed since it was verified.
        if (!checkFileExist()) {
            m_downloaded = false;
            showFailed();
            return;
        }
        // Leave only once the system has taken the package.
        if (startUpdate()) {
            QCoreApplication::exit(0);
        } else {
            qWarning() << "the update package could not be opened";
            ui->lblTextPromt->setText(tr("The package could not be opened: %1").arg(QDir::toNativeSeparators(
                QDir::cleanPath(m_packagePath))));
            ui->lblTextPromt->setWordWrap(true);
        }
        return;
    }
    if (checkFileExist()) {
        showReady();
        return;
    }
    ui->lblTextPromt->setText(tr("Download..."));
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    ui->btnUpgrade->hide();
    ui->btnCancel->hide();
    slotHttpDownload();
}

void VeltoUpdate::slotHttpDownload()
{
    const QUrl url(m_downPath);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !updaterules::isPlainFileName(m_fileName) || url.scheme() != QLatin1String("https") ||
        !url.isValid()) {
        qWarning() << "update package refused: name" << logText(m_fileName) << "address" << logText(url.toDisplayString());
        showFailed();
        return;
    }
    QDir().mkpath(folder);
    m_file = new QSaveFile(m_packagePath, this);
    if (!m_file->open(QIODevice::WriteOnly)) {
        qWarning() << "update package cannot be written:" << m_file->errorString();
        delete m_file;
        m_file = nullptr;
        showFailed();
        return;
    }
    m_hash.reset();
    m_refused = false;
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        connect(m_manager, &QNetworkAccessManager::finished, this, &VeltoUpdate::replyFinished);
    }
    m_request.setUrl(url);
    m_request.setSslConfiguration(CommonHelper::sslConfiguration());
    m_request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_request.setMaximumRedirectsAllowed(kMaxRedirects);
    m_request.setTransferTimeout(kStallMs);
    m_reply = m_manager->get(m_request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &VeltoUpdate::onDownloadProcess);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &VeltoUpdate::onNetworkError);
    connect(m_reply, &QNetworkReply::readyRead, this, &VeltoUpdate::onReadyRead);
}

void VeltoUpdate::onReadyRead()
{
    if (!m_reply || !m_file || m_refused)
        return;
    const QByteArray data = m_reply->readAll();
    if (m_file->size() + data.size() > g_maxPackageSize) {
        refuse("larger than allowed");
        return;
    }
    m_hash.addData(data);
    if (m_file->write(data) != data.size())
        refuse("write failed");
}

void VeltoUpdate::onDownloadProcess(qint64 received, qint64 total)
{
    if (total > g_maxPackageSize) {
        refuse("announced larger than allowed");
        return;
    }
    if (total > 0) {
        ui->progressBar->setMaximum(int(std::min<qint64>(total, INT_MAX)));
        ui->progressBar->setValue(int(std::min<qint64>(received, INT_MAX)));
    }
}

void VeltoUpdate::refuse(const char* why)
{
    qWarning() << "update download stopped:" << why;
    m_refused = true;
    if (m_reply)
        m_reply->abort();  // finished follows; replyFinished reports the failure
}

void VeltoUpdate::onNetworkError()
{
    if (m_refused || !m_reply)
        return;
    qWarning() << "update download failed:" << m_reply->error() << m_reply->errorString();
    // The reply has already ended: forget it rather than abort it again.
    m_reply->disconnect(this);
    m_reply = nullptr;
    stopDownload();
    close();
    auto* box = new MessageBox(100027, false, nullptr);
    box->showWidget();
}

void VeltoUpdate::replyFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        const bool refused = m_refused;
        stopDownload();
        if (refused)
            showFailed();
        return;
    }
    onReadyRead();
    const bool good = m_file && !m_refused &&
                      updaterules::sameDigest(QString::fromLatin1(m_hash.result().toHex()), m_md5) &&
                      m_file->commit();
    if (!good && m_file)
        m_file->cancelWriting();
    delete m_file;
    m_file = nullptr;
    m_reply = nullptr;
    if (good)
        showReady();
    else
        showFailed();
}

void VeltoUpdate::stopDownload()
{
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->cancelWriting();
        delete m_file;
        m_file = nullptr;
    }
}

void VeltoUpdate::showReady()
{
    m_downloaded = true;
    ui->lblTextPromt->setText(tr("Download completed!"));
    ui->progressBar->hide();
    ui->btnUpgrade->setText(tr("Install"));
    ui->btnUpgrade->show();
    ui->btnCancel->show();
}

void VeltoUpdate::showFailed()
{
    ui->lblTextPromt->setText(tr("Download failed!Please try again"));
    ui->progressBar->hide();
    ui->btnUpgrade->setText(tr("Upgraged"));
    ui->btnUpgrade->show();
    ui->btnCancel->show();
}
