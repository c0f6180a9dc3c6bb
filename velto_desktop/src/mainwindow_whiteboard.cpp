// The whiteboard relay: whiteboard messages reach the main window only while
// the user is in a meeting; a viewer's read-only whiteboard opens on "create",
// draws what arrives, and closes on "destroy" or when the meeting is left.
#include "mainwindow.h"

#include "Whiteboard/drawingmessage.h"
#include "systemtray.h"
#include "videowidget.h"
#include "whiteboardwidget.h"

void MainWindow::slotWhiteBoard(std::string action, std::string data)
{
    switch (drawing::classifyAction(action)) {
    case drawing::Action::Create:
        // This client's own whiteboard needs no copy of itself.
        if (whiteboardWidget || CGlobalInstance::isWhiteboard)
            return;
        whiteboardWidget = new WhiteboardWidget(false, nullptr);
        connect(this, &MainWindow::sigDrawWhiteboard, whiteboardWidget, &WhiteboardWidget::slotDrawWhiteboard);
        connect(this, &MainWindow::sigTextWhiteboard, whiteboardWidget, &WhiteboardWidget::slotTextWhiteboard);
        connect(this, &MainWindow::sigClearWhiteboard, whiteboardWidget, &WhiteboardWidget::slotClearWhiteboard);
        connect(m_tray, &SystemTray::sigTranslatorLanguage, whiteboardWidget,
                &WhiteboardWidget::slotTranslatorLanguage);
        whiteboardWidget->showWidget();
        // Set before the meeting window hides, so that it keeps its control bar.
        CGlobalInstance::isWhiteboardViewer = true;
        emit sigShowVideoWidget(false);
        return;
    case drawing::Action::Message: {
        const drawing::Incoming in = drawing::decodeMessage(data, drawing::Channel::Whiteboard);
        switch (in.kind) {
        case drawing::Incoming::DrawStroke:
            emit sigDrawWhiteboard(in.stroke.start, in.stroke.end, in.stroke.penType, in.stroke.penColor,
                                   in.stroke.penSize);
            break;
        case drawing::Incoming::DrawText:
            emit sigTextWhiteboard(in.text.point, in.text.text);
            break;
        case drawing::Incoming::GetInit:
            emit sigGetInit();
            break;
        case drawing::Incoming::Clear:
            emit sigClearWhiteboard();
            break;
        case drawing::Incoming::None:
            break;
        }
        return;
    }
    case drawing::Action::Destroy:
        clearWhiteboard();
        emit sigShowVideoWidget(true);
        return;
    case drawing::Action::Ignored:
        return;
    }
}

void MainWindow::clearWhiteboard()
{
    if (!whiteboardWidget)
        return;
    CGlobalInstance::isWhiteboardViewer = false;
    whiteboardWidget->close();
    // May run inside a signal of the SDK's delivery: never delete in place.
    whiteboardWidget->deleteLater();
    whiteboardWidget = nullptr;
}

void MainWindow::connectDrawerWhiteboard(VideoWidget* video)
{
    auto close = [this] {
        if (!m_drawerWhiteboard)
            return;
        m_drawerWhiteboard->close();
        // The signal comes from inside the toolbar's handlers: never delete in place.
        m_drawerWhiteboard->deleteLater();
        m_drawerWhiteboard = nullptr;
    };
    connect(video, &VideoWidget::sigWhiteboard, this, [this, video, close](bool open) {
        if (!open) {
            close();
            return;
        }
        if (m_drawerWhiteboard)
            return;
        m_drawerWhiteboard = new WhiteboardWidget(true, nullptr);
        // A replay request reaches the drawer for as long as both live.
        connect(video, &VideoWidget::sigGetInit, m_drawerWhiteboard.data(), &WhiteboardWidget::slotGetInit);
        connect(m_tray, &SystemTray::sigTranslatorLanguage, m_drawerWhiteboard.data(),
                &WhiteboardWidget::slotTranslatorLanguage);
        m_drawerWhiteboard->showWidget();
    });
    // The meeting's end closes the drawer's whiteboard too.
    connect(video, &QObject::destroyed, this, close);
}

WhiteboardWidget* MainWindow::drawerWhiteboard() const { return m_drawerWhiteboard.data(); }

// The windows go with the main window, outside any signal: deleted at once.
void MainWindow::deleteWhiteboards()
{
    delete whiteboardWidget;
    whiteboardWidget = nullptr;
    delete m_drawerWhiteboard.data();
}
