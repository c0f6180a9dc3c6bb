#include "qstaticswidget.h"
#include "ui_qstaticswidget.h"

#include <QPainter>
#include <QStyleOption>

#include "cglobalinstance.h"
#include "iconhelper.h"
#include "meetingprompt.h"

QStaticsWidget::QStaticsWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QStaticsWidget)
{
    ui->setupUi(this);
    // A click on it leaves the focus with the meeting (its cursor poll goes on).
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    ui->m_controlBarWidget->hide();
    IconHelper::Instance()->SetIcon(ui->m_lblDownloadIcon, QChar(0xF063), 11);
    IconHelper::Instance()->SetIcon(ui->m_lblUploadIcon, QChar(0xF062), 11);
    ui->m_btnkickout->setIcon(QIcon(":/icons/killout"));
    ui->m_btnShowscreen->setIcon(QIcon(":/icons/onscreen"));
    ui->m_btnTransfer->setIcon(QIcon(":/icons/transferModerator"));
    connect(ui->m_btnAudio, &QToolButton::clicked, this, &QStaticsWidget::onAudio);
    connect(ui->m_btnVideo, &QToolButton::clicked, this, &QStaticsWidget::onVideo);
    connect(ui->m_btnTransfer, &QToolButton::clicked, this, &QStaticsWidget::onTransfer);
    connect(ui->m_btnkickout, &QToolButton::clicked, this, &QStaticsWidget::onKickout);
    connect(ui->m_btnShowscreen, &QToolButton::clicked, this, &QStaticsWidget::onShowScreen);
}

QStaticsWidget::~QStaticsWidget() { delete ui; }

bool QStaticsWidget::isOwnJid() const { return m_userJid == CGlobalInstance::userInfo.myJid; }

void QStaticsWidget::setPacketLoss(int download, int upload)
{
    ui->m_lblDownload->setText(QString("%1 %").arg(download));
    ui->m_lblUpload->setText(QString("%1 %").arg(upload));
}

void QStaticsWidget::setResolution(int w, int h) { ui->m_lblResolution->setText(QString("%1 x %2").arg(w).arg(h)); }

void QStaticsWidget::Init()
{
    if (isOwnJid()) {
        m_audioMute = CGlobalInstance::isAudioMute;
        m_videoMute = CGlobalInstance::isVideoMute;
    } else {
        const auto entry = CGlobalInstance::user_list.find(CGlobalInstance::getEndpointByJid(m_userJid));
        if (entry != CGlobalInstance::user_list.end()) {
            m_audioMute = entry->second.audioMute;
            m_videoMute = entry->second.videoMute;
        }
    }
    audioMute(m_audioMute);
    videoMute(m_videoMute);
}

void QStaticsWidget::showWidget(bool isModerator)
{
    if (isModerator) {
        ui->m_controlBarWidget->show();
        Init();
    } else {
        ui->m_controlBarWidget->hide();
    }
    const bool own = isOwnJid();
    ui->m_btnTransfer->setVisible(!own);
    ui->m_btnkickout->setVisible(!own);
    show();
}

void QStaticsWidget::audioMute(bool mute)
{
    ui->m_btnAudio->setIcon(QIcon(mute ? ":/icons/micphone_unmute" : ":/icons/micphone"));
}

void QStaticsWidget::videoMute(bool mute)
{
    ui->m_btnVideo->setIcon(QIcon(mute ? ":/icons/no_video" : ":/icons/video_call"));
}

void QStaticsWidget::slotMuteAudio(bool mute)
{
    if (isOwnJid())
        audioMute(mute);
}

void QStaticsWidget::slotMuteVideo(bool mute)
{
    if (isOwnJid())
        videoMute(mute);
}

void QStaticsWidget::onAudio()
{
    close();
    if (const auto mute = switchParticipantMedia(this, true, m_userJid, isOwnJid(), m_audioMute)) {
        audioMute(*mute);
        emit sigMuteAudio(*mute);
    }
}

void QStaticsWidget::onVideo()
{
    close();
    if (const auto mute = switchParticipantMedia(this, false, m_userJid, isOwnJid(), m_videoMute)) {
        videoMute(*mute);
        emit sigMuteVideo(*mute);
    }
}

void QStaticsWidget::onTransfer()
{
    const std::string jid = m_userJid;  // the panel is reused for the next tile meanwhile
    transferModerator(this, jid, [this, jid] { emit sigTransferModerator(jid); });
}

void QStaticsWidget::onKickout() { kickOutParticipant(this, m_userJid); }

void QStaticsWidget::onShowScreen()
{
    if (!CGlobalInstance::isSecondStreamModel)
        CGlobalInstance::veltoSdk->SetStage(m_userJid, false);
}

void QStaticsWidget::leaveEvent(QEvent* event)
{
    emit sigLeaveStaticsWidget();
    QWidget::leaveEvent(event);
}

void QStaticsWidget::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
