#pragma once

#include "Whiteboard/whiteboarditem.h"

#include <QPen>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <vector>

namespace Ui {
class WhiteboardWidget;
}
class QGraphicsScene;
class QWhiteboardLineEdit;

// The shared whiteboard: a tool column and a fixed 800 x 600 canvas, in one of
// two roles. The drawer's window (made by the meeting toolbar once its
// "create" was accepted) sends every stroke, text and clear on the whiteboard
// channel and keeps them for replay; the read-only window (made by the main
// window's relay) hides the tools and draws what arrives. Parentless; whoever
// creates it closes and deletes it (deleteLater when inside a signal).
class WhiteboardWidget : public QWidget {
    Q_OBJECT
public:
    explicit WhiteboardWidget(bool isDrawer, QWidget* parent = nullptr);
    ~WhiteboardWidget() override;

    void showWidget();
    void setColor(QString color);
    void setPenSize(int size);
    void closeWhiteboardMenu();

    // Saves the whole window (tool column included) as a picture: PNG unless
    // the name's suffix names another format. False when it could not be saved.
    bool saveTo(const QString& fileName);

    // For tests and the smoke test: what the window holds.
    QGraphicsScene* drawingScene() const { return scene; }
    const std::vector<WhiteboardItem>& drawnItems() const { return items; }
    int currentWorkMode() const { return workMode; }
    QString currentPenColor() const { return penColor; }
    int currentPenSize() const { return penSize; }

public slots:
    void slotDrawWhiteboard(QPoint start, QPoint end, QString penType, QString penColor, int penSize);
    void slotTextWhiteboard(QPoint point, QString text);
    void slotClearWhiteboard();
    void slotWorkMode(int mode);
    void slotColor(QString color);
    void slotPenSize(int size);
    void slotSave();
    void slotMousePress(QPoint point);
    void slotMouseMove(QPoint point);
    void slotMouseRelease(QPoint point);
    void slotGetInit();
    void slotTranslatorLanguage();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectSignals();
    // Empties the canvas and the replay record; the drawer also tells the others.
    void clearDrawing();
    void send(const char* type, const std::string& body);
    // Sends every stored item, oldest first, to all participants.
    void replay();

    Ui::WhiteboardWidget* ui;
    bool isDrawer;
    bool pressed = false;
    int workMode = 2;
    QString penColor;
    int penSize = 8;
    QPoint lastPoint;
    QPen pen;
    QGraphicsScene* scene = nullptr;
    QWhiteboardLineEdit* lineEdit = nullptr;
    std::vector<WhiteboardItem> items;
    drawing::ReplayLimiter replayLimiter;
};
