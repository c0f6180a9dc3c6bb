#include "qscreensharewhiteboard.h"
#include "ui_qscreensharewhiteboard.h"

#include "cglobalinstance.h"
#include "qwhiteboardlineedit.h"
#include "whiteboardmenuwidget.h"
#include "whiteboardtools.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QGraphicsLineItem>
#include <QGuiApplication>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <xcb/xcb.h>
#endif

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

// Long enough for the meeting window to be minimised before the sharer's
// overlay takes its picture of the screen below.
constexpr int kBackdropSettleMs = 300;

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

    menu = new WhiteboardMenuWidget();
    connect(menu, &WhiteboardMenuWidget::sigWorkMode, this, &QScreenshareWhiteboard::slotWorkMode);
    connect(menu, &WhiteboardMenuWidget::sigColor, this, &QScreenshareWhiteboard::slotColor);
    connect(menu, &WhiteboardMenuWidget::sigPenSize, this, &QScreenshareWhiteboard::slotPenSize);
    connect(menu, &WhiteboardMenuWidget::sigExit, this, &QScreenshareWhiteboard::sigAnnotateExit);
}

QScreenshareWhiteboard::~QScreenshareWhiteboard()
{
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
    show();
    if (!windowSystemComposites()) {
        // All but a pixel let through while the picture below settles.
        setMask(QRegion(0, 0, 1, 1));
        QTimer::singleShot(kBackdropSettleMs, this, &QScreenshareWhiteboard::takeBackdrop);
    }
    if (!menu->isVisible()) {
        const int y = (CGlobalInstance::getScreenRect().height() - menu->height() - 60) / 2;
        menu->show();
        menu->move(100, y);
        menu->raise();
    }
}

void QScreenshareWhiteboard::slotCreateAnnotate(std::string userjid)
{
    if (!CGlobalInstance::veltoSdk)
        return;
    CGlobalInstance::veltoSdk->SendAnnotate(drawing::kCreate, drawing::encodeSize(size()), std::string(), userjid);
}

int QScreenshareWhiteboard::titleStripOf(const QWidget* window)
{
#ifdef Q_OS_MACOS
    return window ? window->geometry().top() - window->frameGeometry().top() : 0;
#else
    Q_UNUSED(window);
    return 0;
#endif
}

void QScreenshareWhiteboard::showWidget(QRect rect, int w, int h, int titleStrip)
{
    senderWidth = w;
    senderHeight = h;
    menu->hide();
    setGeometry(rect);
    setSceneToOverlay();
    mapping = AnnotationMapping::compute(rect.width(), rect.height(), w, h, titleStrip);
    viewer = true;
    updateViewerMask();
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
    scheduleViewerMask();
}

void QScreenshareWhiteboard::slotDrawText(QPoint point, QString text)
{
    canDraw = false;
    qDebug() << "annotate text" << point << text;
    if (mapping.usable)
        scene->addText(text)->setPos(handlePoint(point));
    scheduleViewerMask();
}

void QScreenshareWhiteboard::slotClear()
{
    canDraw = false;
    scene->clear();
    scheduleViewerMask();
}

void QScreenshareWhiteboard::scheduleViewerMask()
{
    // Strokes come one per mouse move: the mask follows once per batch.
    if (!viewer || maskPending)
        return;
    maskPending = true;
    QTimer::singleShot(0, this, &QScreenshareWhiteboard::updateViewerMask);
}

void QScreenshareWhiteboard::updateViewerMask()
{
    maskPending = false;
    if (!viewer || width() <= 0 || height() <= 0)
        return;
    QImage drawing(size(), QImage::Format_ARGB32_Premultiplied);
    drawing.fill(Qt::transparent);
    {
        QPainter painter(&drawing);
        painter.setRenderHint(QPainter::Antialiasing);
        scene->render(&painter, QRectF(drawing.rect()), scene->sceneRect());
    }
    QRegion shown(QBitmap::fromImage(drawing.createAlphaMask()));
    // An empty region would lift the mask altogether: keep one pixel.
    setMask(shown.isEmpty() ? QRegion(0, 0, 1, 1) : shown);
}

void QScreenshareWhiteboard::slotAnnotateGetInit(std::string userjid)
{
    canDraw = true;
    if (!replayLimiter.allow(userjid, monotonicMs()))
        return;
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

bool QScreenshareWhiteboard::windowSystemComposites()
{
#ifdef Q_OS_LINUX
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    bool composites = false;
    if (!xcb_connection_has_error(connection)) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screenNumber);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
                connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
            composites = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return composites;
#else
    return true;
#endif
}

void QScreenshareWhiteboard::takeBackdrop()
{
    QScreen* shown = screen();
    if (!shown || !isVisible())
        return;
    const QRect area = geometry().translated(-shown->geometry().topLeft());
    backdrop = shown->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    clearMask();
    update();
}

void QScreenshareWhiteboard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!backdrop.isNull())
        painter.drawPixmap(rect(), backdrop);
    // Nearly transparent, yet the window system still hands it every click.
    painter.fillRect(rect(), QColor(255, 255, 255, 15));
}

void QScreenshareWhiteboard::mousePressEvent(QMouseEvent* event)
{
    if (!canDraw)
        return;
    pressed = true;
    lastPoint = event->localPos().toPoint();
    if (workMode == Text) {
        lineEdit->move(lastPoint);
        lineEdit->show();
        lineEdit->setFocus();
    }
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
