#ifndef TIPWIDGET_H
#define TIPWIDGET_H

#include <QWidget>

class QLabel;

// A black tooltip window with one line of white text. It never takes the focus
// or the mouse; placing and showing it is the caller's task.
class TipWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TipWidget(QWidget* parent = nullptr);

    void setText(QString text);

private:
    QLabel* m_label;
};

#endif // TIPWIDGET_H
