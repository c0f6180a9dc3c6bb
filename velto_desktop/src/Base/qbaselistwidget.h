#ifndef QBASELISTWIDGET_H
#define QBASELISTWIDGET_H

#include <QListWidget>

// The page lists of the main window: a list widget that tracks the mouse.
class QBaseListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit QBaseListWidget(QWidget* parent = nullptr);
};

#endif // QBASELISTWIDGET_H
