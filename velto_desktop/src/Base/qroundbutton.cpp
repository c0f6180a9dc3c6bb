#include "qroundbutton.h"

#include "roundrect.h"

QRoundButton::QRoundButton(QWidget* parent)
    : QPushButton(parent)
{
}

void QRoundButton::setRoundRect(int radius)
{
    setMask(roundRectMask(size(), radius));
}
