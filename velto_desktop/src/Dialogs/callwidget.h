#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class CallWidget;
}

// "Calling: <number>" while an outside call rings. Closes itself when the
// called party joins, on hang-up, or after 60 s; its owner (the toolbar)
// deletes it on sigCallWidgetClose.
class CallWidget : public QWidget {
    Q_OBJECT
public:
    explicit CallWidget(std::string sip, QWidget* parent = nullptr);
    ~CallWidget() override;

    const std::string& dialled() const { return m_sip; }

    static constexpr int kRingTimeoutMs = 60000;
    // For panels made from now on; tests shorten it.
    static void setRingTimeout(int milliseconds);

signals:
    void sigCallWidgetClose(CallWidget* w);

public slots:
    // A participant joined under this nickname.
    void slotCallSuccess(std::string sip);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Ui::CallWidget* ui;
    std::string m_sip;
};
