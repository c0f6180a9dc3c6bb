#include "subvideowidget.h"
#include "ui_subvideowidget.h"

#include <QDebug>
#include <QLabel>
#include <QPainter>

#include "QGLRenderInterface.h"
#include "cglobalinstance.h"

// ---------------------------------------------------------------------------
// Name mask

QBaseMaskWidget::QBaseMaskWidget(QWidget* parent) : QWidget(parent), m_label(new QLabel(this))
{
    setObjectName("QBaseMaskWidget");
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_label->setObjectName("lblMaskName");
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
}

void QBaseMaskWidget::setUsername(int width, int height, QString name)
{
    if (name == m_name) {
        if (width == m_lastWidth)
            return;
        m_lastWidth = width;
        m_label->setGeometry(0, 0, width, height);
        return;
    }
    m_name = name;
    m_lastWidth = width;
    m_label->setGeometry(0, 0, width, height);
    m_label->setText(name);
}

void QBaseMaskWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 80));
}

// ---------------------------------------------------------------------------
// Tile

SubVideoWidget::SubVideoWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::SubVideoWidget), m_picture(nullptr), m_mask(nullptr), m_render(nullptr)
{
    ui->setupUi(this);
    setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_render = QGLRenderInterface::CreateRender(ui->videoWidget);
    m_picture = new QLabel(this);
    m_picture->setObjectName("lblTilePicture");
    m_picture->setFocusPolicy(Qt::NoFocus);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setGeometry(rect());
    showPicture(":/icons/no_video");
    m_picture->hide();
    m_mask = new QBaseMaskWidget(this);
    m_mask->hide();
}

SubVideoWidget::~SubVideoWidget()
{
    // The engine must not draw into the renderer once it is gone.
    stopRender("~SubVideoWidget");
    delete ui;
}

QWidget* SubVideoWidget::getSubWidget() const { return ui->videoWidget; }

void SubVideoWidget::showPicture(const char* resource)
{
    m_picture->setPixmap(QPixmap(resource).scaled(60, 60, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void SubVideoWidget::stopRender(const char* where)
{
    if (m_renderId == 0)
        return;
    if (CGlobalInstance::veltoSdk && !CGlobalInstance::veltoSdk->StopRenderStream(int(m_renderId), m_label))
        qDebug() << where << "StopRenderStream == " << "false";
    m_renderId = 0;
}

void SubVideoWidget::setUserInfo(std::string jid, std::string name, int index)
{
    m_userJid = std::move(jid);
    m_userName = std::move(name);
    m_index = index;
    if (CGlobalInstance::isPhoneOrSip(m_userJid)) {
        showPicture(":/icons/phone_1");
        ui->videoWidget->hide();
        m_picture->show();
        return;
    }
    showPicture(":/icons/no_video");
    if (!m_videoMute) {
        m_picture->hide();
        ui->videoWidget->show();
    }
}

void SubVideoWidget::showVideo(std::string label, bool videoMute)
{
    setVideoMute(videoMute);
    if (label == m_label)
        return;
    stopRender("showVideo");
    if (m_mask->isVisible())
        m_mask->hide();
    m_label = std::move(label);
    m_drawing = true;
    if (videoMute || m_label.empty() || CGlobalInstance::isPhoneOrSip(m_userJid))
        return;
    if (!CGlobalInstance::veltoSdk->StartRenderStream(m_render, m_renderId, m_label, false))
        qDebug() << "showVideo StartRenderStream == " << "false";
}

void SubVideoWidget::setVideoMute(bool mute)
{
    if (CGlobalInstance::isPhoneOrSip(m_userJid) || mute == m_videoMute)
        return;
    m_videoMute = mute;
    m_picture->setGeometry(0, 0, width(), height());
    ui->videoWidget->setVisible(!mute);
    m_picture->setVisible(mute);
}

void SubVideoWidget::hideWidget()
{
    stopRender("hideWidget");
    m_label.clear();
    m_drawing = false;
    m_index = -1;
    m_userJid.clear();
    m_userName.clear();
    if (m_mask->isVisible())
        m_mask->hide();
    hide();
}

void SubVideoWidget::resetGeometry(int x, int y, int w, int h, bool rounded)
{
    qDebug() << "resetGeometry == " << x << "," << y << "," << w << "," << h;
    setGeometry(x, y, w, h);
    m_picture->setGeometry(0, 0, w, h);
    m_radius = rounded ? 6 : 0;
}

void SubVideoWidget::enterWidget()
{
    const QPoint p = mapToGlobal(QPoint(0, 0));
    if (!m_mask->isVisible()) {
        m_mask->setGeometry(p.x(), p.y(), width(), height());
        m_mask->setUsername(width(), height(), QString::fromStdString(m_userName));
        m_mask->show();
        m_mask->setRoundRect(m_radius);
        m_mask->raise();
    }
    emit sigEnterWidget(p.x(), p.y(), width());
}

void SubVideoWidget::leaveWidget()
{
    if (m_mask->isVisible())
        m_mask->hide();
}
