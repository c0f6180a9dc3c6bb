#include "qbasecontactswidget.h"
#include "ui_qbasecontactswidget.h"

#include "Tools/iconhelper.h"

namespace {

constexpr int kBarHeight = 40;

}  // namespace

QBaseContactsWidget::QBaseContactsWidget(QString title, QString countText, bool expanded, QWidget* parent)
    : QWidget(parent), ui(new Ui::QBaseContactsWidget), m_title(std::move(title)), m_expanded(expanded)
{
    ui->setupUi(this);
    setStyleSheet("QWidget#contactsBar{background:rgb(241,241,241);border-top:1px solid rgb(187,187,187);}"
                  "QLabel{font-size:16px;}");
    slotTranslatorLanguage();
    ui->lblContactsCount->setText(countText);
    ui->contactsListWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showArrow();
    ui->contactsListWidget->setVisible(m_expanded);
}

QBaseContactsWidget::~QBaseContactsWidget() { delete ui; }

QListWidget* QBaseContactsWidget::listWidget() const { return ui->contactsListWidget; }

void QBaseContactsWidget::showArrow()
{
    IconHelper::Instance()->SetIcon(ui->btnDropdown, QChar(m_expanded ? 0xf107 : 0xf105), 16);
}

void QBaseContactsWidget::setMaxHeight(int height) { m_maxHeight = height; }

void QBaseContactsWidget::setHeight(int listHeight)
{
    m_fullHeight = listHeight + kBarHeight;
    if (m_fullHeight > m_maxHeight) {
        m_fullHeight = m_maxHeight;
        ui->contactsListWidget->setFixedHeight(m_maxHeight - kBarHeight);
    } else {
        ui->contactsListWidget->setFixedHeight(listHeight);
    }
    setFixedHeight(m_fullHeight);
}

void QBaseContactsWidget::setOnLineCount(int online, int total)
{
    m_total = total;
    ui->lblContactsCount->setText(QString("%1/%2").arg(online).arg(total));
}

void QBaseContactsWidget::setContactBarVisible(bool visible) { ui->contactsBar->setVisible(visible); }

void QBaseContactsWidget::slotTranslatorLanguage()
{
    if (m_title == "Contacts")
        ui->lblContactsName->setText(tr("Contacts"));
}

void QBaseContactsWidget::mousePressEvent(QMouseEvent* event)
{
    m_expanded = !m_expanded;
    showArrow();
    ui->contactsListWidget->setVisible(m_expanded);
    setFixedHeight(m_expanded ? m_fullHeight : kBarHeight);
    QWidget::mousePressEvent(event);
}
