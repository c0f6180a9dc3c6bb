#pragma once

#include "Whiteboard/annotationmapping.h"
#include "Whiteboard/whiteboarditem.h"

#include <QPen>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace Ui {
class QScreenshareWhiteboard;
}
class QGraphicsScene;
class QTimer;
class QWhiteboardLineEdit;
class WhiteboardMenuWidget;

// The annotation overlay: a nearly transparent window laid over a shared
// picture. On the sharer's client it covers the shared screen or window,
// carries the floating tool menu, sends every stroke, text and clear on the
// annotation channel and keeps them for replay. On a viewer's client it lies
// over the meeting window and shows the received drawing, mapped from the
// sharer's screen onto the viewer's picture. Parentless; the meeting window
// creates, closes and deletes it in both roles. It owns its menu.
class QScreenshareWhiteboard : public QWidget {
    Q_OBJECT
public:
    explicit QScreenshareWhiteboard(QWidget* parent = nullptr);
    ~QScreenshareWhiteboard() override;

    // Sharer: covers the shared window appId (0: the primary screen), shows the
    // menu and, with sendCreate, announces the overlay's size to everyone.
    void setParentAndShow(int appId, bool sendCreate);
    // Viewer: lies over rect (the meeting window's frame) for a sender area of
    // w x h, which fills rect below its top kTitleStrip pixels (the frame's
    // title bar, no picture).
    void showWidget(QRect rect, int w, int h);
    static constexpr int kTitleStrip = 22;

    // The coordinate mapping of a viewer; a point unchanged until a usable
    // sender size arrived.
    QPoint handlePoint(QPoint point) const;

    // How a shared window's screen rectangle is found (the screen-capture
    // library); without one the primary screen is covered.
    using WindowLocator = std::function<QRect(int appId)>;
    static void setWindowLocator(WindowLocator locator);

    // The receiving end of the annotation channel, for the meeting window that
    // owns `overlay` and lies under it: opens or reuses the viewer overlay on
    // "create", feeds it strokes, texts and clears, closes it on "destroy".
    // Only the current moderator's drawing counts; a replay request (from
    // anyone) reaches the sharer's own overlay. True when an overlay was
    // placed, so that the caller raises its toolbar above it.
    static bool relay(QPointer<QScreenshareWhiteboard>& overlay, const QWidget* meetingWindow,
                      const std::string& action, const std::string& data, const std::string& from);

    // For tests and the smoke test.
    QGraphicsScene* drawingScene() const { return scene; }
    const std::vector<WhiteboardItem>& drawnItems() const { return items; }
    WhiteboardMenuWidget* toolMenu() const { return menu; }
    bool drawingEnabled() const { return canDraw; }

signals:
    void sigAnnotateExit();

public slots:
    void slotAnnotateGetInit(std::string userjid);
    void slotDrawLine(QPoint start, QPoint end, QString penType, QString penColor, int penSize);
    void slotDrawText(QPoint point, QString text);
    void slotClear();
    void slotCreateAnnotate(std::string userjid);
    void slotWorkMode(int mode);
    void slotColor(QString color);
    void slotPenSize(int size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void send(const char* type, const std::string& body, const std::string& target = std::string());
    // Sends every stored item, oldest first, to userjid alone.
    void replayTo(const std::string& userjid);
    void setSceneToOverlay();
    void eraseAt(QPoint p);
    // Appends a replay record and returns the tag that names it.
    quint64 record(const WhiteboardItem& item);
    void showTextBox(QPoint at);

    // Without a compositor a translucent window has nothing below it to blend
    // with: there the overlay is shaped to its drawing (and its text box), so
    // that the live picture below shows everywhere else (the viewer's overlay
    // always is). qscreensharewhiteboard_shape.cpp.
    static bool windowSystemComposites();
    void shapeToDrawing();
    void drawingChanged(const QList<QRectF>& areas);
    void applyMask();
    // A shaped sharer's overlay still takes the mouse over its whole area: it
    // holds the pointer while the pointer is over it, and lets go over the
    // application's own windows (the tool menu, the toolbar), which keep
    // their clicks.
    bool pointerIsOurs(QPoint global) const;
    void keepPointer();
    void releasePointer();

    Ui::QScreenshareWhiteboard* ui;
    WhiteboardMenuWidget* menu = nullptr;
    QWhiteboardLineEdit* lineEdit = nullptr;
    std::vector<WhiteboardItem> items;
    std::vector<quint64> itemTags;  // in step with items
    quint64 lastTag = 0;
    int workMode = 2;
    int penSize = 8;
    QString penColor;
    bool pressed = false;
    bool canDraw = true;
    QGraphicsScene* scene = nullptr;
    QPoint lastPoint;
    QPen pen;
    int senderWidth = 0;
    int senderHeight = 0;
    AnnotationMapping mapping;
    bool shaped = false;
    QRegion drawnRegion;  // where the scene has drawing, while shaped
    QTimer* pointerKeeper = nullptr;
    bool pointerHeld = false;
    drawing::ReplayLimiter replayLimiter;
};
