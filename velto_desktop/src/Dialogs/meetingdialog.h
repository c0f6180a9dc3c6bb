#pragma once
// What the meeting's small one-shot dialogs share: the window setup and the
// keys. Return or Enter confirms, unless Cancel has the keyboard focus, when it
// closes; every other key that reaches the dialog is swallowed.

#include <QIcon>
#include <QKeyEvent>
#include <QWidget>

// A parentless, application-modal dialog with the program's icon that deletes
// itself on close; `removed` are the title-bar buttons it goes without.
inline void setupOneShotDialog(QWidget* dialog, const QString& title,
                               Qt::WindowFlags removed = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)
{
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    dialog->setWindowIcon(QIcon(":/images/logo"));
    dialog->setWindowFlags(dialog->windowFlags() & ~removed);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAttribute(Qt::WA_ShowModal);
}

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
