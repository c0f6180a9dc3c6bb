#pragma once

#include "dragmover.h"
#include <QWidget>

namespace Ui {
class WhiteboardMenuWidget;
}

// The floating tool menu of the annotation overlay: a frameless window on top
// of everything, dragged by its background. It decides nothing: each control
// emits a signal that the overlay owning the menu interprets.
class WhiteboardMenuWidget : public QWidget {
    Q_OBJECT
public:
    explicit WhiteboardMenuWidget(QWidget* parent = nullptr);
    ~WhiteboardMenuWidget() override;

signals:
    void sigColor(QString color);
    void sigWorkMode(int mode);
    void sigPenSize(int size);
    void sigExit();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Ui::WhiteboardMenuWidget* ui;
    DragMover drag;
};
