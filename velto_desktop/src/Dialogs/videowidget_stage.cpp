// The stage: the server's stage message chooses the layout mode, the stream on
// the main view and the participants in tiles; the own camera's capture size
// follows the size at which the own video is shown. Also the main view's
// picture (own and remote video mute, telephone participants), the self view
// and the name on the main view.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QDebug>
#include <QLabel>

#include <set>

#include "QGLRenderInterface.h"
#include "cglobalinstance.h"
#include "meetinglayout.h"
#include "qnicknamewidget.h"
#include "qtopwidget.h"
#include "subvideowidget.h"
#include "Tools/logtext.h"
#include "videocontrolwidget.h"

namespace {
bool isOwnEndpoint(const std::string& endpoint)
{
    return endpoint.empty() || endpoint == CGlobalInstance::getEndpointByJid(CGlobalInstance::userInfo.myJid);
}
}  // namespace

void VideoWidget::slotShowSubWidget(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                                    std::string partipants)
{
    QMutexLocker lock(&m_layoutMutex);
    const std::string& myJid = CGlobalInstance::userInfo.myJid;
    const bool surround = splitScreen == 0;

    // 1. Layout mode.
    if (splitScreen != CGlobalInstance::eSplitScreen) {
        CGlobalInstance::eSplitScreen = splitScreen;
        if (surround) {
            if (ui->m_videoWidget->isHidden() && !CGlobalInstance::isVideoMute) {
                const std::string& stage = CGlobalInstance::conferenceInfo.stageJid;
                if (CGlobalInstance::isPhoneOrSip(stage)) {
                    showMainPicture(":/icons/phone_1");
                } else if (stage == myJid) {
                    showMainVideo();
                    CGlobalInstance::setMasterVideoResolution(m_ownRender.label, true);
                } else if (!CGlobalInstance::getVideoMuteByLabel(m_masterRender.label)) {
                    showMainVideo();
                }
            }
            if (!m_nickname->getNickname().empty())
                m_nickname->show();
        } else {
            m_nickname->hide();
            m_pictureLabel->hide();
            ui->m_videoWidget->hide();
        }
    }

    // 2. Entries.
    CGlobalInstance::user_subwidgets = CGlobalInstance::split(partipants, ",");
    const std::vector<MeetingLayout::StageEntry> entries = MeetingLayout::stageTileEntries(partipants, splitScreen);
    m_tileCount = int(entries.size());

    // 3. Main screen.
    if (surround) {
        if (stageJid == myJid) {
            CGlobalInstance::conferenceInfo.stageJid = stageJid;
            slotUpdateMasterScreen(m_ownRender.label, CGlobalInstance::userInfo.mUserName, false);
        } else {
            // The stream is found by its source; a participant without video
            // has none and is found by its address.
            std::string label, nickname;
            const bool found = ssrc.empty()
                                   ? !screen && CGlobalInstance::getUserWithoutVideo(stageJid, label, nickname) == 0
                                   : CGlobalInstance::getUserBySsrc(ssrc, label, nickname, screen) == 0;
            if (found) {
                CGlobalInstance::conferenceInfo.stageJid = stageJid;
                slotUpdateMasterScreen(label, nickname, screen);
            }
        }
    }

    // 4. Free the tiles whose participant left the stage (endpoints compared exactly).
    std::set<std::string> wanted;
    for (const auto& entry : entries)
        wanted.insert(isOwnEndpoint(entry.endpoint) ? CGlobalInstance::getEndpointByJid(myJid) : entry.endpoint);
    for (SubVideoWidget* tile : m_tiles) {
        if (!tile->isDrawVideo() && tile->isHidden())
            continue;
        if (tile->getUserJid().empty() || !wanted.count(CGlobalInstance::getEndpointByJid(tile->getUserJid())))
            tile->hideWidget();
    }

    // 5. Fill tiles. Assigned tiles are tracked by pointer, so that entries
    // without a known participant never share a tile.
    std::set<SubVideoWidget*> assigned;
    auto tileFor = [&](const std::string& jid) -> SubVideoWidget* {
        if (!jid.empty())
            for (SubVideoWidget* tile : m_tiles)
                if (tile->getUserJid() == jid && !assigned.count(tile))
                    return tile;
        SubVideoWidget* free = nullptr;
        for (SubVideoWidget* tile : m_tiles)
            if (!tile->isDrawVideo() && !assigned.count(tile))
                free = tile;
        return free;
    };
    bool ownOnStage = false;
    for (int j = 0; j < m_tileCount; ++j) {
        const auto& entry = entries[size_t(j)];
        if (isOwnEndpoint(entry.endpoint)) {
            SubVideoWidget* tile = tileFor(myJid);
            if (!tile) {
                qDebug() << "== getVideoWidgetByJid error ==";
                continue;
            }
            assigned.insert(tile);
            const std::string name = m_ownNickname.empty() ? CGlobalInstance::userInfo.mUserName : m_ownNickname;
            tile->setUserInfo(myJid, name, j);
            if (!tile->isDrawVideo())
                tile->showVideo(m_ownRender.label, CGlobalInstance::isVideoMute);
            if (surround) {
                calcSubVideoWidget(tile, j);
                CGlobalInstance::setMasterVideoResolution(
                    m_ownRender.label, CGlobalInstance::conferenceInfo.stageJid == myJid || m_tileCount == 1);
            } else {
                calcSubVideoWidget(tile, m_tileCount, j);
                CGlobalInstance::changeVideoResolution(m_tileCount);
            }
            ownOnStage = true;
            continue;
        }
        std::string jid, nickname;
        bool videoMute = false;
        const std::string label =
            CGlobalInstance::getLabelBySsrc(entry.endpoint, entry.ssrc, jid, nickname, videoMute);
        SubVideoWidget* tile = tileFor(jid);
        if (!tile) {
            qDebug() << "== getVideoWidgetByJid error ==";
            continue;
        }
        assigned.insert(tile);
        tile->setUserInfo(jid, nickname, j);
        if (!tile->isDrawVideo() || tile->getLabel() != label)
            tile->showVideo(label, videoMute);
        if (surround)
            calcSubVideoWidget(tile, j);
        else
            calcSubVideoWidget(tile, m_tileCount, j);
    }

    // 6. Show or hide every tile.
    for (SubVideoWidget* tile : m_tiles) {
        if (!assigned.count(tile)) {
            if (tile->isDrawVideo() || tile->isVisible())
                tile->hideWidget();
        } else {
            tile->setVisible(!surround || m_tilesShown);
        }
    }

    // 7. Raise-hand button.
    if (!CGlobalInstance::veltoSdk->isModerator()) {
        const bool onStage = ownOnStage || m_masterRender.label == m_ownRender.label;
        m_toolbar->setHandsUpVisible(!CGlobalInstance::conferenceInfo.withAudio || !onStage);
    }

    // 8. A callee who answered a call placed from here (the choice goes to the server: not under the lock).
    lock.unlock();
    showCalleeIfLeftOut();
}

void VideoWidget::showCallee(std::string userJid)
{
    // Decided on the next stage update: the last one may be older than his arrival.
    m_calleeToShow = std::move(userJid);
}

void VideoWidget::showCalleeIfLeftOut()
{
    if (m_calleeToShow.empty())
        return;
    const std::string callee = CGlobalInstance::getEndpointByJid(m_calleeToShow);
    std::vector<std::string> shown;
    bool found = false;
    for (const std::string& entry : CGlobalInstance::user_subwidgets) {
        const std::string endpoint = entry.substr(0, entry.find('_'));
        if (endpoint.empty())
            continue;
        found = found || endpoint == callee;
        shown.push_back(endpoint);
    }
    if (shown.empty())
        return;  // no stage yet
    // Without a chosen list the stage names everybody; only the moderator chooses.
    if (!found && CGlobalInstance::veltoSdk->isModerator()) {
        std::string list;
        for (const std::string& endpoint : shown)
            list += endpoint + ",";
        qDebug() << "== showing the callee ==" << logText(callee);
        CGlobalInstance::veltoSdk->SelectParticipants(list + callee);
    }
    m_calleeToShow.clear();
}

void VideoWidget::slotUpdateMasterScreen(std::string label, std::string username, bool screen)
{
    if (!isVisible())
        return;
    const bool own = label.empty() || label == m_ownRender.label;
    m_nickname->setNickname(own && !m_ownNickname.empty() ? m_ownNickname : username);
    const std::string& stage = CGlobalInstance::conferenceInfo.stageJid;
    const bool phoneStage = CGlobalInstance::isPhoneOrSip(stage);
    auto refreshPicture = [&](const std::string& shown) {
        if (shown == m_ownRender.label && CGlobalInstance::isVideoMute)
            showMainPicture(":/icons/no_video");
        else if (phoneStage)
            showMainPicture(":/icons/phone_1");
        else if (shown != m_ownRender.label && CGlobalInstance::getVideoMuteByLabel(shown))
            showMainPicture(":/icons/no_video");
        else
            showMainVideo();
    };
    if (label == m_masterRender.label) {
        refreshPicture(label);
        return;
    }
    if (m_masterRender.id != 0 && !CGlobalInstance::veltoSdk->StopRenderStream(int(m_masterRender.id), m_masterRender.label))
        qDebug() << "slotUpdateMasterScreen StopRenderStream == false";
    rtc_render next;
    next.window = m_ownRender.window;
    next.label = label.empty() ? m_ownRender.label : label;
    next.id = 0;  // stays 0 (no render) for a telephone stage
    CGlobalInstance::setMasterVideoResolution(m_ownRender.label, next.label == m_ownRender.label || m_tileCount < 2);
    if (!phoneStage) {
        if (!CGlobalInstance::veltoSdk->StartRenderStream(next.window, next.id, next.label, screen))
            qDebug() << "slotUpdateMasterScreen StartRenderStream == false";
        if (next.label == m_ownRender.label)
            m_ownRender.id = next.id;
    }
    m_masterRender = next;
    refreshPicture(next.label);
    m_nickname->setUserJid(stage);
    m_nickname->setIndex(m_masterRender.id);
}

void VideoWidget::slotVideoMute(std::string label, bool isMute)
{
    const bool own = label == m_ownRender.label;
    // The own stream follows the mute even while the window is hidden (a
    // whiteboard in front): otherwise the camera would keep sending.
    if (own)
        m_toolbar->slotMuteVideo(isMute);
    if (!isVisible())
        return;
    if (own && m_topWidget->isVisible()) {
        if (!isMute)
            startSelfViewRender();
        m_topWidget->showMute(isMute);
    }
    if (CGlobalInstance::eSplitScreen == 0 && label == m_masterRender.label) {
        if (isMute)
            showMainPicture(":/icons/no_video");
        else if (!CGlobalInstance::isPhoneOrSip(CGlobalInstance::conferenceInfo.stageJid))
            showMainVideo();
    }
    for (SubVideoWidget* tile : m_tiles)
        if (tile->getLabel() == label)
            tile->setVideoMute(isMute);
}

void VideoWidget::startSelfViewRender()
{
    stopSelfViewRender();
    auto* renderer = QGLRenderInterface::CreateRender(m_topWidget->getWidget());
    if (!CGlobalInstance::veltoSdk->StartRenderStream(renderer, m_selfRenderId, m_ownRender.label, false))
        qDebug() << "self view StartRenderStream == false";
}

void VideoWidget::stopSelfViewRender()
{
    if (m_selfRenderId == 0)
        return;
    CGlobalInstance::veltoSdk->StopRenderStream(int(m_selfRenderId), m_ownRender.label);
    m_selfRenderId = 0;
}

void VideoWidget::onSelfView(bool isVisible)
{
    if (!isVisible) {
        stopSelfViewRender();
        m_topWidget->hide();
        return;
    }
    if (!CGlobalInstance::isVideoMute)
        startSelfViewRender();
    m_topWidget->showMute(CGlobalInstance::isVideoMute);
    m_topWidget->show();
}

void VideoWidget::slotChangeNickname(std::string nickname)
{
    m_ownNickname = nickname;
    if (m_masterRender.label == m_ownRender.label)
        m_nickname->setNickname(nickname);
    emit sigChangeNickname(nickname);
    for (SubVideoWidget* tile : m_tiles) {
        if (tile->getLabel() == m_ownRender.label) {
            tile->setUserInfo(CGlobalInstance::userInfo.myJid, nickname, tile->getCurIndex());
            break;
        }
    }
}

void VideoWidget::updateUserName(user_info user)
{
    if (!m_masterRender.label.empty()
        && (user.label == m_masterRender.label || user.secondLabel == m_masterRender.label))
        m_nickname->setNickname(user.nickname);
}
