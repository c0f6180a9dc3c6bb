#include "contactitem.h"
#include "ui_contactitem.h"

#include "Home/callbuttons.h"
#include "Home/homerules.h"
#include "Home/photocache.h"
#include "Tools/commonhelper.h"
#include "Tools/iconhelper.h"

ContactItem::ContactItem(std::string userId, QString photoUrl, QString name, bool online, QString clientType,
                         QWidget* parent)
    : QWidget(parent),
      ui(new Ui::ContactItem),
      m_online(online),
      m_photoUrl(std::move(photoUrl)),
      m_userId(home::lowerId(std::move(userId))),
      m_name(name.toStdString()),
      m_clientType(std::move(clientType))
{
    ui->setupUi(this);
    setMouseTracking(true);
    ui->lblContactName->setText(name);
    IconHelper::Instance()->SetIcon(ui->btnAudio, QChar(0xf130), QString(), 18);
    IconHelper::Instance()->SetIcon(ui->btnVideo, QChar(0xf03d), QString(), 18);
    ui->btnAudio->hide();
    ui->btnVideo->hide();
    initUI();
    connect(ui->btnAudio, &QToolButton::clicked, this, [this] { ring(false); });
    connect(ui->btnVideo, &QToolButton::clicked, this, [this] { ring(true); });
}

ContactItem::~ContactItem() { delete ui; }

void ContactItem::ring(bool video)
{
    int64_t now = 0;
    if (!ringContact(m_userId, video, now))
        return;
    m_video = video;
    setBtnStatus(false);
    // The window's type: a video call is 0 also when it invites into a meeting.
    emit sigRinging(m_userId, video ? 0 : 1, m_name, now);
}

void ContactItem::showAvatar(const QString& path)
{
    if (path.isEmpty())
        ui->lblContactImage->setPixmap(m_online ? QPixmap(":/images/users")
                                                : QPixmap::fromImage(CommonHelper::toGray(":/images/users")));
    else
        ui->lblContactImage->setPixmap(m_online ? QPixmap(path) : QPixmap::fromImage(CommonHelper::toGray(path)));
    ui->lblContactImage->setScaledContents(true);
}

void ContactItem::initUI()
{
    if (m_online)
        setDeviceType(m_clientType.toStdString());
    else
        ui->btnDevice->hide();
    const QString userId = QString::fromStdString(m_userId);
    const QString cached = PhotoCache::cachedPath(userId, m_photoUrl);
    showAvatar(cached);
    if (m_photoUrl.isEmpty() || !cached.isEmpty())
        return;
    PhotoCache::instance()->download(userId, m_photoUrl, this, [this](const QString& path) {
        if (!path.isEmpty())
            showAvatar(path);
    });
}

void ContactItem::setDeviceType(std::string clientType)
{
    static const std::pair<const char*, ushort> glyphs[] = {
        {"pc-win", 0xf108}, {"web", 0xf0ac}, {"ios", 0xf179}, {"android", 0xf17b}};
    for (const auto& [word, glyph] : glyphs) {
        if (clientType.find(word) != std::string::npos) {
            IconHelper::Instance()->SetIcon(ui->btnDevice, QChar(glyph), QString(), 18);
            return;
        }
    }
}

void ContactItem::setBtnStatus(bool enabled)
{
    QToolButton* button = m_video ? ui->btnVideo : ui->btnAudio;
    button->setEnabled(enabled);
    button->setStyleSheet(enabled ? "color:rgb(113,223,195);" : "color:rgb(181,181,181);");
}

void ContactItem::slotRingingStatus(std::string userId)
{
    if (home::lowerId(userId) == m_userId)
        setBtnStatus(true);
}

void ContactItem::selectedItem(bool selected)
{
    if (!m_online)
        return;
    ui->btnAudio->setVisible(selected);
    ui->btnVideo->setVisible(selected);
    ui->btnDevice->setVisible(!selected);
}

void ContactItem::setOnLine(bool online)
{
    if (online == m_online)
        return;
    m_online = online;
    initUI();
}

void ContactItem::enterEvent(QEvent* event)
{
    selectedItem(true);
    QWidget::enterEvent(event);
}

void ContactItem::leaveEvent(QEvent* event)
{
    selectedItem(false);
    QWidget::leaveEvent(event);
}
