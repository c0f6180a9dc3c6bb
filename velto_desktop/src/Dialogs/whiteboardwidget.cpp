#include "whiteboardwidget.h"
#include "ui_whiteboardwidget.h"

#include "cglobalinstance.h"
#include "iconhelper.h"
#include "messagebox.h"
#include "qwhiteboardlineedit.h"
#include "whiteboardtools.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImageWriter>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>

using namespace whiteboardtools;

namespace {

// A monotonic clock for the replay limit.
qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

}  // namespace

WhiteboardWidget::WhiteboardWidget(bool isDrawer, QWidget* parent)
    : QWidget(parent), ui(new Ui::WhiteboardWidget), isDrawer(isDrawer), penColor(drawing::kDefaultColour)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setMouseTracking(true);
#ifdef Q_OS_MACOS
    setAttribute(Qt::WA_TranslucentBackground);
#else
    // Translucency needs a compositor, which many X11 desktops lack: there the
    // gaps around the canvas would show garbage. The style sheet paints them.
    setAttribute(Qt::WA_StyledBackground);
#endif
    setToolGlyphs(ui->WhiteboardMenuWidget);
    IconHelper::Instance()->SetIcon(ui->btnSave, QChar(0xf0c7), QString(), 12);
    slotTranslatorLanguage();

    lineEdit = new QWhiteboardLineEdit(this);
    lineEdit->hide();

    scene = new QGraphicsScene(0, 0, width(), height(), this);
    // Without a compositor a translucent canvas shows whatever lay below it.
    scene->setBackgroundBrush(Qt::white);
    ui->graphicsView->setScene(scene);
    ui->graphicsView->setFrameShape(QFrame::NoFrame);
    ui->graphicsView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connectSignals();

    pen = QPen(QColor(penColor), penSize, Qt::SolidLine, Qt::RoundCap);
    ui->widget->setVisible(isDrawer);
}

WhiteboardWidget::~WhiteboardWidget() { delete ui; }

void WhiteboardWidget::connectSignals()
{
    connect(ui->graphicsView, &QBaseGraphicsView::sigMousePress, this, &WhiteboardWidget::slotMousePress);
    connect(ui->graphicsView, &QBaseGraphicsView::sigMouseMove, this, &WhiteboardWidget::slotMouseMove);
    connect(ui->graphicsView, &QBaseGraphicsView::sigMouseRelease, this, &WhiteboardWidget::slotMouseRelease);
    connect(ui->btnClear, &QToolButton::clicked, this, [this] {
        slotClearWhiteboard();
        workMode = Clear;
    });
    connect(ui->btnText, &QToolButton::clicked, this, [this] { workMode = Text; });
    connect(ui->btnLine, &QToolButton::clicked, this, [this] { slotWorkMode(Pen); });
    connect(ui->btnErase, &QToolButton::clicked, this, [this] { slotWorkMode(Eraser); });
    connectColours(ui->WhiteboardMenuWidget, this, [this](const QString& colour) { slotColor(colour); });
    connectPenSizes(ui->WhiteboardMenuWidget, this, {4, 8, 16, 24}, [this](int size) { slotPenSize(size); });
    connect(ui->btnSave, &QToolButton::clicked, this, &WhiteboardWidget::slotSave);
}

void WhiteboardWidget::slotTranslatorLanguage()
{
    setWindowTitle(tr("Whiteboard"));
    ui->btnSave->setToolTip(tr("Save"));
}

void WhiteboardWidget::showWidget()
{
    if (!isVisible()) {
        const QRect screen = CGlobalInstance::getAvailableScreenRect();
        move(screen.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void WhiteboardWidget::setColor(QString color) { slotColor(color); }

void WhiteboardWidget::setPenSize(int size) { slotPenSize(size); }

void WhiteboardWidget::closeWhiteboardMenu() { ui->widget->hide(); }

void WhiteboardWidget::send(const char* type, const std::string& body)
{
    // The SDK refuses anyone but the moderator; the local drawing stays as it is.
    if (CGlobalInstance::veltoSdk)
        CGlobalInstance::veltoSdk->SendWhiteboard(drawing::kMessage, type, body);
}

void WhiteboardWidget::slotDrawWhiteboard(QPoint start, QPoint end, QString penType, QString penColor, int penSize)
{
    const QColor colour = drawing::drawsPen(penType) ? QColor(penColor) : QColor(Qt::white);
    scene->addLine(QLineF(start, end), QPen(colour, penSize, Qt::SolidLine, Qt::RoundCap));
}

void WhiteboardWidget::slotTextWhiteboard(QPoint point, QString text) { scene->addText(text)->setPos(point); }

void WhiteboardWidget::slotClearWhiteboard() { clearDrawing(); }

void WhiteboardWidget::clearDrawing()
{
    scene->clear();
    items.clear();
    // A clear that arrived is only shown; sending it back would echo forever.
    if (isDrawer)
        send(drawing::kTypeClearWhiteboard, std::string());
}

void WhiteboardWidget::slotWorkMode(int mode)
{
    if (mode == Eraser) {
        penColor = drawing::kEraserColour;
        pen.setColor(Qt::white);
    } else if (mode == Pen) {
        // Back from the eraser to black, unless a colour was chosen meanwhile.
        if (drawing::isEraserColour(penColor)) {
            penColor = drawing::kDefaultColour;
            pen.setColor(Qt::black);
        }
        if (workMode == Text)
            lineEdit->hide();
    } else if (mode == Clear) {
        clearDrawing();
    }
    workMode = mode;
}

void WhiteboardWidget::slotColor(QString color)
{
    penColor = color;
    pen.setColor(QColor(color));
}

void WhiteboardWidget::slotPenSize(int size)
{
    penSize = size;
    pen.setWidth(size);
}

bool WhiteboardWidget::saveTo(const QString& fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    const bool known = !suffix.isEmpty() && QImageWriter::supportedImageFormats().contains(suffix);
    return grab().save(fileName, known ? nullptr : "PNG");
}

void WhiteboardWidget::slotSave()
{
    const QString fileName =
        QFileDialog::getSaveFileName(nullptr, tr("Save"), QStringLiteral("whiteboard.png"), QStringLiteral("Image(*.png)"));
    if (fileName.isEmpty() || saveTo(fileName))
        return;
    auto* box = new MessageBox(0, true);
    box->setErrorText(tr("The whiteboard could not be saved as %1").arg(QFileInfo(fileName).fileName()));
    box->showWidget();
}

void WhiteboardWidget::slotMousePress(QPoint point)
{
    if (!isDrawer)
        return;
    pressed = true;
    lastPoint = point;
    if (workMode == Text) {
        lineEdit->move(ui->graphicsView->viewport()->mapTo(this, point));
        lineEdit->show();
        lineEdit->raise();
        lineEdit->setFocus();
    }
}

void WhiteboardWidget::slotMouseMove(QPoint point)
{
    if (!pressed || !isDrawer)
        return;
    scene->addLine(QLineF(lastPoint, point), pen);
    send(drawing::kTypeWhiteboard, drawing::StrokeMessage::drawn(lastPoint, point, penColor, penSize).encode());
    items.push_back({kLineItem, lastPoint, point, penColor, QString(), penSize});
    lastPoint = point;
}

void WhiteboardWidget::slotMouseRelease(QPoint) { pressed = false; }

void WhiteboardWidget::slotGetInit()
{
    if (!isDrawer)
        return;
    // The whiteboard's requests do not say who asks, and its replay goes to all.
    const qint64 wait = replayLimiter.schedule(std::string(), monotonicMs());
    if (wait == 0)
        replay();
    else if (wait > 0)
        QTimer::singleShot(wait, this, &WhiteboardWidget::replay);
}

void WhiteboardWidget::replay()
{
    for (const auto& [type, body] : drawing::replayMessages(items))
        send(type.c_str(), body);
}

void WhiteboardWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return)
        return;
    const QString text = lineEdit->text();
    if (!text.isEmpty()) {
        // The box sits over the canvas; the text goes where the box is on it.
        const QPoint at = ui->graphicsView->mapToScene(ui->graphicsView->viewport()->mapFrom(this, lineEdit->pos())).toPoint();
        items.push_back({kTextItem, at, QPoint(), QString(), text, 0});
        scene->addText(text)->setPos(at);
        send(drawing::kTypeWhiteboardText, drawing::TextMessage{at, text}.encode());
    }
    lineEdit->enterPress();
}

// On macOS the window itself paints nothing: only its canvas and tool panel
// show. Elsewhere its style-sheet background fills the gaps.
void WhiteboardWidget::paintEvent(QPaintEvent* event)
{
#ifdef Q_OS_MACOS
    Q_UNUSED(event);
#else
    QWidget::paintEvent(event);
#endif
}

void WhiteboardWidget::closeEvent(QCloseEvent* event)
{
    closeWhiteboardMenu();
    QWidget::closeEvent(event);
}
