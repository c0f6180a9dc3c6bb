#pragma once

#include <QPoint>
#include <QWidget>

class QLabel;

// The floating self view: a frameless, always-on-top 320 x 180 window showing
// the own camera (the meeting window creates the renderer inside getWidget())
// or a camera-off picture; the user drags it with any mouse button.
class QTopWidget : public QWidget {
    Q_OBJECT
public:
    explicit QTopWidget(QWidget* parent = nullptr);

    QWidget* getWidget() const { return m_renderArea; }
    void showMute(bool mute);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_dragging = false;
    QPoint m_offset;
    QWidget* m_renderArea;
    QLabel* m_muteLabel;
};
