#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// A small on/off switch drawn in code: a rounded track and a white knob that
// slides one pixel per timer tick. A click flips it and emits toggled;
// setToggle moves it silently.
class SwitchControl : public QWidget {
    Q_OBJECT
public:
    explicit SwitchControl(QWidget* parent = nullptr);

    bool isToggled() const { return m_on; }
    void setToggle(bool checked);
    void setBackgroundColor(QColor color) { m_background = color; }
    void setCheckedColor(QColor color) { m_checkedColor = color; }
    void setDisbaledColor(QColor color) { m_disabledColor = color; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Where the knob is now (its centre's x), for whoever watches it move.
    double knobX() const { return m_knobX; }

signals:
    void toggled(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onTimeout();

private:
    bool m_on = false;
    QColor m_background = Qt::black;
    QColor m_checkedColor = QColor(105, 178, 252);
    QColor m_disabledColor = QColor(190, 190, 190);
    QColor m_thumbColor = Qt::white;
    double m_radius = 12.0;
    double m_knobX = 0;
    double m_knobY = 0;
    qint16 m_knobHeight = 24;
    qint16 m_margin = 0;
    QTimer m_timer;
};
