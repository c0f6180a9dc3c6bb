#ifndef QROUNDBUTTON_H
#define QROUNDBUTTON_H

#include <QPushButton>

// A push button that can be clipped to a rounded rectangle.
class QRoundButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QRoundButton(QWidget* parent = nullptr);

    void setRoundRect(int radius);
};

#endif // QROUNDBUTTON_H
