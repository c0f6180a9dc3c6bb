#pragma once

#include <QGraphicsView>
#include <QPoint>

// The whiteboard's canvas: left-button activity becomes three position
// signals; nothing reaches the scene's items.
class QBaseGraphicsView : public QGraphicsView {
    Q_OBJECT
public:
    explicit QBaseGraphicsView(QWidget* parent = nullptr);

signals:
    void sigMousePress(QPoint point);
    void sigMouseMove(QPoint point);
    void sigMouseRelease(QPoint point);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
};
