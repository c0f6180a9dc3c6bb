#include "screensharewidget.h"
#include "ui_screensharewidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "meetingtoolrules.h"
#include "screenitem.h"

#include <QtDebug>

ScreenShareWidget::ScreenShareWidget(int excludedWindowId, QWidget* parent)
    : QWidget(parent), ui(new Ui::ScreenShareWidget), m_excludedWindowId(excludedWindowId)
{
    ui->setupUi(this);
    setupOneShotDialog(this, tr("Screen Share"));
    setFixedSize(700, 480);
    ui->tabWidget->tabBar()->setAutoHide(false);
    ui->tabWidget->setCurrentWidget(ui->tabScreen);
    ui->lblShareError->hide();

    m_capture.reset(DesktopCaptureInterface::createNew());
    setupList(ui->screenListWidget);
    setupList(ui->windowListWidget);
    showScreenCaptureImage();

    connect(ui->windowListWidget, &QListWidget::currentItemChanged, this, &ScreenShareWidget::onCurrentItemChanged);
    connect(ui->screenListWidget, &QListWidget::currentItemChanged, this, &ScreenShareWidget::onCurrentItemChanged);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &ScreenShareWidget::onTabChanged);
    connect(ui->btnScreenShare, &QPushButton::clicked, this, &ScreenShareWidget::share);
    connect(ui->btnScreenCancel, &QPushButton::clicked, this, &QWidget::close);
}

ScreenShareWidget::~ScreenShareWidget()
{
    qDebug() << "~ScreenShareWidget";
    clearListWidget(ui->screenListWidget);
    clearListWidget(ui->windowListWidget);
    delete ui;
}

void ScreenShareWidget::setupList(QListWidget* list)
{
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setViewMode(QListView::IconMode);
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setSpacing(20);
    list->setFixedSize(668, 360);
}

void ScreenShareWidget::clearListWidget(QListWidget* list)
{
    QSignalBlocker quiet(list);  // emptying is not a choice
    while (list->count() > 0) {
        QListWidgetItem* item = list->item(0);
        delete list->itemWidget(item);
        delete item;
    }
    list->clear();
}

void ScreenShareWidget::addTile(QListWidget* list, int id, bool isScreen, const std::string& title, QSize tileSize,
                                const unsigned char* bytes, int length)
{
    auto* tile = new ScreenItem(id, isScreen);
    if (!isScreen)
        tile->setWidowTitle(title);
    tile->setFixedSize(tileSize);
    QPixmap picture;
    if (length > 0 && picture.loadFromData(bytes, static_cast<uint>(length)))
        tile->setWindowCaptureImage(picture.scaled(tileSize, Qt::KeepAspectRatio, Qt::FastTransformation));
    auto* item = new QListWidgetItem(list);
    item->setSizeHint(tile->size());
    list->addItem(item);
    list->setItemWidget(item, tile);
}

void ScreenShareWidget::showScreenCaptureImage()
{
    clearListWidget(ui->screenListWidget);
    m_screenChoice.reset();
    m_capture->getSourceList(&m_sources, true);
    const QSize tileSize = meetingtools::screenTileSize(int(m_sources.size()), ui->screenListWidget->size());
    for (const capture_source& screen : m_sources) {
        int length = 0;
        const unsigned char* bytes = m_capture->getScreenThumbnail(&length, screen.id);
        addTile(ui->screenListWidget, static_cast<int>(screen.id), true, screen.title, tileSize, bytes, length);
    }
    updateShareButton();
}

void ScreenShareWidget::showWindowCaptureImage()
{
    clearListWidget(ui->windowListWidget);
    m_windowChoice.reset();
    m_capture->getSourceList(&m_sources, false);
    const QSize tileSize = meetingtools::windowTileSize(ui->windowListWidget->size());
    for (const capture_source& window : m_sources) {
        if (!meetingtools::isOfferedWindow(window.id, window.title, static_cast<int64_t>(winId()),
                                           m_excludedWindowId))
            continue;
        int length = 0;
        const unsigned char* bytes = m_capture->getWindowThumbnail(window.id, &length);
        addTile(ui->windowListWidget, static_cast<int>(window.id), false, window.title, tileSize, bytes, length);
    }
    updateShareButton();
}

// Every switch lists the sources afresh; staying on a tab refreshes nothing.
void ScreenShareWidget::onTabChanged(int index)
{
    if (index == 0)
        showScreenCaptureImage();
    else if (index > 0)
        showWindowCaptureImage();
}

void ScreenShareWidget::onCurrentItemChanged(QListWidgetItem* current, QListWidgetItem* previous)
{
    auto* list = qobject_cast<QListWidget*>(sender());
    if (!list)
        return;
    if (previous) {
        if (auto* tile = qobject_cast<ScreenItem*>(list->itemWidget(previous)))
            tile->setItemSeclect(false);
    }
    std::optional<int>& choice = list == ui->screenListWidget ? m_screenChoice : m_windowChoice;
    choice.reset();
    if (current) {
        if (auto* tile = qobject_cast<ScreenItem*>(list->itemWidget(current))) {
            tile->setItemSeclect(true);
            choice = tile->getId();
        }
    }
    updateShareButton();
}

void ScreenShareWidget::updateShareButton()
{
    const bool screenTab = ui->tabWidget->currentWidget() == ui->tabScreen;
    ui->btnScreenShare->setEnabled(screenTab ? m_screenChoice.has_value() : m_windowChoice.has_value());
}

void ScreenShareWidget::share()
{
    const bool screenTab = ui->tabWidget->currentWidget() == ui->tabScreen;
    const auto request = meetingtools::screenShareRequest(screenTab, m_screenChoice, m_windowChoice,
                                                          m_excludedWindowId);
    if (!request)
        return;
    hide();
    const std::string label = meetingtools::newShareLabel();
    const int result = CGlobalInstance::veltoSdk->AddScreenShareStream(label, request->wholeScreen, request->fps,
                                                                      request->sourceId, request->excludedId);
    if (result != 0) {
        qWarning() << "screen share did not start:" << result;
        ui->lblShareError->setText(tr("The share could not be started"));
        ui->lblShareError->show();
        show();
        return;
    }
    CGlobalInstance::selectAppId = request->selectAppId;
    if (!request->wholeScreen)
        m_capture->selectWindow(request->sourceId);
    CGlobalInstance::userInfo.shareLabel = label;
    emit sigAddSecondStream(label);
    close();
}

void ScreenShareWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    setWindowTitle(tr("Screen Share"));
    if (ui->lblShareError->isVisible())
        ui->lblShareError->setText(tr("The share could not be started"));
}
