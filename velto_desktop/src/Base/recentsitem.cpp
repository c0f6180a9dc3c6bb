#include "recentsitem.h"
#include "ui_recentsitem.h"

#include <QDateTime>

#include "Home/callbuttons.h"
#include "Home/homerules.h"
#include "Tools/commonhelper.h"
#include "Tools/iconhelper.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"

RecentsItem::RecentsItem(QString userid, QString username, int duration, long long starttime, int calltype,
                         bool online, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::RecentsItem),
      m_userId(home::lowerId(userid.toStdString())),
      m_name(username.toStdString()),
      m_duration(duration),
      m_start(starttime),
      m_online(online)
{
    ui->setupUi(this);
    setMouseTracking(true);
    IconHelper::Instance()->SetIcon(ui->btnAudio, QChar(0xf130), QString(), 18);
    IconHelper::Instance()->SetIcon(ui->btnVideo, QChar(0xf03d), QString(), 18);
    Sqlite3::instance()->getPhotoByUserId(userid, m_photoPath);
    if (!CGlobalInstance::isFileExist(m_photoPath))
        m_photoPath.clear();
    showAvatar();
    ui->lblRecentsName->setText(username);
    ui->lblRecentsDuration->setText(home::durationText(duration));
    if (duration == 0)
        ui->lblRecentsName->setStyleSheet("font-size:16px;font-family:\"Helevtica\";color:red;");
    const QDateTime start = QDateTime::fromSecsSinceEpoch(starttime);
    ui->lblRecentsDate->setText(start.toString("yy/MM/dd"));
    ui->lblRecentsTime->setText(start.toString("hh:mm"));
    IconHelper::Instance()->SetIcon(ui->lblRecentsInOut, QChar(calltype == 1 ? 0xf064 : 0xf112), 18);
    isBtnVisible(false);
    connect(ui->btnAudio, &QToolButton::clicked, this, [this] { ring(false); });
    connect(ui->btnVideo, &QToolButton::clicked, this, [this] { ring(true); });
}

RecentsItem::~RecentsItem() { delete ui; }

void RecentsItem::showAvatar()
{
    if (!m_photoPath.isEmpty()) {
        ui->lblRecentsImage->setText(QString());
        ui->lblRecentsImage->setScaledContents(true);
        ui->lblRecentsImage->setPixmap(m_online ? QPixmap(m_photoPath)
                                                : QPixmap::fromImage(CommonHelper::toGray(m_photoPath)));
        return;
    }
    // Style first: a later style sheet would reset the glyph's size.
    ui->lblRecentsImage->setStyleSheet(m_online ? "color:rgb(113,223,195);" : "color:rgb(110,110,110);");
    IconHelper::Instance()->SetIcon(ui->lblRecentsImage, QChar(0xf2be), 28);
}

void RecentsItem::isBtnVisible(bool visible)
{
    ui->btnAudio->setVisible(visible);
    ui->btnVideo->setVisible(visible);
    ui->lblRecentsDate->setVisible(!visible);
    ui->lblRecentsTime->setVisible(!visible);
    ui->lblRecentsInOut->setVisible(!visible);
}

void RecentsItem::ring(bool video)
{
    int64_t now = 0;
    if (ringContact(m_userId, video, now))
        emit sigRinging(m_userId, video ? 0 : 1, m_name, now);
}

void RecentsItem::slotUpdateRecentItemStatus(std::string userId, bool onLine)
{
    if (home::lowerId(userId) != m_userId)
        return;
    CGlobalInstance::updateUserOnline(m_userId, onLine);
    if (onLine == m_online)
        return;
    m_online = onLine;
    showAvatar();
}

void RecentsItem::enterEvent(QEvent* event)
{
    if (m_online)
        isBtnVisible(true);
    QWidget::enterEvent(event);
}

void RecentsItem::leaveEvent(QEvent* event)
{
    isBtnVisible(false);
    QWidget::leaveEvent(event);
}
