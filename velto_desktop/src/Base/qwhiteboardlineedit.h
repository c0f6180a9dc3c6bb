#pragma once

#include <QLineEdit>
#include "dragmover.h"

// The text box of the drawing windows: typed into like a line edit, dragged
// anywhere with the mouse; Return is left to the parent window, which commits.
class QWhiteboardLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit QWhiteboardLineEdit(QWidget* parent = nullptr);

    // Hides the box and empties it after a text was committed (or not).
    void enterPress();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    DragMover drag;
};
