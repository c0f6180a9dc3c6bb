// The participant list of the left panel: one row per participant, the user
// first, kept current from the participant messages; moderator changes; the
// whiteboard and annotation handed to newcomers.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QDebug>
#include <QListWidgetItem>

#include "cglobalinstance.h"
#include "qstaticswidget.h"
#include "quserinfowidget.h"
#include "tipwidget.h"
#include "videocontrolwidget.h"
#include "Tools/logtext.h"

std::vector<QUserInfoWidget*> VideoWidget::participantRows() const
{
    std::vector<QUserInfoWidget*> rows;
    for (QListWidgetItem* item : m_items)
        rows.push_back(qobject_cast<QUserInfoWidget*>(ui->listWidget->itemWidget(item)));
    return rows;
}

void VideoWidget::closeAllWidgets()
{
    for (QListWidgetItem* item : m_items) {
        ui->listWidget->removeItemWidget(item);
        delete item;
    }
    m_items.clear();
    ui->listWidget->clear();
}

void VideoWidget::setUserListWidget()
{
    closeAllWidgets();
    const UserInfo& own = CGlobalInstance::userInfo;
    addItemWidget(own.myJid, own.mUserName, true, CGlobalInstance::veltoSdk->isModerator(),
                  CGlobalInstance::isVideoMute, CGlobalInstance::isAudioMute);
    for (const auto& [endpoint, user] : CGlobalInstance::user_list) {
        // The own entry may come back from the server too: it already has its row.
        if (user.nickname.empty() || user.jid == own.myJid)
            continue;
        addItemWidget(user.jid, user.nickname, false, user.isModerator, user.videoMute, user.audioMute);
    }
}

void VideoWidget::addItemWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator,
                                bool videoMute, bool audioMute)
{
    auto* item = new QListWidgetItem();
    auto* row = new QUserInfoWidget(jid, nickname, isSelf, isModerator, videoMute, audioMute, nullptr);
    // Every connection below has the row as context, so it ends with the row.
    if (isSelf) {
        connect(this, &VideoWidget::sigMuteAudio, row, &QUserInfoWidget::slotMuteAudio);
        connect(row, &QUserInfoWidget::sigMuteAudio, m_toolbar, &VideoControlWidget::slotMicPhone);
        connect(m_statics, &QStaticsWidget::sigMuteAudio, row, &QUserInfoWidget::slotMuteAudio);
        connect(m_toolbar, &VideoControlWidget::sigMicPhone, row, &QUserInfoWidget::slotMuteAudio);
        connect(this, &VideoWidget::sigMuteVideo, row, &QUserInfoWidget::slotMuteVideo);
        connect(m_statics, &QStaticsWidget::sigMuteVideo, row,
                [row](bool mute) { row->slotMuteVideo(CGlobalInstance::userInfo.videoLabel, mute); });
        connect(m_toolbar, &VideoControlWidget::sigVideoMute, row, &QUserInfoWidget::slotMuteVideo);
        connect(row, &QUserInfoWidget::sigMuteVideo, row, [this](bool mute) {
            m_toolbar->slotMuteVideo(mute);
            slotVideoMute(CGlobalInstance::userInfo.videoLabel, mute);
        });
    }
    connect(row, &QUserInfoWidget::sigTransferModerator, this, &VideoWidget::slotTranferModerator);
    connect(this, &VideoWidget::sigChangeNickname, row, [row](std::string name) {
        if (row->getUserJid() == CGlobalInstance::userInfo.myJid)
            row->setNickName(name);
    });
    connect(row, &QUserInfoWidget::sigEnterWidget, row, [this](std::string name, QPoint point) {
        m_tip->move(point.x(), point.y() - 30);
        m_tip->setText(QString::fromStdString(name));
        m_tip->show();
    });
    connect(row, &QUserInfoWidget::sigLeaveWidget, row, [this] { m_tip->hide(); });
    item->setSizeHint(QSize(ui->listWidget->width() - 10, row->height()));
    ui->listWidget->addItem(item);
    ui->listWidget->setItemWidget(item, row);
    m_items.push_back(item);
}

void VideoWidget::onParticipant(user_info user)
{
    qDebug() << "participant" << logText(user.nickname);
    // The server's echo of the own entry lags behind the own switches: it
    // must neither add a row nor flip the own camera back.
    if (user.jid == CGlobalInstance::userInfo.myJid)
        return;
    updateUserName(user);
    slotVideoMute(user.label, user.videoMute);
    slotAddUser(user);
}

void VideoWidget::slotAddUser(user_info user)
{
    if (user.jid == CGlobalInstance::userInfo.myJid)
        return;  // the own row follows the own switches
    for (QUserInfoWidget* row : participantRows()) {
        if (row && row->getUserJid() == user.jid) {
            row->updateStatus(user.isModerator, user.videoMute, user.audioMute);
            row->setNickName(user.nickname);
            return;
        }
    }
    if (user.nickname.empty()) {
        // No row yet: the whiteboard goes out once the participant gets one.
        return;
    }
    if (CGlobalInstance::isWhiteboard)
        CGlobalInstance::veltoSdk->SendWhiteboard("create", "static/apps/drawing/index.html", "");
    emit sigCreateAnnotate(user.jid);
    addItemWidget(user.jid, user.nickname, false, user.isModerator, user.videoMute, user.audioMute);
}

void VideoWidget::slotRemoveUser(std::string userJid)
{
    const std::string endpoint = CGlobalInstance::getEndpointByJid(userJid);
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        auto* row = qobject_cast<QUserInfoWidget*>(ui->listWidget->itemWidget(*it));
        if (row && CGlobalInstance::getEndpointByJid(row->getUserJid()) == endpoint && !row->isSelf()) {
            ui->listWidget->removeItemWidget(*it);
            delete *it;
            m_items.erase(it);
            return;
        }
    }
}

void VideoWidget::slotTranferModerator(std::string userJid)
{
    ui->lblInfoRole->setText(roleText(false));
    m_toolbar->slotTransferModerator();
    for (QUserInfoWidget* row : participantRows()) {
        if (!row)
            continue;
        if (row->isSelf())
            row->changeModerator(false);
        if (row->getUserJid() == userJid)
            row->changeModerator(true);
        row->transferMorderatorBtn();
    }
}

void VideoWidget::onGrantAdmin()
{
    m_toolbar->slotGrantAdmin();
    ui->lblInfoRole->setText(roleText(true));
    for (QUserInfoWidget* row : participantRows()) {
        if (!row)
            continue;
        row->changeModerator(row->getUserJid() == CGlobalInstance::userInfo.myJid);
        row->grantModeratorBtn();
    }
}
