#ifndef QBASELABEL_H
#define QBASELABEL_H

#include <QLabel>

class QPushButton;
class QVBoxLayout;

// A tab label of the main window: a picture above a caption, both clickable.
class QBaseLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QBaseLabel(QWidget* parent = nullptr);

    void setText(QString text);
    void setText(QString icon, QString text);
    void setText(QChar glyph, QString text, int size);
    // Selected: `selectedIcon` and a green caption; otherwise `icon` and black.
    void select(QString icon, QString selectedIcon, bool selected);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPushButton* m_iconButton;
    QPushButton* m_textButton;
    QVBoxLayout* m_layout;
};

#endif // QBASELABEL_H
