#include "iconhelper.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

IconHelper* IconHelper::Instance()
{
    static IconHelper* const s_instance = new IconHelper();
    return s_instance;
}

IconHelper::IconHelper(QObject*)
    : QObject(qApp)
{
    const int id = QFontDatabase::addApplicationFont(":/font/awesome");
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    // Without the font the glyphs fall back to the application font rather than failing.
    if (!families.isEmpty())
        iconFont = QFont(families.first());
}

void IconHelper::SetIcon(QLabel* label, QChar glyph, int size)
{
    iconFont.setPointSize(size);
    label->setFont(iconFont);
    label->setText(glyph);
}

void IconHelper::SetIcon(QPushButton* button, QChar glyph, int size)
{
    iconFont.setPointSize(size);
    button->setFont(iconFont);
    button->setText(glyph);
}

void IconHelper::SetIcon(QToolButton* button, QChar glyph, QString text, int size)
{
    iconFont.setPointSize(size);
    button->setFont(iconFont);
    button->setText(text.isEmpty() ? QString(glyph) : QString(glyph) + " " + text);
}
