#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class ScreenItem;
}

// One thumbnail tile of the share picker: a screen (picture only) or a window
// (picture and title). Paints its style-sheet background, so the chosen
// tile's border shows.
class ScreenItem : public QWidget {
    Q_OBJECT
public:
    ScreenItem(int id, bool isScreen, QWidget* parent = nullptr);
    ~ScreenItem() override;

    void setWidowTitle(const std::string& title);
    void setWidowTitle(const std::string& title, const QPixmap& icon);
    void setWindowCaptureImage(const QPixmap& picture);
    void setItemSeclect(bool selected);
    int getId() const { return m_id; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::ScreenItem* ui;
    int m_id;
};
