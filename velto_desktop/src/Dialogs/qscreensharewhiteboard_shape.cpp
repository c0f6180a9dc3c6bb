// The annotation overlay on a desktop without a compositor: shaped to its
// drawing, so that the live picture below shows through everywhere else, and
// (on the sharer's side) holding the pointer so that it still draws anywhere.
#include "qscreensharewhiteboard.h"
#include "ui_qscreensharewhiteboard.h"

#include "qwhiteboardlineedit.h"

#include <QBitmap>
#include <QCursor>
#include <QEvent>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <QX11Info>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace {

#ifdef Q_OS_LINUX
bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb") && QX11Info::connection(); }
#endif

}  // namespace

bool QScreenshareWhiteboard::windowSystemComposites()
{
#ifdef Q_OS_LINUX
    if (!onX11())
        return true;
    return QX11Info::isCompositingManagerRunning(QX11Info::appScreen());
#else
    return true;
#endif
}

void QScreenshareWhiteboard::shapeToDrawing()
{
    if (!shaped) {
        shaped = true;
        // Every pixel shown is drawing: edges blended with nothing would show
        // dark where no compositor mixes them with the picture below.
        ui->graphicsView->setRenderHint(QPainter::Antialiasing, false);
    }
    drawnRegion = QRegion();
    drawingChanged({scene->sceneRect()});
}

// The scene's drawing changed in areas (scene coordinates, which are the
// overlay's): the shape follows it there.
void QScreenshareWhiteboard::drawingChanged(const QList<QRectF>& areas)
{
    if (!shaped)
        return;
    const QRect overlay = rect();
    for (const QRectF& changed : areas) {
        const QRect area = changed.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(overlay);
        if (area.isEmpty())
            continue;
        QImage drawn(area.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        {
            QPainter painter(&drawn);
            scene->render(&painter, QRectF(drawn.rect()), QRectF(area));
        }
        drawnRegion -= area;
        drawnRegion += QRegion(QBitmap::fromImage(drawn.createAlphaMask())).translated(area.topLeft());
    }
    // Before the views repaint what changed: painting is clipped to the shape,
    // so a shape set after them would show the bare window where it grew.
    applyMask();
}

void QScreenshareWhiteboard::applyMask()
{
    if (!shaped)
        return;
    QRegion shown = drawnRegion;
    if (lineEdit->isVisible())
        shown += lineEdit->geometry();
    // An empty region would lift the shape altogether: keep one pixel.
    setMask(shown.isEmpty() ? QRegion(0, 0, 1, 1) : shown);
}

bool QScreenshareWhiteboard::eventFilter(QObject* watched, QEvent* event)
{
    // The text box is part of the shape wherever it goes.
    if (watched == lineEdit && (event->type() == QEvent::Show || event->type() == QEvent::Hide ||
                                event->type() == QEvent::Move || event->type() == QEvent::Resize))
        applyMask();
    return QWidget::eventFilter(watched, event);
}

void QScreenshareWhiteboard::keepPointer()
{
#ifdef Q_OS_LINUX
    if (!onX11() || !isVisible())
        return releasePointer();
    // A drag in progress keeps whatever holds the pointer now.
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    if (!geometry().contains(QCursor::pos()))
        return releasePointer();
    // Asked again on every round: a popup of this application, or another
    // client, may have taken the pointer meanwhile. Events over this
    // application's other windows still reach them (owner events).
    xcb_connection_t* connection = QX11Info::connection();
    const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                            XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;
    xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(
        connection,
        xcb_grab_pointer(connection, 1, xcb_window_t(winId()), events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr);
    pointerHeld = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
#endif
}

void QScreenshareWhiteboard::releasePointer()
{
#ifdef Q_OS_LINUX
    if (!pointerHeld)
        return;
    pointerHeld = false;
    if (onX11()) {
        xcb_ungrab_pointer(QX11Info::connection(), XCB_CURRENT_TIME);
        xcb_flush(QX11Info::connection());
    }
#endif
}

void QScreenshareWhiteboard::hideEvent(QHideEvent* event)
{
    releasePointer();
    QWidget::hideEvent(event);
}
