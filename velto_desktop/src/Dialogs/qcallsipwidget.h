#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class QCallSipWidget;
}

// Calls an outside party into the meeting: a SIP/H.323 address (mode 0) or a
// telephone number (mode 1). On success hands the dialled text to the toolbar
// and closes. Parentless, application-modal, deletes itself on close.
class QCallSipWidget : public QWidget {
    Q_OBJECT
public:
    enum Mode { SipMode = 0, PhoneMode = 1 };
    explicit QCallSipWidget(int mode, QWidget* parent = nullptr);
    ~QCallSipWidget() override;

    void call();

signals:
    void sigCallSuccess(std::string sip);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void retranslate();

    Ui::QCallSipWidget* ui;
    int m_mode;
};
