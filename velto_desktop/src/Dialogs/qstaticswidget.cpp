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
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
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
    const bool own = isOwnJid();
    if (!CGlobalInstance::conferenceInfo.withAudio && !CGlobalInstance::veltoSdk->isModerator() && own) {
        showMeetingRefusal(100004);
        return;
    }
    if (own) {
        CGlobalInstance::isAudioMute = !CGlobalInstance::isAudioMute;
        audioMute(CGlobalInstance::isAudioMute);
        emit sigMuteAudio(CGlobalInstance::isAudioMute);
        return;
    }
    // The participant as it was when the question was asked: the panel is
    // reused for the next hovered tile while the box is open.
    const std::string jid = m_userJid;
    const bool mute = m_audioMute;
    connect(showMeetingQuestion(100000), &MessageBox::sigOk, this,
            [jid, mute] { CGlobalInstance::veltoSdk->SendAudioMute(jid, !mute); });
}

void QStaticsWidget::onVideo()
{
    close();
    const bool own = isOwnJid();
    if (!CGlobalInstance::conferenceInfo.withVideo && !CGlobalInstance::veltoSdk->isModerator() && own) {
        showMeetingRefusal(100004);
        return;
    }
    if (own) {
        CGlobalInstance::isVideoMute = !CGlobalInstance::isVideoMute;
        videoMute(CGlobalInstance::isVideoMute);
        emit sigMuteVideo(CGlobalInstance::isVideoMute);
        return;
    }
    const std::string jid = m_userJid;
    const bool mute = m_videoMute;
    connect(showMeetingQuestion(100001), &MessageBox::sigOk, this,
            [jid, mute] { CGlobalInstance::veltoSdk->SendVideoMute(jid, !mute); });
}

void QStaticsWidget::onTransfer()
{
    if (CGlobalInstance::isSecondStreamModel) {
        showMeetingRefusal(100005);
        return;
    }
    if (m_userJid.find("gateway") != std::string::npos) {
        showMeetingRefusal(100011);
        return;
    }
    const std::string jid = m_userJid;
    connect(showMeetingQuestion(100002), &MessageBox::sigOk, this, [this, jid] {
        if (CGlobalInstance::veltoSdk->SendModerator(jid) == 0)
            emit sigTransferModerator(jid);
    });
}

void QStaticsWidget::onKickout()
{
    const std::string jid = m_userJid;
    connect(showMeetingQuestion(100003), &MessageBox::sigOk, this,
            [jid] { CGlobalInstance::veltoSdk->SendKickout(jid); });
}

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
