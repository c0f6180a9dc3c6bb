#include "qnicknamewidget.h"
#include "ui_qnicknamewidget.h"

#include <QFontMetrics>

QNicknameWidget::QNicknameWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QNicknameWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
}

QNicknameWidget::~QNicknameWidget() { delete ui; }

void QNicknameWidget::setNickname(std::string name)
{
    if (name.empty() || name == m_nickname)
        return;
    m_nickname = std::move(name);
    const QString text = QString::fromStdString(m_nickname);
    ui->lblName->setText(text);
    ui->lblName->ensurePolished();  // the style sheet's font decides the width
    setFixedWidth(QFontMetrics(ui->lblName->font()).horizontalAdvance(text) + 30);
    show();
}

void QNicknameWidget::enterEvent(QEvent* event)
{
    const QPoint p = mapToGlobal(QPoint(0, 0));
    emit sigEnterWidget(p.x(), p.y());
    QWidget::enterEvent(event);
}

void QNicknameWidget::leaveEvent(QEvent* event)
{
    emit sigLeaveWidget();
    QWidget::leaveEvent(event);
}
