#include "qscreensharewhiteboard.h"
#include "ui_qscreensharewhiteboard.h"

#include "cglobalinstance.h"
#include "qwhiteboardlineedit.h"
#include "whiteboardmenuwidget.h"
#include "whiteboardtools.h"
#include "Tools/logtext.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QGraphicsLineItem>
#include <QGuiApplication>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>

using namespace whiteboardtools;

namespace {

QScreenshareWhiteboard::WindowLocator& windowLocator()
{
    static QScreenshareWhiteboard::WindowLocator locator;
    return locator;
}

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// Each line the sharer draws carries the serial of its replay record, so that
// erasing it drops exactly that record.
constexpr int kRecordKey = 0;

}  // namespace

QScreenshareWhiteboard::QScreenshareWhiteboard(QWidget* parent)
    : QWidget(parent), ui(new Ui::QScreenshareWhiteboard), penColor(drawing::kDefaultColour)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("velto_screensharewhiteborad"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Mouse and keys reach the overlay itself, whose coordinates are the scene's.
    ui->graphicsView->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->graphicsView->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui->graphicsView->setFrameShape(QFrame::NoFrame);

    scene = new QGraphicsScene(this);
    ui->graphicsView->setScene(scene);
    lineEdit = new QWhiteboardLineEdit(this);
    lineEdit->hide();
    pen = QPen(QColor(penColor), penSize, Qt::SolidLine, Qt::RoundCap);

    lineEdit->installEventFilter(this);
    connect(scene, &QGraphicsScene::changed, this, &QScreenshareWhiteboard::drawingChanged);

    menu = new WhiteboardMenuWidget();
    // The menu belongs to the overlay: window managers keep it above the
    // overlay, also after a click on the overlay raised that.
    menu->winId();
    winId();
    menu->windowHandle()->setTransientParent(windowHandle());
    connect(menu, &WhiteboardMenuWidget::sigWorkMode, this, &QScreenshareWhiteboard::slotWorkMode);
    connect(menu, &WhiteboardMenuWidget::sigColor, this, &QScreenshareWhiteboard::slotColor);
    connect(menu, &WhiteboardMenuWidget::sigPenSize, this, &QScreenshareWhiteboard::slotPenSize);
    connect(menu, &WhiteboardMenuWidget::sigExit, this, &QScreenshareWhiteboard::sigAnnotateExit);
}

QScreenshareWhiteboard::~QScreenshareWhiteboard()
{
    releasePointer();
    delete menu;
    delete ui;
}

void QScreenshareWhiteboard::setWindowLocator(WindowLocator locator) { windowLocator() = std::move(locator); }

void QScreenshareWhiteboard::send(const char* type, const std::string& body, const std::string& target)
{
    if (CGlobalInstance::veltoSdk)
        CGlobalInstance::veltoSdk->SendAnnotate(drawing::kMessage, type, body, target);
}

void QScreenshareWhiteboard::setSceneToOverlay() { scene->setSceneRect(0, 0, width(), height()); }

void QScreenshareWhiteboard::setParentAndShow(int appId, bool sendCreate)
{
    const QRect area = appId != 0 && windowLocator() ? windowLocator()(appId) : CGlobalInstance::getScreenRect();
    setGeometry(area);
    if (sendCreate)
        slotCreateAnnotate(std::string());
    setSceneToOverlay();
    if (!windowSystemComposites())
        shapeToDrawing();
    show();
    if (shaped && !pointerKeeper) {
        pointerKeeper = new QTimer(this);
        pointerKeeper->setInterval(100);
        connect(pointerKeeper, &QTimer::timeout, this, &QScreenshareWhiteboard::keepPointer);
        pointerKeeper->start();
        keepPointer();
    }
    if (!menu->isVisible()) {
        const int y = (CGlobalInstance::getScreenRect().height() - menu->height() - 60) / 2;
        menu->show();
        menu->move(100, y);
    }
    menu->raise();
}

void QScreenshareWhiteboard::slotCreateAnnotate(std::string userjid)
{
    if (!CGlobalInstance::veltoSdk)
        return;
    CGlobalInstance::veltoSdk->SendAnnotate(drawing::kCreate, drawing::encodeSize(size()), std::string(), userjid);
}

void QScreenshareWhiteboard::showWidget(QRect rect, int w, int h)
{
    senderWidth = w;
    senderHeight = h;
    menu->hide();
    setGeometry(rect);
    setSceneToOverlay();
    mapping = AnnotationMapping::compute(rect.width(), rect.height(), w, h, kTitleStrip);
    shapeToDrawing();
    show();
}

QPoint QScreenshareWhiteboard::handlePoint(QPoint point) const { return mapping.usable ? mapping.map(point) : point; }

void QScreenshareWhiteboard::slotDrawLine(QPoint start, QPoint end, QString penType, QString penColor, int penSize)
{
    canDraw = false;
    // Until a usable sender size arrived nothing can be placed.
    if (!mapping.usable)
        return;
    if (drawing::drawsPen(penType)) {
        this->penSize = mapping.penSize(penSize);
        scene->addLine(QLineF(handlePoint(start), handlePoint(end)),
                       QPen(QColor(penColor), this->penSize, Qt::SolidLine, Qt::RoundCap));
    } else if (QGraphicsItem* item = scene->itemAt(handlePoint(end), QTransform())) {
        scene->removeItem(item);
        delete item;
    }
}

void QScreenshareWhiteboard::slotDrawText(QPoint point, QString text)
{
    canDraw = false;
    qDebug() << "annotate text" << point << logText(text);
    if (mapping.usable)
        scene->addText(text)->setPos(handlePoint(point));
}

void QScreenshareWhiteboard::slotClear()
{
    canDraw = false;
    scene->clear();
}

void QScreenshareWhiteboard::slotAnnotateGetInit(std::string userjid)
{
    canDraw = true;
    const qint64 wait = replayLimiter.schedule(userjid, monotonicMs());
    if (wait == 0)
        replayTo(userjid);
    else if (wait > 0)
        QTimer::singleShot(wait, this, [this, userjid] { replayTo(userjid); });
}

void QScreenshareWhiteboard::replayTo(const std::string& userjid)
{
    for (const auto& [type, body] : drawing::replayMessages(items))
        send(type.c_str(), body, userjid);
}

void QScreenshareWhiteboard::slotWorkMode(int mode)
{
    workMode = mode;
    if (mode == Text) {
        if (lineEdit->isVisible())
            lineEdit->hide();
    } else if (mode == Clear) {
        scene->clear();
        send(drawing::kTypeClearAnnotate, std::string());
        items.clear();
        itemTags.clear();
        penColor = drawing::kDefaultColour;
        pen.setColor(Qt::black);
    } else if (mode == Eraser) {
        penColor = drawing::kEraserColour;
    } else if (mode == Pen && drawing::isEraserColour(penColor)) {
        penColor = drawing::kDefaultColour;
        pen.setColor(Qt::black);
    }
}

void QScreenshareWhiteboard::slotColor(QString color)
{
    if (workMode == Eraser)
        return;
    penColor = color;
    pen.setColor(QColor(color));
}

void QScreenshareWhiteboard::slotPenSize(int size)
{
    penSize = size;
    pen.setWidth(size);
}

void QScreenshareWhiteboard::paintEvent(QPaintEvent*)
{
    // Nearly transparent, yet the window system still hands it every click.
    // A shaped overlay shows only its drawing, which needs no veil.
    if (shaped)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255, 15));
}

void QScreenshareWhiteboard::mousePressEvent(QMouseEvent* event)
{
    // Held, the overlay hears presses meant for the application's other windows.
    if (!canDraw || (pointerHeld && !pointerIsOurs(event->globalPos())))
        return;
    pressed = true;
    lastPoint = event->localPos().toPoint();
    if (workMode == Text)
        showTextBox(lastPoint);
}

void QScreenshareWhiteboard::showTextBox(QPoint at)
{
    lineEdit->move(at);
    lineEdit->show();
    // Shown without activation, and a held pointer keeps the window manager
    // from focusing it on a click: the typing needs the keyboard.
    activateWindow();
    lineEdit->setFocus();
}

quint64 QScreenshareWhiteboard::record(const WhiteboardItem& item)
{
    items.push_back(item);
    itemTags.push_back(++lastTag);
    return lastTag;
}

void QScreenshareWhiteboard::eraseAt(QPoint p)
{
    for (QGraphicsItem* item : scene->items(p)) {
        auto* line = qgraphicsitem_cast<QGraphicsLineItem*>(item);
        if (!line)
            continue;  // the eraser takes lines only
        const QPoint s = line->line().p1().toPoint();
        const QPoint e = line->line().p2().toPoint();
        const QVariant tag = line->data(kRecordKey);
        scene->removeItem(line);
        delete line;
        const auto it = std::find(itemTags.begin(), itemTags.end(), tag.toULongLong());
        if (tag.isValid() && it != itemTags.end()) {
            items.erase(items.begin() + (it - itemTags.begin()));
            itemTags.erase(it);
        }
        send(drawing::kTypeAnnotate, drawing::StrokeMessage::drawn(s, e, penColor, penSize).encode());
    }
}

void QScreenshareWhiteboard::mouseMoveEvent(QMouseEvent* event)
{
    if (pointerHeld && !pressed && !pointerIsOurs(event->globalPos()))
        releasePointer();
    if (!canDraw || workMode == Text || !pressed || !CGlobalInstance::veltoSdk ||
        !CGlobalInstance::veltoSdk->isModerator())
        return;
    const QPoint p = event->localPos().toPoint();
    if (workMode == Eraser) {
        eraseAt(p);
        send(drawing::kTypeAnnotate, drawing::StrokeMessage::drawn(lastPoint, p, penColor, penSize).encode());
    } else {
        QGraphicsLineItem* line = scene->addLine(QLineF(lastPoint, p), pen);
        send(drawing::kTypeAnnotate, drawing::StrokeMessage::drawn(lastPoint, p, penColor, penSize).encode());
        line->setData(kRecordKey, record({kLineItem, lastPoint, p, penColor, QString(), penSize}));
    }
    lastPoint = p;
}

void QScreenshareWhiteboard::mouseReleaseEvent(QMouseEvent*)
{
    if (!canDraw)
        return;
    pressed = false;
    if (menu->isVisible())
        menu->raise();
}

void QScreenshareWhiteboard::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return)
        return;
    const QString text = lineEdit->text();
    if (!text.isEmpty()) {
        const QPoint at = lineEdit->pos();
        record({kTextItem, at, QPoint(), QString(), text, 0});
        QGraphicsTextItem* item = scene->addText(text);
        QFont font = item->font();
        font.setPointSize(2 * penSize);
        item->setFont(font);
        item->setPos(at);
        send(drawing::kTypeAnnotateText, drawing::TextMessage{at, text}.encode());
    }
    lineEdit->enterPress();
}
