#pragma once

#include <QWidget>

// A clickable area (the pen-size dots): a left-button release anywhere counts.
class QBaseWidget : public QWidget {
    Q_OBJECT
public:
    explicit QBaseWidget(QWidget* parent = nullptr);

signals:
    void sigClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
