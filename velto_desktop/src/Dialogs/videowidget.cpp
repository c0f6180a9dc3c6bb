// The meeting window's frame: construction and wiring, the start of the own
// media, the meeting-data panel, notices, the leave sequence and closing, full
// screen and the show, hide and minimise requests.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QWindow>

#include <algorithm>

#include "QGLRenderInterface.h"
#include "Tools/settings.h"
#include "cglobalinstance.h"
#include "qnicknamewidget.h"
#include "qnoticewidget.h"
#include "qstaticswidget.h"
#include "qtopwidget.h"
#include "subvideowidget.h"
#include "tipwidget.h"
#include "videocontrolwidget.h"

namespace {

// A stored position counts only when it lies inside the list; -1 and anything
// out of range give the first device.
size_t positionOrFirst(int stored, size_t count) { return unsigned(stored) < count ? size_t(stored) : 0; }

}  // namespace

VideoWidget::VideoWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VideoWidget)
    , m_toolbar(nullptr)
    , m_statics(nullptr)
    , m_pictureLabel(nullptr)
    , m_topWidget(nullptr)
    , m_nickname(nullptr)
    , m_tip(nullptr)
    , m_pollTimer(new QTimer(this))
    , m_hideTimer(new QTimer(this))
    , m_statsHideTimer(new QTimer(this))
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setMouseTracking(true);
    setAttribute(Qt::WA_DeleteOnClose);

    ui->m_infoWidget->hide();
    ui->textEdit->setPlaceholderText(tr("Please enter the content..."));
    ui->textEdit->installEventFilter(this);
    installEventFilter(this);
    ui->videoWidget->installEventFilter(this);
    ui->chatWidget->hide();
    ui->slabelSip->hide();
    ui->lblSip->hide();

    m_tip = new TipWidget(nullptr);
    m_tip->hide();

    m_pictureLabel = new QLabel(ui->videoWidget);
    m_pictureLabel->setObjectName("lblMainPicture");
    m_pictureLabel->setGeometry(ui->videoWidget->rect());
    m_pictureLabel->setAlignment(Qt::AlignCenter);
    m_pictureLabel->setFocusPolicy(Qt::NoFocus);
    showMainPicture(":/icons/no_video");
    m_pictureLabel->hide();

    connect(this, &VideoWidget::sigTranslatorLanguage, this, [this] {
        ui->retranslateUi(this);
        ui->textEdit->setPlaceholderText(tr("Please enter the content..."));
        setConferenceInfo();
    });

    m_ownRender.window = QGLRenderInterface::CreateRender(ui->m_videoWidget);
    m_ownRender.id = 0;

    m_toolbar = new VideoControlWidget(nullptr);
    m_toolbarX = (CGlobalInstance::getScreenRect().width() - m_toolbar->width()) / 2;
    m_toolbar->setGeometry(m_toolbarX, 0, m_toolbar->width(), 40);
    // A window manager lifts a full-screen window above those that stay on
    // top; the toolbar, a transient of the meeting window, stays above it.
    winId();
    m_toolbar->winId();
    m_toolbar->windowHandle()->setTransientParent(windowHandle());
    connect(m_toolbar->windowHandle(), &QWindow::windowStateChanged, this, &VideoWidget::keepToolbarOnScreen,
            Qt::QueuedConnection);
    connect(windowHandle(), &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state & Qt::WindowMinimized)
            m_iconicHintMayStay = true;
    });
    connectToolbar();
    connectTools();

    m_hideTimer->setObjectName("controlBarHideTimer");
    m_hideTimer->setInterval(10000);
    connect(m_hideTimer, &QTimer::timeout, this, &VideoWidget::hideControlBarTimeout);
    m_pollTimer->setInterval(500);
    connect(m_pollTimer, &QTimer::timeout, this, &VideoWidget::pollCursor);
    m_pollTimer->start();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &VideoWidget::followFocus);
    m_statsHideTimer->setSingleShot(true);
    m_statsHideTimer->setInterval(500);
    connect(m_statsHideTimer, &QTimer::timeout, this, &VideoWidget::hideStatsUnlessHovered);

    m_statics = new QStaticsWidget(nullptr);
    m_statics->setPacketLoss(0, 0);
    m_statics->setResolution(0, 0);
    m_statics->hide();
    connectStatics();

    m_topWidget = new QTopWidget(nullptr);
    m_topWidget->hide();
    connect(m_toolbar, &VideoControlWidget::sigLocalVideo, this, &VideoWidget::onSelfView);

    m_nickname = new QNicknameWidget(this);
    m_nickname->move(20, 10);
    m_nickname->hide();
    connect(m_nickname, &QNicknameWidget::sigEnterWidget, this, &VideoWidget::onNicknameEnter);
    connect(m_nickname, &QNicknameWidget::sigLeaveWidget, this, &VideoWidget::armStatsHide);

    for (int i = 0; i < CGlobalInstance::conferenceInfo.maxViewNum; ++i)
        createSubVideoWidget(i);
}

VideoWidget::~VideoWidget()
{
    // Normally the leave sequence has stopped every render already; a window
    // deleted without one (tests, a failed start) stops them here, before the
    // renderers go with their widgets.
    removeAllStream();
    stopSelfViewRender();
    closeOwnStream();
    delete ui;
    delete m_toolbar;
    m_hideTimer->stop();
    m_pollTimer->stop();
    delete m_annotation;
    delete m_statics;
    delete m_topWidget;
    delete m_tip;
    qDeleteAll(m_notices);
}

void VideoWidget::connectToolbar()
{
    VideoControlWidget* bar = m_toolbar;
    connect(bar, &VideoControlWidget::sigShareStream, this, &VideoWidget::slotShareStream);
    connect(bar, &VideoControlWidget::sigUserInfo, this, &VideoWidget::slotShowUserInfoWidget);
    connect(bar, &VideoControlWidget::sigChatVisible, this, &VideoWidget::slotShowChatWidget);
    connect(bar, &VideoControlWidget::sigSubVideoVisible, this, &VideoWidget::slotShowSubVideoWidget);
    connect(bar, &VideoControlWidget::sigVideoMute, this, &VideoWidget::slotVideoMute);
    connect(bar, &VideoControlWidget::sigVideoWidgetVisible, this, &VideoWidget::slotShowWidget);
    connect(bar, &VideoControlWidget::sigFullscreen, this, [this](bool full) {
        if (full)
            showFullScreen();
        else
            showNormal();
    });
    connect(bar, &VideoControlWidget::sigAnnotate, this, qOverload<bool>(&VideoWidget::slotAnnotate));
    connect(bar, &VideoControlWidget::sigWhiteboard, this, &VideoWidget::sigWhiteboard);
    connect(bar, &VideoControlWidget::sigLeaveRefused, this, &VideoWidget::slotLeaveConference);
    connect(this, &VideoWidget::sigNotifyRecord, bar, &VideoControlWidget::slotNotifyRecord);
    connect(this, &VideoWidget::sigMuteAudio, bar, &VideoControlWidget::slotMicPhone);
    connect(this, &VideoWidget::sigMuteVideo, this, &VideoWidget::slotVideoMute);
    connect(this, &VideoWidget::sigGrantAdmin, this, &VideoWidget::onGrantAdmin);
    connect(this, &VideoWidget::sigLockConference, bar, &VideoControlWidget::slotLockConference);
    connect(this, &VideoWidget::sigAddUser, this, &VideoWidget::onParticipant);
    connect(this, &VideoWidget::sigGetInit, bar, &VideoControlWidget::sigGetInit);
    connect(this, &VideoWidget::sigUpdateLayout, bar, &VideoControlWidget::sigUpdateLayout);
    connect(this, &VideoWidget::sigHandsUp, bar, &VideoControlWidget::slotHandsUp);
    connect(this, &VideoWidget::sigSip, bar, &VideoControlWidget::sigSip);
    connect(this, &VideoWidget::sigLostModerator, bar, &VideoControlWidget::slotLostModerator);
}

void VideoWidget::connectStatics()
{
    connect(m_statics, &QStaticsWidget::sigMuteAudio, m_toolbar, &VideoControlWidget::slotMicPhone);
    connect(m_statics, &QStaticsWidget::sigMuteVideo, this, [this](bool mute) {
        m_toolbar->slotMuteVideo(mute);
        slotVideoMute(CGlobalInstance::userInfo.videoLabel, mute);
    });
    connect(this, &VideoWidget::sigMuteAudio, m_statics, &QStaticsWidget::slotMuteAudio);
    connect(this, &VideoWidget::sigMuteVideo, m_statics,
            [this](std::string, bool mute) { m_statics->slotMuteVideo(mute); });
    connect(m_statics, &QStaticsWidget::sigTransferModerator, this, &VideoWidget::slotTranferModerator);
    connect(m_statics, &QStaticsWidget::sigLeaveStaticsWidget, this, [this] {
        if (m_statics->isVisible())
            m_statics->hide();
    });
}

void VideoWidget::showMainPicture(const char* resource)
{
    m_pictureLabel->setPixmap(QPixmap(resource).scaled(90, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_pictureLabel->setGeometry(ui->videoWidget->rect());
    m_pictureLabel->show();
    ui->m_videoWidget->hide();
}

void VideoWidget::showMainVideo()
{
    m_pictureLabel->hide();
    ui->m_videoWidget->show();
}

// ---------------------------------------------------------------------------
// Start

void VideoWidget::showWidget()
{
    m_starting = true;
    m_toolbar->setBtnVisible(CGlobalInstance::veltoSdk->isModerator());
    if (CGlobalInstance::preferences.fullScreen)
        showFullScreen();
    else
        showNormal();

    const auto& cameras = CGlobalInstance::video_devices;
    const auto& microphones = CGlobalInstance::audio_record_devices;
    const auto& speakers = CGlobalInstance::audio_playout_devices;
    if (microphones.empty() || speakers.empty()) {
        // Nothing to hear or speak with: the meeting cannot go on. This runs
        // inside the SDK call that is entering the meeting, so the leave
        // waits until that call has returned.
        emit sigMessageBox(100023);
        QTimer::singleShot(0, this, [this] { close(); });
        m_starting = false;
        return;
    }
    Settings settings;
    const auto& microphone = microphones[positionOrFirst(settings.intValue("/Micphone/index"), microphones.size())];
    const auto& speaker = speakers[positionOrFirst(settings.intValue("/Speaker/index"), speakers.size())];
    const ConferenceInfo& conference = CGlobalInstance::conferenceInfo;
    if (cameras.empty()) {
        m_audioOnly = true;
        CGlobalInstance::veltoSdk->CreateSingleAudioStream(m_ownRender, microphone, speaker);
    } else {
        const auto& camera = cameras[size_t(CGlobalInstance::storedVideoDeviceIndex())];
        const int result = CGlobalInstance::veltoSdk->ShowLocalPreview(m_ownRender, camera, microphone, speaker,
                                                                       conference.width, conference.resolution, 30,
                                                                       conference.bandwidth);
        qDebug() << "ShowLocalPreview ==" << result;
    }
    m_streamOpen = true;
    m_masterRender = m_ownRender;
    CGlobalInstance::userInfo.videoLabel = m_ownRender.label;

    CGlobalInstance::isAudioMute = CGlobalInstance::preferences.audioMute || !conference.withAudio;
    m_toolbar->slotMicPhone(CGlobalInstance::isAudioMute);
    CGlobalInstance::isVideoMute = CGlobalInstance::preferences.videoMute || !conference.withVideo;
    if (CGlobalInstance::isVideoMute)
        showMainPicture(":/icons/no_video");
    else
        showMainVideo();
    m_toolbar->slotMuteVideo(CGlobalInstance::isVideoMute);
    setConferenceInfo();
    m_nickname->setNickname(CGlobalInstance::userInfo.mUserName);
    m_nickname->setUserJid(CGlobalInstance::userInfo.myJid);
    m_nickname->setIndex(m_ownRender.id);
    isVisibleControlWidget(true);
    m_starting = false;
}

void VideoWidget::setConferenceInfo()
{
    ui->lblInfoId->setText(QString::fromStdString(CGlobalInstance::conferenceInfo.room));
    ui->lblInfoName->setText(QString::fromStdString(CGlobalInstance::userInfo.mUserName));
    ui->lblInfoType->setText(meetingTypeText(CGlobalInstance::conferenceInfo.conferenceType));
    ui->lblInfoRole->setText(roleText(CGlobalInstance::veltoSdk->isModerator()));
    setUserListWidget();
}

QString VideoWidget::meetingTypeText(int type)
{
    switch (type) {
    case 0: return tr("one-time meeting");
    case 1: return tr("Periodic meeting");
    case 2: return tr("temporary meeting");
    case 3: return tr("fixed meeting");
    default: return QString();
    }
}

QString VideoWidget::roleText(bool moderator) { return moderator ? tr("Moderator") : tr("Common user"); }

// ---------------------------------------------------------------------------
// Notices

void VideoWidget::slotNotice(int notice)
{
    // The lowest index no open notice holds: a closed notice's place is reused.
    int index = 0;
    while (std::any_of(m_notices.begin(), m_notices.end(),
                       [index](QNoticeWidget* shown) { return shown->property("noticeIndex").toInt() == index; }))
        ++index;
    auto* widget = new QNoticeWidget(index, notice, geometry(), nullptr);
    widget->setProperty("noticeIndex", index);
    connect(this, &VideoWidget::sigTranslatorLanguage, widget, &QNoticeWidget::slotTranslatorLanguage);
    connect(widget, &QNoticeWidget::sigCloseWidget, this, [this](QNoticeWidget* closing) {
        const auto found = std::find(m_notices.begin(), m_notices.end(), closing);
        if (found != m_notices.end())
            m_notices.erase(found);
        closing->close();
        closing->deleteLater();
    });
    widget->show();
    m_notices.push_back(widget);
}

// ---------------------------------------------------------------------------
// Leave and close

void VideoWidget::closeOwnStream()
{
    if (!m_streamOpen)
        return;
    m_streamOpen = false;
    if (m_audioOnly)
        CGlobalInstance::veltoSdk->CloseSingleAudioStream(m_ownRender);
    else
        CGlobalInstance::veltoSdk->CloseLocalPreview(m_ownRender);
}

void VideoWidget::resetMeetingState()
{
    CGlobalInstance::user_subwidgets.clear();
    CGlobalInstance::polling.clear();
    CGlobalInstance::isSecondStreamModel = false;
    CGlobalInstance::isWhiteboard = false;
    CGlobalInstance::isShareWhiteboard = false;
    CGlobalInstance::isAudioMute = false;
    CGlobalInstance::isVideoMute = false;
    CGlobalInstance::answerUserId.clear();
    CGlobalInstance::resolution = VideoResolution();
    CGlobalInstance::eSplitScreen = 0;
    CGlobalInstance::selectAppId = 0;
}

void VideoWidget::slotLeaveConference()
{
    if (m_starting) {
        // Inside the SDK's join call: leave once it has returned.
        QTimer::singleShot(0, this, &VideoWidget::slotLeaveConference);
        return;
    }
    if (m_left) {
        close();
        return;
    }
    m_left = true;
    // Every render this window started stops before any renderer goes.
    removeAllStream();
    stopSelfViewRender();
    if (m_masterRender.id != 0 && m_masterRender.label != m_ownRender.label)
        CGlobalInstance::veltoSdk->StopRenderStream(int(m_masterRender.id), m_masterRender.label);
    m_masterRender.id = 0;
    closeOwnStream();
    if (CGlobalInstance::isWhiteboard) {
        CGlobalInstance::veltoSdk->SendWhiteboard("destroy", "static/apps/drawing/index.html", "");
        CGlobalInstance::isWhiteboard = false;
    }
    if (CGlobalInstance::isSecondStreamModel) {
        removeSecondStream();
        CGlobalInstance::veltoSdk->SendAnnotate("destroy", "", "", "");
    } else if (CGlobalInstance::isShareWhiteboard) {
        CGlobalInstance::veltoSdk->SendAnnotate("destroy", "", "", "");
    }
    resetMeetingState();
    close();
}

void VideoWidget::closeEvent(QCloseEvent* event)
{
    if (CGlobalInstance::isJoinConference) {
        if (CGlobalInstance::veltoSdk->LeaveConference() != 0) {
            // No media engine: the SDK reports no leave, so end the meeting here.
            CGlobalInstance::isJoinConference = false;
            CGlobalInstance::clearUserList();
            slotLeaveConference();
        }
        if (CGlobalInstance::isAnonymousLogin)
            VideoControlWidget::endAnonymousSession();
    }
    if (!m_left)
        slotLeaveConference();
    m_statics->hide();
    m_topWidget->hide();
    m_toolbar->hideWidget();
    event->accept();
}

// ---------------------------------------------------------------------------
// Full screen, show, hide

void VideoWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (isFullScreen()) {
            m_toolbar->setFullScreen(false);
            showNormal();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_toolbar)
        return;
    const QRect screen = CGlobalInstance::getScreenRect();
    m_toolbar->setFullScreen(width() == screen.width() && height() == screen.height());
    m_pictureLabel->setGeometry(ui->videoWidget->rect());
    resizeWidget();
}

void VideoWidget::hideEvent(QHideEvent* event)
{
    if (m_statics->isVisible())
        m_statics->hide();
    if (!CGlobalInstance::anyWhiteboardOpen() && m_toolbar->isVisible()) {
        m_toolbar->hideWidget();
        m_nickname->hide();
    }
    QWidget::hideEvent(event);
}

void VideoWidget::slotShowWidget(bool isVisible)
{
    if (isVisible) {
        // Back from a whiteboard: the meeting comes back as the user left it,
        // also when the annotation had minimised it (show() alone keeps a
        // minimised window minimised, and only the toolbar would show).
        // The window's X hints still ask to map it minimised when the
        // annotation minimised it and the window manager restored it: Qt
        // follows the restore in its own state but rewrites the hints only on
        // a change of state it makes itself. So it makes one, while hidden.
        if (QWindow* handle = windowHandle(); handle && !QWidget::isVisible()) {
            // Mapped again, a window the user moved through the window
            // manager is placed anew unless its hints name its place.
            handle->setGeometry(handle->geometry());
            // (The change of state maps the window before those hints reach
            // it, so the window is placed anew: only when it is needed.)
            if (m_iconicHintMayStay) {
                handle->setWindowStates(Qt::WindowMinimized);
                handle->setWindowStates(Qt::WindowNoState);
                m_iconicHintMayStay = false;
            }
        }
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
        activateWindow();
        return;
    }
    hide();
    if (CGlobalInstance::anyWhiteboardOpen())
        isVisibleControlWidget(true);
}

void VideoWidget::slotMacVideoWidget()
{
    if (isMinimized()) {
        showNormal();
    } else {
        show();
        activateWindow();
    }
    raise();
}
