#pragma once

#include <QWidget>

#include <cstdint>
#include <string>

namespace Ui {
class RingingWidget;
}

// The outgoing-call window: waits for the callee's answer. An answer closes
// it; a refusal or "busy" shows for two seconds; hanging up, closing it and
// 60 s without an answer withdraw the call once. Parentless, one per call;
// deletes itself when it closes.
class RingingWidget : public QWidget {
    Q_OBJECT
public:
    RingingWidget(std::string userId, int callType, std::string nickName, long long time, QWidget* parent = nullptr);
    ~RingingWidget() override;

    static constexpr int kRingTimeoutMs = 60000;
    static constexpr int kRefusalShownMs = 2000;
    // For windows made from now on; tests shorten it.
    static void setRingTimeout(int milliseconds);

signals:
    void sigRingTimeout(std::string nickName);
    void sigRingingStatus(std::string userId);
    // The caller withdrew the call (hang-up, close, time-out).
    void sigWithdrawn(std::string userId);

public slots:
    void slotTranslatorLanguage();
    void slotRingClose(std::string type, std::string userId);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Sends the withdrawal; true when the signalling service took it.
    bool withdraw();
    void hangUp();
    void timeOut();
    void applyWaitingText();

    Ui::RingingWidget* ui;
    std::string m_userId;
    int m_callType;
    std::string m_nickName;
    bool m_handled = false;
    bool m_refused = false;
};
