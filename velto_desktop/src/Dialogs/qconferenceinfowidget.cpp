#include "qconferenceinfowidget.h"
#include "ui_qconferenceinfowidget.h"

#include <QDebug>
#include <QPainter>

#include <algorithm>

#include "cglobalinstance.h"
#include "iconhelper.h"
#include "quserinfowidget.h"
#include "videowidget.h"
#include "Tools/logtext.h"

QConferenceInfoWidget::QConferenceInfoWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QConferenceInfoWidget)
{
    ui->setupUi(this);
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    ui->m_btnClose->setText(QString());
    IconHelper::Instance()->SetIcon(ui->m_btnClose, QChar(0xF00D), 16);
    connect(ui->m_btnClose, &QPushButton::clicked, this, [this] {
        closeAllWidgets();
        close();
    });
}

QConferenceInfoWidget::~QConferenceInfoWidget() { delete ui; }

void QConferenceInfoWidget::showInfoWidget()
{
    setConferenceInfo();
    show();
    setUserListWidget();
    resizeWidget();
    ui->m_infoWidget->show();
}

void QConferenceInfoWidget::resizeWidget()
{
    QWidget* card = ui->m_infoWidget;
    // A panel lower than the card's fixed parts leaves the list no room, never
    // a negative height.
    ui->m_listUser->setFixedSize(card->width() - 120, std::max(0, height() - 280));
    card->setGeometry((width() - card->width()) / 2, 0, card->width(), height());
    ui->m_infoWidget->setRoundRect(20);
}

void QConferenceInfoWidget::closeAllWidgets()
{
    for (QListWidgetItem* item : m_items) {
        ui->m_listUser->removeItemWidget(item);
        delete item;
    }
    m_items.clear();
}

void QConferenceInfoWidget::setConferenceInfo()
{
    ui->m_lblId->setText(QString::fromStdString(CGlobalInstance::conferenceInfo.room));
    ui->m_lblName->setText(QString::fromStdString(CGlobalInstance::userInfo.mUserName));
    // The panel names the first three meeting types only.
    const int type = CGlobalInstance::conferenceInfo.conferenceType;
    ui->m_lblType->setText(type == 3 ? QString() : VideoWidget::meetingTypeText(type));
    ui->m_lblRole->setText(VideoWidget::roleText(CGlobalInstance::veltoSdk->isModerator()));
}

void QConferenceInfoWidget::setUserListWidget()
{
    closeAllWidgets();
    const UserInfo& own = CGlobalInstance::userInfo;
    addItemWidget(own.myJid, own.mUserName, true, CGlobalInstance::veltoSdk->isModerator(),
                  CGlobalInstance::isVideoMute, CGlobalInstance::isAudioMute);
    for (const auto& [endpoint, user] : CGlobalInstance::user_list)
        if (!user.nickname.empty())
            addItemWidget(user.jid, user.nickname, false, user.isModerator, user.videoMute, user.audioMute);
}

void QConferenceInfoWidget::addItemWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator,
                                          bool videoMute, bool audioMute)
{
    auto* item = new QListWidgetItem();
    auto* row = new QUserInfoWidget(jid, nickname, isSelf, isModerator, videoMute, audioMute, nullptr);
    item->setSizeHint(QSize(ui->m_listUser->width(), row->height()));
    ui->m_listUser->addItem(item);
    connect(row, &QUserInfoWidget::sigTransferModerator, this, [this](std::string) {
        emit sigTransferModerator();
        ui->m_lblRole->setText(VideoWidget::roleText(false));
        if (!rows().empty() && rows().front())
            rows().front()->changeModerator(false);
    });
    connect(row, &QUserInfoWidget::sigKickout, this, [this](std::string userJid) {
        const auto all = rows();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] && all[i]->getUserJid() == userJid) {
                removeItem(i);
                return;
            }
    });
    ui->m_listUser->setItemWidget(item, row);
    m_items.push_back(item);
}

std::vector<QUserInfoWidget*> QConferenceInfoWidget::rows() const
{
    std::vector<QUserInfoWidget*> found;
    for (QListWidgetItem* item : m_items)
        found.push_back(qobject_cast<QUserInfoWidget*>(ui->m_listUser->itemWidget(item)));
    return found;
}

void QConferenceInfoWidget::removeItem(size_t index)
{
    QListWidgetItem* item = m_items[index];
    ui->m_listUser->removeItemWidget(item);
    delete item;
    m_items.erase(m_items.begin() + long(index));
}

void QConferenceInfoWidget::slotGrantAdmin()
{
    ui->m_lblRole->setText(VideoWidget::roleText(true));
    const auto all = rows();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i])
            all[i]->changeModerator(i == 0);
}

void QConferenceInfoWidget::slotAddUser(user_info user)
{
    qDebug() << "slotAddUser==" << logText(user.nickname);
    for (QUserInfoWidget* row : rows()) {
        if (row && row->getUserJid() == user.jid) {
            row->updateStatus(user.isModerator, user.videoMute, user.audioMute);
            return;
        }
    }
    if (user.nickname.empty())
        return;
    addItemWidget(user.jid, user.nickname, false, user.isModerator, user.videoMute, user.audioMute);
    resizeWidget();
}

void QConferenceInfoWidget::slotRemoveUser(std::string userJid)
{
    if (!isVisible())
        return;
    const std::string endpoint = CGlobalInstance::getEndpointByJid(userJid);
    const auto all = rows();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] && CGlobalInstance::getEndpointByJid(all[i]->getUserJid()) == endpoint) {
            removeItem(i);
            break;
        }
    }
    resizeWidget();
}

void QConferenceInfoWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    ui->m_btnClose->setText(QString());
    IconHelper::Instance()->SetIcon(ui->m_btnClose, QChar(0xF00D), 16);
    setConferenceInfo();
}

void QConferenceInfoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 80));
}

void QConferenceInfoWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    resizeWidget();
}
