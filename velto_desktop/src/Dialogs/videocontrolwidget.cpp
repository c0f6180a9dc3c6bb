#include "videocontrolwidget.h"
#include "ui_videocontrolwidget.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QPainter>
#include <QTimer>

#include "cglobalinstance.h"
#include "meetingprompt.h"
#include "messagebox.h"
#include "tipwidget.h"

namespace {
const char* const kWhiteboardPage = "static/apps/drawing/index.html";
}

VideoControlWidget::VideoControlWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VideoControlWidget)
    , m_fullScreen(CGlobalInstance::preferences.fullScreen)
    , m_recordBlinkTimer(new QTimer(this))
    , m_recordRequestTimer(new QTimer(this))
    , m_recordReenableTimer(new QTimer(this))
    , m_ringBlinkTimer(new QTimer(this))
    , m_tip(new TipWidget(nullptr))
{
    ui->setupUi(this);
    setWindowTitle("velto_desktop");
    // A click on the bar leaves the focus with the meeting window, whose cursor
    // poll (hover, statistics, auto-hide) runs only while it is active.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setFixedHeight(40);
    setMaximumWidth(888);
    const auto buttons = findChildren<QToolButton*>();
    for (QToolButton* button : buttons) {
        button->setFixedSize(40, 40);
        button->setIconSize(QSize(32, 32));
        button->setToolTip(QString());
        button->installEventFilter(this);
    }
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setBtnVisible(CGlobalInstance::veltoSdk->isModerator());
    ui->m_lblName->hide();
    ui->m_btnRing->hide();
    ui->m_btnHandsUp->hide();
    ui->m_btnAnnotate->hide();
    ui->m_btnModerator->hide();
    m_tip->hide();
    if (m_fullScreen) {
        ui->m_btnFullScreen->setIcon(QIcon(":/icons/collapse"));
        setActive(ui->m_btnFullScreen, true);
    }
    m_recordBlinkTimer->setObjectName("recordBlinkTimer");
    m_recordRequestTimer->setObjectName("recordRequestTimer");
    m_recordReenableTimer->setObjectName("recordReenableTimer");
    m_ringBlinkTimer->setObjectName("ringBlinkTimer");
    m_recordBlinkTimer->setInterval(1000);
    m_recordRequestTimer->setInterval(60000);
    m_recordReenableTimer->setInterval(10000);
    m_ringBlinkTimer->setInterval(1000);
    connect(m_recordBlinkTimer, &QTimer::timeout, this, &VideoControlWidget::onRecordBlink);
    connect(m_recordRequestTimer, &QTimer::timeout, this, &VideoControlWidget::onRecordRequestTimeout);
    connect(m_recordReenableTimer, &QTimer::timeout, this, &VideoControlWidget::onRecordReenable);
    connect(m_ringBlinkTimer, &QTimer::timeout, this, &VideoControlWidget::onRingBlink);
    connectButtons();
}

VideoControlWidget::~VideoControlWidget()
{
    closeWhiteboard();
    delete ui;
    ui = nullptr;
    delete m_tip;
    QMutexLocker lock(&m_callMutex);
    qDeleteAll(m_callPanels);
    m_callPanels.clear();
}

void VideoControlWidget::connectButtons()
{
    connect(ui->m_btnMicPhone, &QToolButton::clicked, this, &VideoControlWidget::onMicPhone);
    connect(ui->m_btnVideo, &QToolButton::clicked, this, &VideoControlWidget::onVideo);
    connect(ui->m_btnPatipants, &QToolButton::clicked, this, &VideoControlWidget::onPatipants);
    connect(ui->m_btnShare, &QToolButton::clicked, this, &VideoControlWidget::onShare);
    connect(ui->m_btnAnnotate, &QToolButton::clicked, this, &VideoControlWidget::onAnnotate);
    connect(ui->m_btnRecord, &QToolButton::clicked, this, &VideoControlWidget::onRecord);
    connect(ui->m_btnWhiteboard, &QToolButton::clicked, this, &VideoControlWidget::onWhiteboard);
    connect(ui->m_btnLayout, &QToolButton::clicked, this, &VideoControlWidget::onLayout);
    connect(ui->m_btnSip, &QToolButton::clicked, this, [this] { onCall(0); });
    connect(ui->m_btnCallPhone, &QToolButton::clicked, this, [this] { onCall(1); });
    connect(ui->m_btnHandsUp, &QToolButton::clicked, this, &VideoControlWidget::onHandsUp);
    connect(ui->m_btnLock, &QToolButton::clicked, this, &VideoControlWidget::onLock);
    connect(ui->m_btnChat, &QToolButton::clicked, this, &VideoControlWidget::onChat);
    connect(ui->m_btnScreen, &QToolButton::clicked, this, &VideoControlWidget::onScreen);
    connect(ui->m_btnLocal, &QToolButton::clicked, this, &VideoControlWidget::onLocal);
    connect(ui->m_btnModerator, &QToolButton::clicked, this, &VideoControlWidget::sigGetModerator);
    connect(ui->m_btnFullScreen, &QToolButton::clicked, this, &VideoControlWidget::onFullScreen);
    connect(ui->m_btnClose, &QToolButton::clicked, this, &VideoControlWidget::onClose);
    connect(ui->m_btnRing, &QToolButton::clicked, this, &VideoControlWidget::onRing);
}

void VideoControlWidget::setActive(QToolButton* button, bool active)
{
    button->setStyleSheet(active ? "background:#57d3be;" : "background:transparent;");
}

void VideoControlWidget::setBtnVisible(bool isModerator)
{
    if (isModerator)
        ui->m_btnRecord->setVisible(CGlobalInstance::conferenceInfo.recordFlag);
    else if (!m_recording)
        ui->m_btnRecord->hide();
    for (QToolButton* button :
         {ui->m_btnLock, ui->m_btnShare, ui->m_btnWhiteboard, ui->m_btnLayout, ui->m_btnSip, ui->m_btnCallPhone})
        button->setVisible(isModerator);
}

void VideoControlWidget::setShareBtnStatus(bool isShare)
{
    m_sharing = isShare;
    setActive(ui->m_btnShare, isShare);
}

void VideoControlWidget::showAnnotate(bool show)
{
    if (show) {
        ui->m_btnAnnotate->show();
        return;
    }
    m_annotating = false;
    setActive(ui->m_btnAnnotate, false);
}

void VideoControlWidget::setHandsUpVisible(bool visible) { ui->m_btnHandsUp->setVisible(visible); }

void VideoControlWidget::setFullScreen(bool isFullScreen)
{
    if (isFullScreen == m_fullScreen)
        return;
    m_fullScreen = isFullScreen;
    ui->m_btnFullScreen->setIcon(QIcon(isFullScreen ? ":/icons/collapse" : ":/icons/expand"));
    setActive(ui->m_btnFullScreen, isFullScreen);
}

void VideoControlWidget::hasChatMessage()
{
    if (!m_chat)
        ui->m_btnChat->setIcon(QIcon(":/icons/chat_msg"));
}

void VideoControlWidget::hideWidget()
{
    if (m_tip->isVisible())
        m_tip->hide();
    hide();
}

void VideoControlWidget::setUsername(std::string name)
{
    if (name == m_username)
        return;
    m_username = std::move(name);
    ui->m_lblName->setText(QString::fromStdString(m_username));
}

void VideoControlWidget::messgebox(int code) { showMeetingRefusal(code); }

// ---------------------------------------------------------------------------
// Own media

void VideoControlWidget::slotMicPhone(bool mute)
{
    CGlobalInstance::veltoSdk->EnableStreamAudio(!mute);
    ui->m_btnMicPhone->setIcon(QIcon(mute ? ":/icons/micphone_unmute" : ":/icons/micphone"));
    setActive(ui->m_btnMicPhone, mute);
}

void VideoControlWidget::slotMuteAudio(bool isMute)
{
    qDebug() << "slotMuteAudio";
    ui->m_btnHandsUp->setVisible(!CGlobalInstance::conferenceInfo.withAudio);
    ui->m_btnMicPhone->setIcon(QIcon(isMute ? ":/icons/micphone_unmute" : ":/icons/micphone"));
    setActive(ui->m_btnMicPhone, isMute);
}

void VideoControlWidget::slotMuteVideo(bool isMute)
{
    CGlobalInstance::veltoSdk->EnableStreamVideo(!isMute);
    ui->m_btnVideo->setIcon(QIcon(isMute ? ":/icons/no_video" : ":/icons/video_call"));
    setActive(ui->m_btnVideo, isMute);
}

void VideoControlWidget::onMicPhone()
{
    if (!CGlobalInstance::conferenceInfo.withAudio && !CGlobalInstance::veltoSdk->isModerator())
        return;
    CGlobalInstance::isAudioMute = !CGlobalInstance::isAudioMute;
    slotMicPhone(CGlobalInstance::isAudioMute);
    emit sigMicPhone(CGlobalInstance::isAudioMute);
}

void VideoControlWidget::onVideo()
{
    if (!CGlobalInstance::conferenceInfo.withVideo && !CGlobalInstance::veltoSdk->isModerator())
        return;
    CGlobalInstance::isVideoMute = !CGlobalInstance::isVideoMute;
    slotMuteVideo(CGlobalInstance::isVideoMute);
    emit sigVideoMute(CGlobalInstance::userInfo.videoLabel, CGlobalInstance::isVideoMute);
}

// ---------------------------------------------------------------------------
// Panels and views

void VideoControlWidget::onPatipants()
{
    m_patipants = !m_patipants;
    setActive(ui->m_btnPatipants, m_patipants);
    if (m_patipants && m_chat) {
        m_chat = false;
        setActive(ui->m_btnChat, false);
        emit sigChatVisible(false);
    }
    emit sigUserInfo(m_patipants);
}

void VideoControlWidget::onChat()
{
    m_chat = !m_chat;
    if (m_chat) {
        ui->m_btnChat->setIcon(QIcon(":/icons/chat"));
        setActive(ui->m_btnChat, true);
        if (m_patipants) {
            m_patipants = false;
            setActive(ui->m_btnPatipants, false);
            emit sigUserInfo(false);
        }
    } else {
        setActive(ui->m_btnChat, false);
    }
    emit sigChatVisible(m_chat);
}

void VideoControlWidget::onScreen()
{
    if (CGlobalInstance::eSplitScreen == 5)
        return;
    m_stripHidden = !m_stripHidden;
    setActive(ui->m_btnScreen, m_stripHidden);
    emit sigSubVideoVisible(!m_stripHidden);
}

void VideoControlWidget::onLocal()
{
    m_local = !m_local;
    setActive(ui->m_btnLocal, m_local);
    emit sigLocalVideo(m_local);
}

void VideoControlWidget::onFullScreen()
{
    m_fullScreen = !m_fullScreen;
    ui->m_btnFullScreen->setIcon(QIcon(m_fullScreen ? ":/icons/collapse" : ":/icons/expand"));
    setActive(ui->m_btnFullScreen, m_fullScreen);
    emit sigFullscreen(m_fullScreen);
}

// ---------------------------------------------------------------------------
// Share, annotation, whiteboard, dialogs

void VideoControlWidget::onShare()
{
    if (!CGlobalInstance::veltoSdk->isModerator())
        return;
    // A running share can always be stopped, whatever the layout: the refusals
    // below only guard starting one.
    if (m_sharing) {
        connect(showMeetingQuestion(100007), &MessageBox::sigOk, this, [this] {
            ui->m_btnAnnotate->hide();
            emit sigShareStream(false);
        });
        return;
    }
    if (CGlobalInstance::eSplitScreen == 5)
        showMeetingRefusal(100009);
    else if (CGlobalInstance::isVideoMute)
        showMeetingRefusal(100012);
    else if (CGlobalInstance::isWhiteboard)
        showMeetingRefusal(100013);
    else
        emit sigShareStream(true);
}

void VideoControlWidget::onAnnotate()
{
    m_annotating = !m_annotating;
    setActive(ui->m_btnAnnotate, m_annotating);
    emit sigAnnotate(m_annotating);
}

void VideoControlWidget::onWhiteboard()
{
    if (m_sharing) {
        showMeetingRefusal(100014);
        return;
    }
    if (CGlobalInstance::isWhiteboard) {
        connect(showMeetingQuestion(100006), &MessageBox::sigOk, this, [this] {
            if (CGlobalInstance::veltoSdk->SendWhiteboard("destroy", kWhiteboardPage, "") != 0)
                return;
            setActive(ui->m_btnWhiteboard, false);
            m_whiteboardOpen = false;
            CGlobalInstance::isWhiteboard = false;
            emit sigWhiteboard(false);
            emit sigVideoWidgetVisible(true);
        });
        return;
    }
    if (m_whiteboardOpen) {
        CGlobalInstance::isWhiteboard = true;
        return;
    }
    if (CGlobalInstance::veltoSdk->SendWhiteboard("create", kWhiteboardPage, "") != 0)
        return;
    m_whiteboardOpen = true;
    CGlobalInstance::isWhiteboard = true;
    setActive(ui->m_btnWhiteboard, true);
    emit sigWhiteboard(true);
    emit sigVideoWidgetVisible(false);
}

void VideoControlWidget::closeWhiteboard()
{
    // The drawer window belongs to whoever opened it on sigWhiteboard(true);
    // it closes on sigWhiteboard(false).
    if (!m_whiteboardOpen)
        return;
    m_whiteboardOpen = false;
    CGlobalInstance::isWhiteboard = false;
    emit sigWhiteboard(false);
}

void VideoControlWidget::onLayout()
{
    if (CGlobalInstance::isWhiteboard)
        return;
    if (m_sharing) {
        showMeetingRefusal(100010);
        return;
    }
    emit sigLayoutManager();
}

void VideoControlWidget::onCall(int kind)
{
    if (CGlobalInstance::isSecondStreamModel || CGlobalInstance::isWhiteboard)
        return;
    emit sigCallOut(kind);
}

// ---------------------------------------------------------------------------
// Leaving

int VideoControlWidget::leaveConference()
{
    const int result = CGlobalInstance::veltoSdk->LeaveConference();
    if (CGlobalInstance::isAnonymousLogin)
        endAnonymousSession();
    return result;
}

void VideoControlWidget::endAnonymousSession()
{
    CGlobalInstance::veltoSdk->Logout();
#ifdef Q_OS_MACOS
    QCoreApplication::exit(0);
#else
    // Without a dock icon the program would be lost: the main window shows the
    // login page again once the meeting window has gone.
    CGlobalInstance::isLogin = false;
#endif
}

void VideoControlWidget::onClose()
{
    if (m_fullScreen) {
        ui->m_btnFullScreen->setIcon(QIcon(":/icons/expand"));
        setActive(ui->m_btnFullScreen, false);
        m_fullScreen = false;
        emit sigFullscreen(false);
        return;
    }
    if (CGlobalInstance::veltoSdk->LeaveConference() != 0) {
        // No media engine, so no leave event: the meeting window closes
        // itself (and logs an anonymous user out there).
        emit sigLeaveRefused();
        return;
    }
    if (CGlobalInstance::isAnonymousLogin)
        endAnonymousSession();
}

// ---------------------------------------------------------------------------
// Tooltips and painting

bool VideoControlWidget::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button && button->parentWidget() == this) {
        if (event->type() == QEvent::Enter) {
            const QPoint corner = mapToGlobal(QPoint(0, 0));
            m_tip->move(corner.x() + button->x(), qMax(0, corner.y()) + button->height());
            m_tip->setText(button->text());
            m_tip->show();
        } else if (event->type() == QEvent::Leave) {
            m_tip->hide();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void VideoControlWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 150));
    QWidget::paintEvent(event);
}
