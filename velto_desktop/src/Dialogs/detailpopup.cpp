#include "detailpopup.h"

#include <QCursor>
#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "Home/homerules.h"
#include "Home/meetingentry.h"
#include "cglobalinstance.h"
#include "mainwindow.h"

namespace {

constexpr int kCloseTestMs = 2000;
constexpr int kStartRetestMs = 1000;

}  // namespace

DetailPopup::DetailPopup(const char* rightPicture, const char* leftPicture, QWidget* parent)
    : QWidget(parent), m_rightPicture(rightPicture), m_leftPicture(leftPicture)
{
}

void DetailPopup::initPopup(QPushButton* startButton)
{
    m_startButton = startButton;
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(size());
    setStartMeetStatus(false);
    m_closeTimer = new QTimer(this);
    m_closeTimer->setInterval(kCloseTestMs);
    connect(m_closeTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && !frameGeometry().contains(QCursor::pos()))
            close();
    });
    connect(startButton, &QPushButton::clicked, this, &DetailPopup::startClicked);
}

QString DetailPopup::fitTitle(const QString& title, const QLabel* label)
{
    const QFontMetrics metrics(label->font());
    const int width = label->width() - 10;
    return metrics.horizontalAdvance(title) >= width ? metrics.elidedText(title, Qt::ElideRight, width) : title;
}

void DetailPopup::setImage(bool right)
{
    m_right = right;
    update();
}

void DetailPopup::setStartMeetStatus(bool enable)
{
    if (enable == m_startState)
        return;
    m_startState = enable;
    m_startButton->setEnabled(enable);
    m_startButton->setStyleSheet(
        enable ? "border:1px solid rgb(113,223,195);border-radius:8px;color:rgb(113,223,195);font-size:16px;"
                 "font-family:\"Helevtica\";"
               : "border:1px solid rgb(113,113,113);border-radius:8px;color:rgb(113,113,113);font-size:16px;"
                 "font-family:\"Helevtica\";");
}

bool DetailPopup::applyStartWindow()
{
    const bool open = home::startable(m_startSecs, QDateTime::currentSecsSinceEpoch());
    setStartMeetStatus(open);
    if (!open && !m_retestTimer) {
        m_retestTimer = new QTimer(this);
        m_retestTimer->setInterval(kStartRetestMs);
        connect(m_retestTimer, &QTimer::timeout, this, &DetailPopup::retestStart);
        m_retestTimer->start();
    }
    return open;
}

void DetailPopup::retestStart() { setStartMeetStatus(home::startable(m_startSecs, QDateTime::currentSecsSinceEpoch())); }

void DetailPopup::restartCloseTimer() { m_closeTimer->start(); }

void DetailPopup::startClicked()
{
    if (CGlobalInstance::isJoinConference)
        return;
    MainWindow::runAfterDeviceCheck(this, [this] { slotJoin(); });
}

bool DetailPopup::joinShownMeeting()
{
    return joinMeetingRoom(m_number.toStdString(), m_password.toStdString());
}

void DetailPopup::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, QPixmap(m_right ? m_rightPicture : m_leftPicture));
    QWidget::paintEvent(event);
}
