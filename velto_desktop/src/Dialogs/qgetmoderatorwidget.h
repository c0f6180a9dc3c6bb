#pragma once

#include <QWidget>

namespace Ui {
class QGetModeratorWidget;
}

// Claims the moderator role of a meeting that lost its moderator, with the
// meeting's moderator password. The server's answer arrives through the SDK
// callback. Parentless, stays on top, application-modal, deletes itself on
// close.
class QGetModeratorWidget : public QWidget {
    Q_OBJECT
public:
    explicit QGetModeratorWidget(QWidget* parent = nullptr);
    ~QGetModeratorWidget() override;

    void call();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Ui::QGetModeratorWidget* ui;
};
