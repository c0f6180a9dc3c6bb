#pragma once

#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DesktopCaptureInterface.h"

class QListWidget;
class QListWidgetItem;

namespace Ui {
class ScreenShareWidget;
}

// The share picker: one tile per screen and per application window; Share
// starts the share stream of the current tab's chosen tile and hands its label
// to the meeting window. Parentless, application-modal, deletes itself on
// close; owns its capture object for its whole life.
class ScreenShareWidget : public QWidget {
    Q_OBJECT
public:
    ScreenShareWidget(int excludedWindowId, QWidget* parent = nullptr);
    ~ScreenShareWidget() override;

    void showScreenCaptureImage();
    void showWindowCaptureImage();

signals:
    void sigAddSecondStream(std::string label);

public slots:
    void slotTranslatorLanguage();

private:
    void setupList(QListWidget* list);
    void clearListWidget(QListWidget* list);
    void addTile(QListWidget* list, int id, bool isScreen, const std::string& title, QSize tileSize,
                 const unsigned char* bytes, int length);
    void onTabChanged(int index);
    void onCurrentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void updateShareButton();
    void share();

    Ui::ScreenShareWidget* ui;
    std::unique_ptr<DesktopCaptureInterface> m_capture;
    std::vector<capture_source> m_sources;
    // The chosen tile of each tab; a tab without a choice shares nothing.
    std::optional<int> m_screenChoice;
    std::optional<int> m_windowChoice;
    int m_excludedWindowId;
};
