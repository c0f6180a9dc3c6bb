// The video wall: the tile pool, the strip and grid placement, the side panels
// that widen or narrow the window, and the strip switch.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QDebug>

#include "cglobalinstance.h"
#include "meetinglayout.h"
#include "qnicknamewidget.h"
#include "subvideowidget.h"

void VideoWidget::createSubVideoWidget(int)
{
    auto* tile = new SubVideoWidget(ui->videoWidget);
    connect(tile, &SubVideoWidget::sigEnterWidget, this, &VideoWidget::onTileEnter);
    connect(tile, &SubVideoWidget::sigLeaveWidget, this, &VideoWidget::armStatsHide);
    connect(tile, &SubVideoWidget::sigStat, this, &VideoWidget::onTileStat);
    tile->hide();
    m_tiles.push_back(tile);
}

int VideoWidget::videoAreaWidth() const
{
    return MeetingLayout::videoAreaWidth(width(), !ui->m_infoWidget->isHidden(), !ui->chatWidget->isHidden());
}

void VideoWidget::calcSubVideoWidget(SubVideoWidget* tile, int index)
{
    if (!tile)
        return;
    const QRect cell = MeetingLayout::stripTile(videoAreaWidth(), height(), index);
    if (tile->geometry() == cell)
        return;
    qDebug() << "calcSubVideoWidget strip" << index << cell;
    tile->resetGeometry(cell.x(), cell.y(), cell.width(), cell.height(), true);
}

void VideoWidget::calcSubVideoWidget(SubVideoWidget* tile, int count, int index)
{
    if (!tile)
        return;
    const QRect cell = MeetingLayout::gridTile(videoAreaWidth(), height(), count, index);
    qDebug() << "calcSubVideoWidget grid" << count << index << cell;
    if (tile->geometry() == cell)
        return;
    tile->resetGeometry(cell.x(), cell.y(), cell.width(), cell.height(), false);
}

void VideoWidget::resizeWidget()
{
    QMutexLocker lock(&m_layoutMutex);
    for (SubVideoWidget* tile : m_tiles) {
        const int index = tile->getCurIndex();
        if (index == -1)
            continue;
        if (CGlobalInstance::eSplitScreen != 0)
            calcSubVideoWidget(tile, m_tileCount, index);
        else
            calcSubVideoWidget(tile, index);
    }
}

SubVideoWidget* VideoWidget::getVideoWidgetByJid(std::string jid)
{
    SubVideoWidget* free = nullptr;
    for (SubVideoWidget* tile : m_tiles) {
        if (!jid.empty() && tile->getUserJid() == jid)
            return tile;
        if (!tile->isDrawVideo())
            free = tile;
    }
    if (!free)
        qDebug() << "== getVideoWidgetByJid error ==";
    return free;
}

void VideoWidget::removeAllStream()
{
    for (SubVideoWidget* tile : m_tiles) {
        tile->hideWidget();
        tile->deleteLater();
    }
    m_tiles.clear();
}

void VideoWidget::showPanel(QWidget* panel, bool isVisible)
{
    const int screenWidth = CGlobalInstance::getScreenRect().width();
    // Positions are the frame's, so that the window does not creep by a title
    // bar each time; the width is the client's.
    const QRect frame(frameGeometry().topLeft(), size());
    if (isVisible) {
        const bool widened = !ui->m_infoWidget->isHidden() || !ui->chatWidget->isHidden();
        if (!widened)
            m_widthBeforeWidening = width();
        panel->show();
        const QRect wider = widened ? QRect() : MeetingLayout::widenedFrame(screenWidth, frame);
        if (wider.isValid() && !isFullScreen()) {
            move(wider.x(), frame.y());
            resize(wider.width(), height());
        } else {
            resizeWidget();
        }
        return;
    }
    panel->hide();
    const bool stillWidened = !ui->m_infoWidget->isHidden() || !ui->chatWidget->isHidden();
    const QRect narrower =
        stillWidened ? QRect() : MeetingLayout::narrowedFrame(screenWidth, frame, m_widthBeforeWidening);
    if (narrower.isValid() && !isFullScreen()) {
        move(narrower.x(), frame.y());
        resize(narrower.width(), height());
    } else {
        resizeWidget();
    }
}

void VideoWidget::slotShowUserInfoWidget(bool isVisible)
{
    m_nickname->move(isVisible ? 300 : 20, 10);
    showPanel(ui->m_infoWidget, isVisible);
}

void VideoWidget::slotShowChatWidget(bool isVisible) { showPanel(ui->chatWidget, isVisible); }

void VideoWidget::slotShowSubVideoWidget(bool isVisible)
{
    m_tilesShown = isVisible;
    for (SubVideoWidget* tile : m_tiles) {
        if (isVisible && tile->isDrawVideo())
            tile->show();
        else if (!isVisible)
            tile->hide();
    }
}

void VideoWidget::resetVideoWidgetPosX(rtc_render render, int i)
{
    for (SubVideoWidget* tile : m_tiles)
        if (tile->renderer() == render.window)
            tile->move(CGlobalInstance::calcVideoWidgetPosX(videoAreaWidth(), i), tile->y());
}
