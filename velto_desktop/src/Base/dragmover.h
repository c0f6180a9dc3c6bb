#pragma once

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

// Moves a widget by exactly the mouse's movement on the screen between a press
// and a release (the tool menu, the drawing text box).
class DragMover {
public:
    void press(const QMouseEvent* event)
    {
        pressed = true;
        lastGlobalPos = event->screenPos().toPoint();
    }
    void move(QWidget* widget, const QMouseEvent* event)
    {
        if (!pressed)
            return;
        const QPoint global = event->screenPos().toPoint();
        widget->move(widget->pos() + global - lastGlobalPos);
        lastGlobalPos = global;
    }
    void release() { pressed = false; }

private:
    bool pressed = false;
    QPoint lastGlobalPos;
};
