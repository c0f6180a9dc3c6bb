#include "screenitem.h"
#include "ui_screenitem.h"

#include <QPainter>
#include <QStyleOption>
#include <QTextDocument>

ScreenItem::ScreenItem(int id, bool isScreen, QWidget* parent) : QWidget(parent), ui(new Ui::ScreenItem), m_id(id)
{
    ui->setupUi(this);
    if (isScreen) {
        ui->lblIcon->hide();
        ui->lblText->hide();
    }
}

ScreenItem::~ScreenItem()
{
    delete ui;
}

void ScreenItem::setWidowTitle(const std::string& title)
{
    ui->lblIcon->hide();
    const QString text = QString::fromStdString(title);
    const int limit = static_cast<int>((width() - 36) * 0.6);
    const QFontMetrics metrics(ui->lblText->font());
    ui->lblText->setText(metrics.horizontalAdvance(text) >= limit ? metrics.elidedText(text, Qt::ElideRight, limit)
                                                                   : text);
    ui->lblText->setToolTip(Qt::convertFromPlainText(text));
}

void ScreenItem::setWidowTitle(const std::string& title, const QPixmap& icon)
{
    setWidowTitle(title);
    ui->lblIcon->setPixmap(icon);
    ui->lblIcon->show();
}

void ScreenItem::setWindowCaptureImage(const QPixmap& picture)
{
    ui->lblImage->setPixmap(picture);
}

void ScreenItem::setItemSeclect(bool selected)
{
    setStyleSheet(selected ? "QWidget#ScreenItem{border:2px solid blue;}" : "QWidget#ScreenItem{border:none;}");
    ui->lblText->setStyleSheet(selected ? "font-weight:bold;" : "font-weight:normal;");
}

void ScreenItem::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
