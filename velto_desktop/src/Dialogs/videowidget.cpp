#include "videowidget.h"

#include <QIcon>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

#include "Dialogs/qnoticewidget.h"
#include "QGLRenderInterface.h"
#include "Tools/settings.h"
#include "cglobalinstance.h"

namespace {

// A stored position counts only when it lies inside the list; -1 and anything
// out of range give the first device.
size_t positionOrFirst(int stored, size_t count) { return unsigned(stored) < count ? size_t(stored) : 0; }

}  // namespace

VideoWidget::VideoWidget(QWidget* parent)
    : QWidget(parent), m_videoWidget(new QWidget(this)), m_pictureLabel(new QLabel(this))
{
    setObjectName("VideoWidget");
    setWindowTitle(tr("Conference Room"));
    setWindowIcon(QIcon(":/images/logo"));
    setMinimumSize(1200, 675);
    setMouseTracking(true);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_videoWidget);
    layout->addWidget(m_pictureLabel);
    m_pictureLabel->setPixmap(QPixmap(":/icons/no_video").scaled(90, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_pictureLabel->setAlignment(Qt::AlignCenter);
    m_pictureLabel->hide();

    m_ownRender.window = QGLRenderInterface::CreateRender(m_videoWidget);
    m_ownRender.id = unsigned(-1);
}

VideoWidget::~VideoWidget()
{
    // The engine must stop drawing into the main view before it goes.
    closeOwnStream();
    qDeleteAll(m_notices);
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

void VideoWidget::showWidget()
{
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
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
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
    CGlobalInstance::userInfo.videoLabel = m_ownRender.label;

    CGlobalInstance::isAudioMute = CGlobalInstance::preferences.audioMute || !conference.withAudio;
    CGlobalInstance::veltoSdk->EnableStreamAudio(!CGlobalInstance::isAudioMute);
    CGlobalInstance::isVideoMute = CGlobalInstance::preferences.videoMute || !conference.withVideo;
    CGlobalInstance::veltoSdk->EnableStreamVideo(!CGlobalInstance::isVideoMute);
    m_videoWidget->setVisible(!CGlobalInstance::isVideoMute);
    m_pictureLabel->setVisible(CGlobalInstance::isVideoMute);
}

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

void VideoWidget::slotLeaveConference()
{
    closeOwnStream();
    if (CGlobalInstance::isWhiteboard) {
        CGlobalInstance::veltoSdk->SendWhiteboard("destroy", "static/apps/drawing/index.html", "");
        CGlobalInstance::isWhiteboard = false;
    }
    if (CGlobalInstance::isSecondStreamModel || CGlobalInstance::isShareWhiteboard) {
        if (CGlobalInstance::isSecondStreamModel)
            CGlobalInstance::veltoSdk->RemoveScreenShareStream(CGlobalInstance::userInfo.shareLabel);
        CGlobalInstance::veltoSdk->SendAnnotate("destroy", "", "", "");
        CGlobalInstance::isShareWhiteboard = false;
    }
    close();
}

void VideoWidget::closeEvent(QCloseEvent* event)
{
    if (CGlobalInstance::isJoinConference) {
        CGlobalInstance::veltoSdk->LeaveConference();
        if (CGlobalInstance::isAnonymousLogin) {
            CGlobalInstance::veltoSdk->Logout();
            QCoreApplication::exit(0);
        }
    }
    event->accept();
}

void VideoWidget::slotNotice(int notice)
{
    auto* widget = new QNoticeWidget(int(m_notices.size()), notice, geometry(), nullptr);
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

void VideoWidget::slotShowSubWidget(std::string, bool, std::string, int splitScreen, std::string partipants)
{
    CGlobalInstance::eSplitScreen = splitScreen;
    CGlobalInstance::user_subwidgets = CGlobalInstance::split(partipants, ",");
}

void VideoWidget::slotShowWidget(bool isVisible) { setVisible(isVisible); }

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

// The panels these events belong to are not part of this build.
void VideoWidget::slotUpdateMasterScreen(std::string, std::string, bool) {}
void VideoWidget::slotChangeNickname(std::string) {}
void VideoWidget::slotTranferModerator(std::string) {}
void VideoWidget::slotRemoveUser(std::string) {}
void VideoWidget::slotChatMessage(std::string, std::string) {}
void VideoWidget::slotAnnotate(std::string, std::string, std::string) {}
