// The meeting's one-shot dialogs, opened on the toolbar's requests: layout
// manager, call-out with its call panels, hands-up list and moderator claim.
// Each dialog is parentless and deletes itself on close.
#include "videowidget.h"

#include "callwidget.h"
#include "meetingdialog.h"
#include "qcallsipwidget.h"
#include "qgetmoderatorwidget.h"
#include "qhandsupwidget.h"
#include "qlayoutmanagerwidget.h"
#include "videocontrolwidget.h"

void VideoWidget::connectTools()
{
    VideoControlWidget* bar = m_toolbar;
    connect(bar, &VideoControlWidget::sigLayoutManager, this, [this] {
        auto* dialog = new QLayoutManagerWidget(nullptr);
        connect(this, &VideoWidget::sigUpdateLayout, dialog, &QLayoutManagerWidget::slotUpdateLayout);
        placeOverWindow(dialog, this);
        dialog->showWidget();
    });
    connect(bar, &VideoControlWidget::sigCallOut, this, [this](int kind) {
        auto* dialog = new QCallSipWidget(kind, nullptr);
        connect(dialog, &QCallSipWidget::sigCallSuccess, this, &VideoWidget::showCallPanel);
        dialog->show();
    });
    connect(bar, &VideoControlWidget::sigHandsUpList, this, [this] {
        auto* dialog = new QHandsUpWidget(nullptr);
        // The toolbar's pending requests, not the raw messages: one row per raised hand.
        connect(m_toolbar, &VideoControlWidget::sigHandsUp, dialog, &QHandsUpWidget::slotHandsUp);
        connect(dialog, &QHandsUpWidget::sigHideHandsUpRingBtn, m_toolbar, &VideoControlWidget::slotHideHandsUpRing);
        placeOverWindow(dialog, this);
        dialog->show();
    });
    connect(bar, &VideoControlWidget::sigGetModerator, this, [] { (new QGetModeratorWidget(nullptr))->show(); });
}

// One panel per call in progress, stacked by the toolbar, which deletes it
// once it closed.
void VideoWidget::showCallPanel(std::string sip)
{
    auto* panel = new CallWidget(std::move(sip), nullptr);
    connect(this, &VideoWidget::sigSip, panel, &CallWidget::slotCallSuccess);
    connect(panel, &CallWidget::sigCallWidgetClose, m_toolbar,
            [bar = m_toolbar](CallWidget* closed) { bar->removeCallPanel(closed); });
    m_toolbar->placeCallPanel(panel);
}
