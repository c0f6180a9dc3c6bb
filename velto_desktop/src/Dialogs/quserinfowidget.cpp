#include "quserinfowidget.h"
#include "ui_quserinfowidget.h"

#include <QDebug>
#include <QEvent>
#include <QFontMetrics>

#include "cglobalinstance.h"
#include "meetingprompt.h"

QUserInfoWidget::QUserInfoWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator,
                                 bool videoMute, bool audioMute, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::QUserInfoWidget)
    , m_jid(std::move(jid))
    , m_isSelf(isSelf)
    , m_isModerator(isModerator)
    , m_videoMute(videoMute)
    , m_audioMute(audioMute)
{
    ui->setupUi(this);
    ui->m_lblName->installEventFilter(this);
    const bool moderator = CGlobalInstance::veltoSdk->isModerator();
    ui->m_btnMuteAudio->setEnabled(moderator || m_isSelf);
    ui->m_btnMuteVideo->setEnabled(moderator || m_isSelf);
    showHandOver(moderator && !m_isSelf);
    showStar(m_isModerator);
    setNickName(nickname);
    const QString icon = clientIcon(CGlobalInstance::getEndpointByJid(m_jid));
    if (!icon.isEmpty())
        ui->m_btnClientType->setIcon(QIcon(icon));
    slotMuteAudio(m_audioMute);
    slotMuteVideo(std::string(), m_videoMute);
    connect(ui->m_btnMuteAudio, &QToolButton::clicked, this, &QUserInfoWidget::onMuteAudio);
    connect(ui->m_btnMuteVideo, &QToolButton::clicked, this, &QUserInfoWidget::onMuteVideo);
    connect(ui->m_btnTransferModerator, &QToolButton::clicked, this, &QUserInfoWidget::onTransfer);
    connect(ui->m_btnKickout, &QToolButton::clicked, this, &QUserInfoWidget::onKickout);
}

QUserInfoWidget::~QUserInfoWidget() { delete ui; }

QString QUserInfoWidget::clientIcon(const std::string& endpoint)
{
    static const struct {
        const char* word;
        const char* icon;
    } kinds[] = {{"pc", ":/icons/pc"},
                 {"web", ":/icons/web"},
                 {"android", ":/icons/android"},
                 {"ios", ":/icons/apple"},
                 {"gateway", ":/icons/callsip"}};
    for (const auto& kind : kinds)
        if (endpoint.find(kind.word) != std::string::npos)
            return kind.icon;
    return QString();
}

bool QUserInfoWidget::isModeratorShown() const { return !ui->m_lblSelf->isHidden(); }

// The name takes what the row leaves beside its buttons, and is elided only
// where it does not fit there. Measured again whenever the label's width or
// font changes: a row is built before the list's style gives it its font.
void QUserInfoWidget::setUser(std::string name)
{
    const QString text = QString::fromStdString(name);
    ui->m_lblName->ensurePolished();  // the style sheet's font decides the width
    const int room = ui->m_lblName->contentsRect().width();
    ui->m_lblName->setText(QFontMetrics(ui->m_lblName->font()).elidedText(text, Qt::ElideRight, room));
}

// Hidden buttons leave their room to the name.
void QUserInfoWidget::showStar(bool shown)
{
    ui->m_lblSelf->setVisible(shown);
    ui->widget_3->setVisible(shown);
}

void QUserInfoWidget::showHandOver(bool shown)
{
    ui->m_btnTransferModerator->setVisible(shown);
    ui->m_btnKickout->setVisible(shown);
    ui->widget_2->setVisible(shown);
}

void QUserInfoWidget::setNickName(std::string nickname)
{
    if (nickname == m_nickname && !ui->m_lblName->text().isEmpty())
        return;
    m_nickname = std::move(nickname);
    setUser(m_nickname);
}

void QUserInfoWidget::updateStatus(bool isModerator, bool videoMute, bool audioMute)
{
    if (isModerator != m_isModerator) {
        m_isModerator = isModerator;
        showStar(isModerator);
    }
    if (audioMute != m_audioMute) {
        m_audioMute = audioMute;
        slotMuteAudio(audioMute);
    }
    qDebug() << "updateStatus==" << (videoMute ? "true" : "false") << (m_videoMute ? "true" : "false");
    if (videoMute != m_videoMute) {
        m_videoMute = videoMute;
        slotMuteVideo(std::string(), videoMute);
    }
}

void QUserInfoWidget::changeModerator(bool isModerator) { showStar(isModerator); }

void QUserInfoWidget::grantModeratorBtn()
{
    ui->m_btnMuteAudio->setEnabled(true);
    ui->m_btnMuteVideo->setEnabled(true);
    showHandOver(!m_isSelf);
}

void QUserInfoWidget::transferMorderatorBtn()
{
    if (!m_isSelf) {
        ui->m_btnMuteAudio->setEnabled(false);
        ui->m_btnMuteVideo->setEnabled(false);
    }
    showHandOver(false);
}

void QUserInfoWidget::slotMuteAudio(bool mute)
{
    ui->m_btnMuteAudio->setIcon(QIcon(mute ? ":/icons/micphone_unmute" : ":/icons/micphone"));
}

void QUserInfoWidget::slotMuteVideo(std::string, bool mute)
{
    ui->m_btnMuteVideo->setIcon(QIcon(mute ? ":/icons/no_video" : ":/icons/video_call"));
}

void QUserInfoWidget::onMuteAudio()
{
    if (const auto mute = switchParticipantMedia(this, true, m_jid, m_isSelf, m_audioMute)) {
        slotMuteAudio(*mute);
        emit sigMuteAudio(*mute);
    }
}

void QUserInfoWidget::onMuteVideo()
{
    if (const auto mute = switchParticipantMedia(this, false, m_jid, m_isSelf, m_videoMute)) {
        slotMuteVideo(std::string(), *mute);
        emit sigMuteVideo(*mute);
    }
}

void QUserInfoWidget::onTransfer()
{
    transferModerator(this, m_jid, [this] {
        changeModerator(true);
        emit sigTransferModerator(m_jid);
    });
}

void QUserInfoWidget::onKickout() { kickOutParticipant(this, m_jid); }

bool QUserInfoWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->m_lblName) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            setUser(m_nickname);
        else if (event->type() == QEvent::Enter)
            emit sigEnterWidget(m_nickname, mapToGlobal(QPoint(0, 0)));
        else if (event->type() == QEvent::Leave)
            emit sigLeaveWidget();
    }
    return QWidget::eventFilter(watched, event);
}
