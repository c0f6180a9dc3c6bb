#pragma once
// The drawing tools shared by the whiteboard's tool column and the overlay's
// menu: the same object names, glyphs and colours in both.

#include "qbasewidget.h"

#include <QObject>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace whiteboardtools {

enum WorkMode { Clear = 0, Text = 1, Pen = 2, Eraser = 3 };

struct ColourButton {
    const char* name;
    const char* colour;
};
inline constexpr ColourButton kColours[] = {
    {"btnRed", "#ff0000"},  {"btnBlue", "#00aaff"}, {"btnYellow", "#ffaa00"},  {"btnGreen", "#00aa00"},
    {"btnPink", "#5500ff"}, {"btnGray", "#7a7a7a"}, {"btnBlack_1", "#00007f"}, {"btnBlack", "#000000"},
};

// Puts the icon-font glyphs on the four tool buttons (clear, text, pen, eraser).
void setToolGlyphs(QWidget* panel);

// Calls onColour(colour) when a colour button of the panel is clicked, for as
// long as context lives.
template <typename F>
void connectColours(QWidget* panel, QObject* context, F onColour)
{
    for (const ColourButton& c : kColours) {
        if (auto* button = panel->findChild<QToolButton*>(c.name))
            QObject::connect(button, &QToolButton::clicked, context,
                             [onColour, colour = QString(c.colour)] { onColour(colour); });
    }
}

// Calls onSize with sizes[0..3] for the four pen-size controls (the two dots
// count as clicked anywhere in their area), for as long as context lives.
template <typename F>
void connectPenSizes(QWidget* panel, QObject* context, const int (&sizes)[4], F onSize)
{
    const char* buttons[] = {"btnX", "btnXL", "btnXXL", "btnXXXL"};
    const char* dots[] = {"widgetX", "widgetXL"};
    for (int i = 0; i < 4; ++i) {
        const int size = sizes[i];
        if (auto* button = panel->findChild<QToolButton*>(buttons[i]))
            QObject::connect(button, &QToolButton::clicked, context, [onSize, size] { onSize(size); });
        if (i < 2) {
            if (auto* dot = panel->findChild<QBaseWidget*>(dots[i]))
                QObject::connect(dot, &QBaseWidget::sigClicked, context, [onSize, size] { onSize(size); });
        }
    }
}

}  // namespace whiteboardtools
