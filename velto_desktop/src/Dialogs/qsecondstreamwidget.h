#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "VeltoInterface.h"

namespace Ui {
class QSecondStreamWidget;
}

// Adds another camera as the meeting's second video stream: pick a camera,
// watch its preview, press Share. Parentless, application-modal, deletes itself
// on close; owns its preview window (a parentless frameless window holding the
// renderer) and deletes it in the destructor.
class QSecondStreamWidget : public QWidget {
    Q_OBJECT
public:
    explicit QSecondStreamWidget(QWidget* parent = nullptr);
    ~QSecondStreamWidget() override;

    void showSecondStreamWidget(QRect rect);
    void getVideoDevice();
    void ShowLocalSecondStreamPreview(int width, int height);
    void closeSecondStreamWidget();

signals:
    void sigAddSecondStream(std::string label);

public slots:
    void slotTranslatorLanguage();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onCameraChosen(int index);
    void refresh();
    void share();
    void endPreview();
    void setComboStyle(bool error);

    Ui::QSecondStreamWidget* ui;
    QWidget* m_previewWindow;
    rtc_render m_render;
    // The cameras the combo offers, in combo order (entry i is combo item i).
    std::vector<velto_webrtc::rtc_device_> m_cameras;
    // The previewed stream became the meeting's second stream: closing must
    // not take it down.
    bool m_shared = false;
};
