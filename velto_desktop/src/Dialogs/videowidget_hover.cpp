// The control bar's auto-hide and the statistics panel over tiles and under
// the main view's name. The cursor is polled every 500 ms; all decisions are
// geometry.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include "cglobalinstance.h"
#include "meetinglayout.h"
#include "qnicknamewidget.h"
#include "qstaticswidget.h"
#include "subvideowidget.h"
#include "videocontrolwidget.h"

void VideoWidget::isVisibleControlWidget(bool visible)
{
    if (visible) {
        if (!m_toolbar->isHidden())
            return;
        if (CGlobalInstance::eSplitScreen == 0 && !m_nickname->getNickname().empty() && m_nickname->isHidden())
            m_nickname->show();
        m_toolbar->show();
        m_toolbar->raise();
        return;
    }
    if (m_toolbar->isHidden())
        return;
    m_toolbar->hideWidget();
    m_nickname->hide();
}

void VideoWidget::startHoverTimer()
{
    if (!m_hideTimer->isActive())
        m_hideTimer->start();
}

void VideoWidget::stopHoverTimer()
{
    if (m_hideTimer->isActive())
        m_hideTimer->stop();
}

void VideoWidget::pollCursor()
{
    if (!isVisible())
        return;
    const QPoint cursor = QCursor::pos();
    if (m_annotation && QRect(m_toolbarX, 20, m_toolbar->width(), m_toolbar->height()).contains(cursor)) {
        isVisibleControlWidget(true);
        m_toolbar->raise();
    }
    if (frameGeometry().contains(cursor) && cursor != m_lastCursor) {
        m_lastCursor = cursor;
        isVisibleControlWidget(true);
        m_hideTimer->start();  // restarts a running timer
    }
    if (CGlobalInstance::eSplitScreen != 0) {
        for (SubVideoWidget* tile : m_tiles)
            if (tile->isVisible())
                tile->leaveWidget();
        if (m_statics->isVisible())
            m_statics->hide();
        return;
    }
    bool onTile = false;
    for (SubVideoWidget* tile : m_tiles) {
        const QRect screenRect(tile->mapToGlobal(QPoint(0, 0)), tile->size());
        if (tile->isVisible() && screenRect.contains(cursor)) {
            tile->enterWidget();
            onTile = true;
        } else {
            tile->leaveWidget();
        }
    }
    if (!onTile && m_statics->isVisible())
        armStatsHide();
}

void VideoWidget::hideControlBarTimeout()
{
    if (CGlobalInstance::anyWhiteboardOpen() || !isVisible())
        return;
    const QPoint cursor = QCursor::pos();
    if (!frameGeometry().contains(cursor)) {
        if (!m_toolbar->frameGeometry().contains(cursor))
            isVisibleControlWidget(false);
        return;
    }
    if (cursor == m_lastCursor)
        isVisibleControlWidget(false);
}

void VideoWidget::followFocus(QWindow* focus)
{
    if (focus && focus != windowHandle())
        connect(focus, &QWindow::visibleChanged, this, &VideoWidget::onFocusWindowHidden, Qt::UniqueConnection);
}

void VideoWidget::onFocusWindowHidden(bool visible)
{
    // Only a window that goes while it has the focus: when another
    // application is in front, it keeps the focus.
    if (visible || sender() != QGuiApplication::focusWindow())
        return;
    QTimer::singleShot(0, this, [this] {
        const QWindow* focus = QGuiApplication::focusWindow();
        if (!isVisible() || isMinimized() || (focus && focus->isVisible()))
            return;
        activateWindow();
        if (!m_pollTimer->isActive())
            m_pollTimer->start();
    });
}

void VideoWidget::armStatsHide()
{
    if (m_statics->isVisible())
        m_statsHideTimer->start();
}

void VideoWidget::showStatistics(const std::string& jid, unsigned renderId,
                                 const std::function<QRect(bool moderator, int height)>& place)
{
    m_statsHideTimer->stop();
    m_statics->setResolution(0, 0);
    m_statics->setUserJid(jid);
    int w = 0, h = 0;
    if (renderId != 0 && CGlobalInstance::veltoSdk->GetStreamAspect(renderId, &w, &h))
        m_statics->setResolution(w, h);
    const bool moderator = CGlobalInstance::veltoSdk->isModerator();
    m_statics->showWidget(moderator);
    m_statics->setGeometry(place(moderator, m_statics->height()));
}

void VideoWidget::onTileEnter(int x, int y, int width)
{
    if (auto* tile = qobject_cast<SubVideoWidget*>(sender()))
        showStatistics(tile->getUserJid(), tile->getRtcIndex(), [=](bool moderator, int height) {
            return MeetingLayout::statsPanelOverTile(x, y, width, moderator, height);
        });
}

void VideoWidget::onNicknameEnter(int x, int y)
{
    showStatistics(m_nickname->getUserJid(), m_nickname->getIndex(), [=](bool moderator, int height) {
        return MeetingLayout::statsPanelBelowName(x, y, moderator, height);
    });
}

void VideoWidget::onTileStat(std::string userJid, int download, int upload)
{
    auto* tile = qobject_cast<SubVideoWidget*>(sender());
    if (tile && tile->getUserJid() == userJid && m_statics->isVisible())
        m_statics->setPacketLoss(download, upload);
}
