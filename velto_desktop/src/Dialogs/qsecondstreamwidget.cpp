#include "qsecondstreamwidget.h"
#include "ui_qsecondstreamwidget.h"

#include "QGLRenderInterface.h"
#include "cglobalinstance.h"
#include "iconhelper.h"
#include "Tools/logtext.h"

#include <QListView>
#include <QPainter>
#include <QtDebug>

namespace {
constexpr int kPreviewFps = 30;
}

QSecondStreamWidget::QSecondStreamWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::QSecondStreamWidget), m_previewWindow(new QWidget(nullptr))
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Window);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowModal);
    ui->m_switchWidget->setRoundRect(20);
    ui->m_comboxVideo->setView(new QListView(ui->m_comboxVideo));

    m_previewWindow->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    m_previewWindow->setObjectName("secondStreamPreview");
    m_render.window = QGLRenderInterface::CreateRender(m_previewWindow);
    slotTranslatorLanguage();

    connect(ui->m_btnClose, &QPushButton::clicked, this, &QSecondStreamWidget::closeSecondStreamWidget);
    connect(ui->m_btnRefresh, &QPushButton::clicked, this, &QSecondStreamWidget::refresh);
    connect(ui->m_btnShare, &QPushButton::clicked, this, &QSecondStreamWidget::share);
    connect(ui->m_comboxVideo, QOverload<int>::of(&QComboBox::activated), this,
            &QSecondStreamWidget::onCameraChosen);
}

QSecondStreamWidget::~QSecondStreamWidget()
{
    m_previewWindow->close();
    delete m_previewWindow;
    delete ui;
}

void QSecondStreamWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    IconHelper::Instance()->SetIcon(ui->m_btnClose, QChar(0xf00d), 14);
    IconHelper::Instance()->SetIcon(ui->m_btnRefresh, QChar(0xf002), 14);
    ui->m_btnRefresh->setToolTip(tr("Refresh video devices"));
}

void QSecondStreamWidget::showSecondStreamWidget(QRect rect)
{
    getVideoDevice();
    setGeometry(rect);
    show();
}

void QSecondStreamWidget::setComboStyle(bool error)
{
    ui->m_comboxVideo->setStyleSheet(error ? "border:2px solid red;" : "border:1px solid #C0DCF2;");
}

// Offers every camera but the one the meeting already sends, in the engine's
// order; the combo and the offer list share their indexes.
void QSecondStreamWidget::getVideoDevice()
{
    CGlobalInstance::getDefultVideoDevice();
    const velto_webrtc::rtc_device_& stored = CGlobalInstance::preferences.videoDevice;
    setComboStyle(false);
    ui->m_comboxVideo->setPlaceholderText(tr("Please select video input device"));
    ui->widget->hide();
    m_previewWindow->hide();
    m_cameras.clear();
    if (CGlobalInstance::getVideoDevices() == 0) {
        ui->m_comboxVideo->clear();
        for (const velto_webrtc::rtc_device_& camera : CGlobalInstance::video_devices) {
            qDebug() << "====getVideo====" << logText(stored.name) << ",id == " << logText(stored.id);
            if (camera.name == stored.name || camera.id == stored.id)
                continue;
            m_cameras.push_back(camera);
            ui->m_comboxVideo->addItem(QString::fromStdString(camera.name));
        }
        ui->m_comboxVideo->setCurrentIndex(-1);
        ui->m_comboxVideo->showLineEdit(true);
    }
    if (m_cameras.empty()) {
        ui->m_comboxVideo->setPlaceholderText(tr("Not Found other video devices"));
        setComboStyle(true);
    }
}

void QSecondStreamWidget::onCameraChosen(int index)
{
    if (index < 0 || index >= static_cast<int>(m_cameras.size()))
        return;
    if (ui->widget->isVisible())
        endPreview();
    setComboStyle(false);
    ui->m_comboxVideo->showLineEdit(false);
    ui->widget->show();
    m_previewWindow->setGeometry(QRect(ui->widget->mapToGlobal(QPoint(0, 0)), ui->widget->size()));
    m_previewWindow->show();
    m_previewWindow->raise();
    ShowLocalSecondStreamPreview(CGlobalInstance::conferenceInfo.width, CGlobalInstance::conferenceInfo.resolution);
}

void QSecondStreamWidget::ShowLocalSecondStreamPreview(int width, int height)
{
    const int index = ui->m_comboxVideo->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_cameras.size()))
        return;
    CGlobalInstance::veltoSdk->CloseLocalPreview(m_render);
    CGlobalInstance::veltoSdk->ShowLocalPreview(m_render, m_cameras[static_cast<size_t>(index)], width, height,
                                                kPreviewFps, CGlobalInstance::conferenceInfo.bandwidth);
}

void QSecondStreamWidget::endPreview()
{
    CGlobalInstance::veltoSdk->CloseLocalPreview(m_render);
}

void QSecondStreamWidget::refresh()
{
    const bool previewing = ui->widget->isVisible();
    ui->m_comboxVideo->showLineEdit(true);
    getVideoDevice();
    if (previewing) {
        ui->widget->hide();
        m_previewWindow->hide();
        endPreview();
    }
}

void QSecondStreamWidget::share()
{
    if (m_cameras.empty())
        return;
    if (!ui->widget->isVisible()) {
        setComboStyle(true);
        return;
    }
    if (CGlobalInstance::veltoSdk->AddSecondStream() != 0) {
        setComboStyle(true);
        return;
    }
    // The preview stream now goes out as the second stream: only its picture
    // here ends.
    m_shared = true;
    CGlobalInstance::veltoSdk->StopRenderStream(static_cast<int>(m_render.id), m_render.label);
    emit sigAddSecondStream(m_render.label);
    closeSecondStreamWidget();
}

void QSecondStreamWidget::closeSecondStreamWidget()
{
    if (ui->widget->isVisible() && !m_shared)
        endPreview();
    m_previewWindow->hide();
    close();
}

void QSecondStreamWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 80));
}
