#pragma once

#include <QWidget>

#include <string>

class QLabel;

namespace Ui {
class QPickCandiateWidget;
}

// One screen of the layout manager: which participant fills it, or whether it
// polls. Paints its style-sheet background.
class QPickCandiateWidget : public QWidget {
    Q_OBJECT
public:
    QPickCandiateWidget(const QString& title, const std::string& nickname, const std::string& endpoint,
                        bool polling, QWidget* parent = nullptr);
    ~QPickCandiateWidget() override;

    void setComboBoxData();
    // The chosen participant's endpoint; empty when nobody is chosen.
    std::string getUserEndpoint() const;
    bool isPolling() const { return m_polling; }
    // Nobody chosen, switch off, the red "Please select user" strip shown.
    void clear();
    // Switch and flag off.
    void setPolling();
    // The red strip, on a slot that must be filled before OK.
    void showWarning();

signals:
    void sigIndexChange(QString endpoint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::QPickCandiateWidget* ui;
    bool m_polling;
    QLabel* m_warning;
};
