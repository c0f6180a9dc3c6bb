#include "qwhiteboardlineedit.h"

#include "Whiteboard/drawingmessage.h"

#include <QMouseEvent>

QWhiteboardLineEdit::QWhiteboardLineEdit(QWidget* parent) : QLineEdit(parent)
{
    setObjectName("lineEdit");
    setPlaceholderText(tr("Type here:"));
    setCursor(Qt::SizeAllCursor);
    setFixedWidth(300);
    setMaxLength(drawing::kMaxTextLength);
    setFocus();
}

void QWhiteboardLineEdit::enterPress()
{
    hide();
    clear();
    setPlaceholderText(tr("Type here:"));
}

// The box's own press handling is skipped: a press starts a drag.
void QWhiteboardLineEdit::mousePressEvent(QMouseEvent* event) { drag.press(event); }

void QWhiteboardLineEdit::mouseMoveEvent(QMouseEvent* event) { drag.move(this, event); }

void QWhiteboardLineEdit::mouseReleaseEvent(QMouseEvent*) { drag.release(); }
