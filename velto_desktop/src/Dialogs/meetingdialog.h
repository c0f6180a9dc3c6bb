#pragma once
// What the meeting's small one-shot dialogs share: the window setup and the
// keys. Return or Enter confirms, unless Cancel has the keyboard focus, when it
// closes; every other key that reaches the dialog is swallowed.

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "meetinglayout.h"

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

// Before the first show: the dialog opens centred over `window` (the meeting
// window) and, as a transient of it, the window manager keeps it above that
// window, also when something raises or activates the meeting window.
inline void placeOverWindow(QWidget* dialog, QWidget* window)
{
    if (!window)
        return;
    dialog->ensurePolished();
    const QRect over = window->frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(over.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    dialog->move(MeetingLayout::centredOver(over, dialog->size(), screen->availableGeometry()));
    dialog->winId();
    window->winId();
    dialog->windowHandle()->setTransientParent(window->windowHandle());
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
