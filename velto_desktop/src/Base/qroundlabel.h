#ifndef QROUNDLABEL_H
#define QROUNDLABEL_H

#include <QLabel>

// An avatar: its pixmap drawn into the largest circle at the top-left corner.
// Without a pixmap it paints like any label.
class QRoundLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QRoundLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

#endif // QROUNDLABEL_H
