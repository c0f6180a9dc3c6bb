#pragma once

#include <QWidget>

namespace Ui {
class JoinMeetWidget;
}

// Joins an existing meeting by its number and an optional meeting password.
// The main window makes a new one per request; it is not deleted when it
// closes.
class JoinMeetWidget : public QWidget {
    Q_OBJECT
public:
    explicit JoinMeetWidget(QWidget* parent = nullptr);
    ~JoinMeetWidget() override;

signals:
    void sigMessageBox(int code);
    // The join failed without the server refusing it.
    void sigNetworkError();

public slots:
    void slotTranslatorLanguage();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyTexts();
    void join();

    Ui::JoinMeetWidget* ui;
};
