// Screen share and annotation in the meeting window: the share picker starts a
// share, the toolbar stops it; one annotation overlay serves both roles, the
// sharer's (own annotate button) and the viewer's (received "create").
#include "videowidget.h"

#include "DesktopCaptureInterface.h"
#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "qscreensharewhiteboard.h"
#include "screensharewidget.h"
#include "videocontrolwidget.h"

#include <QPointer>

#include <memory>

namespace {

// The overlay finds a shared window through the capture library: its
// rectangle, then the window is raised under the overlay.
QRect sharedWindowRect(int appId)
{
    std::unique_ptr<DesktopCaptureInterface> capture(DesktopCaptureInterface::createNew());
    int x = 0, y = 0, width = 0, height = 0;
    capture->getWindowRect(appId, &x, &y, &width, &height);
    capture->selectWindow(appId);
    return QRect(x, y, width, height);
}

}  // namespace

void VideoWidget::slotShareStream(bool isShare)
{
    if (!isShare) {
        // The own drawing belongs to the share: it ends first.
        if (CGlobalInstance::isShareWhiteboard) {
            slotAnnotate(false);
            m_toolbar->showAnnotate(false);
        }
        m_toolbar->setShareBtnStatus(false);
        CGlobalInstance::isSecondStreamModel = false;
        CGlobalInstance::veltoSdk->RemoveScreenShareStream(m_shareLabel);
        return;
    }
    if (m_tileCount == 0) {
        emit sigMessageBox(700105);
        return;
    }
    openSharePicker();
}

void VideoWidget::openSharePicker()
{
    // Modal and deletes itself on close; reports a started share through
    // slotAddSecondStream.
    auto* picker = new ScreenShareWidget(static_cast<int>(winId()), nullptr);
    connect(this, &VideoWidget::sigTranslatorLanguage, picker, &ScreenShareWidget::slotTranslatorLanguage);
    connect(picker, &ScreenShareWidget::sigAddSecondStream, this, &VideoWidget::slotAddSecondStream);
    placeOverWindow(picker, this);
    picker->show();
}

void VideoWidget::removeSecondStream()
{
    if (!CGlobalInstance::isSecondStreamModel)
        return;
    CGlobalInstance::veltoSdk->RemoveScreenShareStream(m_shareLabel.empty() ? CGlobalInstance::userInfo.shareLabel
                                                                           : m_shareLabel);
    CGlobalInstance::isSecondStreamModel = false;
    m_toolbar->setShareBtnStatus(false);
}

void VideoWidget::slotAddSecondStream(std::string label)
{
    m_toolbar->setShareBtnStatus(true);
    CGlobalInstance::isSecondStreamModel = true;
    m_shareLabel = std::move(label);
    m_toolbar->showAnnotate(true);
}

void VideoWidget::slotRemoveSecondStream(std::string)
{
    m_toolbar->setShareBtnStatus(false);
    CGlobalInstance::isSecondStreamModel = false;
}

QScreenshareWhiteboard* VideoWidget::annotationOverlay()
{
    if (m_annotation)
        return static_cast<QScreenshareWhiteboard*>(m_annotation);
    auto* overlay = new QScreenshareWhiteboard(nullptr);
    adoptAnnotationOverlay(overlay);
    m_annotation = overlay;
    return overlay;
}

void VideoWidget::adoptAnnotationOverlay(QScreenshareWhiteboard* overlay)
{
    QScreenshareWhiteboard::setWindowLocator(sharedWindowRect);
    connect(this, &VideoWidget::sigAnnotateGetInit, overlay, &QScreenshareWhiteboard::slotAnnotateGetInit);
    connect(this, &VideoWidget::sigCreateAnnotate, overlay, &QScreenshareWhiteboard::slotCreateAnnotate);
    connect(this, &VideoWidget::sigDrawLine, overlay, &QScreenshareWhiteboard::slotDrawLine);
    connect(this, &VideoWidget::sigDrawText, overlay, &QScreenshareWhiteboard::slotDrawText);
    connect(this, &VideoWidget::sigClear, overlay, &QScreenshareWhiteboard::slotClear);
    connect(overlay, &QScreenshareWhiteboard::sigAnnotateExit, this, [this] {
        slotAnnotate(false);
        m_toolbar->showAnnotate(false);
    });
}

// The overlay may be the sender of the signal that ends it: deleted later.
void VideoWidget::closeAnnotationOverlay()
{
    if (!m_annotation)
        return;
    m_annotation->close();
    m_annotation->deleteLater();
    m_annotation = nullptr;
}

void VideoWidget::slotAnnotate(bool isAnnotate)
{
    if (isAnnotate) {
        CGlobalInstance::isShareWhiteboard = true;
        annotationOverlay()->setParentAndShow(CGlobalInstance::selectAppId, true);
        m_toolbar->raise();
        showMinimized();
        return;
    }
    CGlobalInstance::isShareWhiteboard = false;
    // A refused "destroy" (only the moderator's sends get through) keeps the
    // overlay: the others still see the drawing.
    if (CGlobalInstance::veltoSdk->SendAnnotate("destroy", "", "", "") == 0)
        closeAnnotationOverlay();
}

// Received annotation events: the overlay's relay applies the channel's
// receiving rules (moderator only, the sharer's own overlay untouched) and
// places, feeds or ends the viewer overlay.
void VideoWidget::slotAnnotate(std::string action, std::string data, std::string userjid)
{
    QPointer<QScreenshareWhiteboard> overlay = static_cast<QScreenshareWhiteboard*>(m_annotation);
    const bool existed = !overlay.isNull();
    const bool placed = QScreenshareWhiteboard::relay(overlay, this, action, data, userjid);
    if (overlay && !existed)
        adoptAnnotationOverlay(overlay);  // made by the relay: connected here
    m_annotation = overlay.data();
    if (placed)
        m_toolbar->raise();
}
