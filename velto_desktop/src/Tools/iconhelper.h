#ifndef ICONHELPER_H
#define ICONHELPER_H

#include <QChar>
#include <QFont>
#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;

// Puts glyphs of the icon font (Font Awesome 4.7, ":/font/awesome") on labels and
// buttons. One helper per process, made on first use; GUI thread only.
class IconHelper : public QObject
{
public:
    static IconHelper* Instance();

    void SetIcon(QLabel* label, QChar glyph, int size);
    void SetIcon(QPushButton* button, QChar glyph, int size);
    // The glyph, then one space and `text` when it is not empty.
    void SetIcon(QToolButton* button, QChar glyph, QString text, int size);

private:
    explicit IconHelper(QObject* parent = nullptr);

    QFont iconFont;
};

#endif // ICONHELPER_H
