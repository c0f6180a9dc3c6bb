// The control bar's auto-hide and the statistics panel over tiles and under
// the main view's name. The cursor is polled every 500 ms; all decisions are
// geometry.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QApplication>
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
        showToolbarWindow();
        return;
    }
    if (m_toolbar->isHidden())
        return;
    m_toolbar->hideWidget();
    m_nickname->hide();
}

// The window manager minimises the bar along with the meeting window, its
// transient parent, when the annotation's minimising reaches it while the bar
// is shown (late, on a loaded machine, after the cursor poll brought the bar
// back). Qt keeps that state, also once the bar was hidden: shown again, it
// maps minimised, off screen though shown, and clicks at its place land on the
// desktop. It comes back as a window of its own.
void VideoWidget::showToolbarWindow()
{
    if (m_toolbar->isMinimized()) {
        // Withdrawn first: asked to map while minimised, the window manager
        // would restore the meeting window with it.
        if (!m_toolbar->isHidden())
            m_toolbar->hide();
        m_toolbar->setWindowState(m_toolbar->windowState() & ~Qt::WindowMinimized);
    }
    m_toolbar->show();
    m_toolbar->raise();
}

void VideoWidget::keepToolbarOnScreen()
{
    if (!m_toolbar->isHidden() && m_toolbar->isMinimized())
        showToolbarWindow();
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
    // The bar lives at the top of the screen, mostly outside the meeting
    // window: a pointer that goes there for it brings a hidden bar back, so
    // that its click does not land on the desktop instead.
    if (m_toolbar->isHidden() && QRect(m_toolbarX, 0, m_toolbar->width(), m_toolbar->height()).contains(cursor)) {
        isVisibleControlWidget(true);
        m_hideTimer->start();
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
    // A pointer resting on the bar is about to click it, also where the bar
    // lies over the meeting window (full screen, a window at the top): hiding
    // it then would hand the click to whatever lies below.
    if (m_toolbar->isVisible() && m_toolbar->frameGeometry().contains(cursor))
        return;
    if (!frameGeometry().contains(cursor) || cursor == m_lastCursor)
        isVisibleControlWidget(false);
}

void VideoWidget::followFocus(QWindow* focus)
{
    // A popup (a combo box's list, a menu) hands the focus back to the window
    // it opened from: that one keeps it, not the meeting.
    if (focus && focus != windowHandle() && focus->type() != Qt::Popup && focus->type() != Qt::ToolTip)
        connect(focus, &QWindow::visibleChanged, this, &VideoWidget::onFocusWindowHidden, Qt::UniqueConnection);
}

void VideoWidget::onFocusWindowHidden(bool visible)
{
    // Only a window that goes while it has the focus: when another
    // application is in front, it keeps the focus.
    auto* gone = qobject_cast<QWindow*>(sender());
    if (visible || !gone || gone != QGuiApplication::focusWindow() || gone->type() == Qt::Popup)
        return;
    QTimer::singleShot(0, this, [this] {
        const QWindow* focus = QGuiApplication::focusWindow();
        if (!isVisible() || isMinimized() || (focus && focus->isVisible()))
            return;
        // A dialog that blocks the meeting (the layout manager, the hands-up
        // list) gets the focus back, and stays in front of the meeting.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this && modal->isVisible()) {
            modal->activateWindow();
            return;
        }
        activateWindow();
        if (!m_pollTimer->isActive())
            m_pollTimer->start();
    });
}

// Armed by every poll that finds the cursor off the tiles: a running shot is
// left to run, since restarting it each poll (the same 500 ms) would keep it
// from ever firing.
void VideoWidget::armStatsHide()
{
    if (m_statics->isVisible() && !m_statsHideTimer->isActive())
        m_statsHideTimer->start();
}

// The panel stays while the cursor is on what it describes (the tile or the
// name) or on the panel itself.
void VideoWidget::hideStatsUnlessHovered()
{
    if (!m_statics->isVisible())
        return;
    const QPoint cursor = QCursor::pos();
    if (m_statsAnchor.contains(cursor) || m_statics->frameGeometry().contains(cursor))
        return;
    m_statics->hide();
}

void VideoWidget::showStatistics(const std::string& jid, unsigned renderId, const QRect& anchor,
                                 const std::function<QRect(bool moderator, int height)>& place)
{
    m_statsHideTimer->stop();
    m_statsAnchor = anchor;
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
    auto* tile = qobject_cast<SubVideoWidget*>(sender());
    if (!tile)
        return;
    const auto place = [=](bool moderator, int height) {
        return MeetingLayout::statsPanelOverTile(x, y, width, moderator, height);
    };
    showStatistics(tile->getUserJid(), tile->getRtcIndex(), QRect(x, y, width, tile->height()), place);
}

void VideoWidget::onNicknameEnter(int x, int y)
{
    const auto place = [=](bool moderator, int height) {
        return MeetingLayout::statsPanelBelowName(x, y, moderator, height);
    };
    showStatistics(m_nickname->getUserJid(), m_nickname->getIndex(), QRect(QPoint(x, y), m_nickname->size()), place);
}

void VideoWidget::onTileStat(std::string userJid, int download, int upload)
{
    auto* tile = qobject_cast<SubVideoWidget*>(sender());
    if (tile && tile->getUserJid() == userJid && m_statics->isVisible())
        m_statics->setPacketLoss(download, upload);
}
