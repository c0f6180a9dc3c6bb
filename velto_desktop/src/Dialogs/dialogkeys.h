#pragma once
// The small meeting dialogs' keys: Return or Enter confirms, unless Cancel
// has the keyboard focus, when it closes; every other key that reaches the
// dialog is swallowed.

#include <QKeyEvent>
#include <QWidget>

template <typename Confirm>
void handleConfirmKey(QKeyEvent* event, QWidget* dialog, const QWidget* cancel, Confirm confirm)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    if (cancel->hasFocus())
        dialog->close();
    else
        confirm();
}
