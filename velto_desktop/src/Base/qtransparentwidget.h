#ifndef QTRANSPARENTWIDGET_H
#define QTRANSPARENTWIDGET_H

#include <QWidget>

// A frameless, translucent panel painted black at alpha 80.
class QTransparentWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QTransparentWidget(QWidget* parent = nullptr);

    // Clips the panel to a rounded rectangle of its current size.
    void setRoundRect(int radius);

protected:
    void paintEvent(QPaintEvent* event) override;
};

#endif // QTRANSPARENTWIDGET_H
