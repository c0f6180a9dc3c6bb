// The annotation overlay on a desktop without a compositor: shaped to its
// drawing, so that the live picture below shows through everywhere else, and
// (on the sharer's side) holding the pointer so that it still draws anywhere
// but over the application's other windows.
#include "qscreensharewhiteboard.h"
#include "ui_qscreensharewhiteboard.h"

#include "qwhiteboardlineedit.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QEvent>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QWindow>

#ifdef Q_OS_LINUX
#include <xcb/xcb.h>

#include <cstdlib>
#endif

bool QScreenshareWhiteboard::windowSystemComposites()
{
#ifdef Q_OS_LINUX
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    bool composites = false;
    if (!xcb_connection_has_error(connection)) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
                connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
            composites = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return composites;
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

bool QScreenshareWhiteboard::pointerIsOurs(QPoint global) const
{
    // The window system's own answer, shape and stacking included. Over the
    // application's other windows that stay on top, as the overlay does (the
    // tool menu, the toolbar, the self view), the pointer is theirs; anything
    // else lies below the overlay, which covers it.
    const QWidget* over = QApplication::topLevelAt(global);
    const bool above = over && over != this && over->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    return geometry().contains(global) && !above;
}

void QScreenshareWhiteboard::keepPointer()
{
    QWindow* window = windowHandle();
    if (!window || !isVisible())
        return releasePointer();
    // A drag in progress keeps whatever holds the pointer now.
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    if (!pointerIsOurs(QCursor::pos()))
        return releasePointer();
    // Asked again on every round: a popup of this application, or another
    // client, may have taken the pointer meanwhile.
    pointerHeld = window->setMouseGrabEnabled(true);
}

void QScreenshareWhiteboard::releasePointer()
{
    if (!pointerHeld)
        return;
    pointerHeld = false;
    if (QWindow* window = windowHandle())
        window->setMouseGrabEnabled(false);
}

void QScreenshareWhiteboard::hideEvent(QHideEvent* event)
{
    releasePointer();
    QWidget::hideEvent(event);
}
