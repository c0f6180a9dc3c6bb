#include "qhandsupwidget.h"
#include "ui_qhandsupwidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "handsupitem.h"

#include <algorithm>

QHandsUpWidget::QHandsUpWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QHandsUpWidget)
{
    ui->setupUi(this);
    setupOneShotDialog(this, tr("HandsUp"), Qt::WindowMaximizeButtonHint);
    for (const auto& [userjid, nickname] : CGlobalInstance::handsup_list)
        addItemWidget(userjid, nickname);
}

QHandsUpWidget::~QHandsUpWidget()
{
    delete ui;
}

void QHandsUpWidget::addItemWidget(const std::string& userjid, const std::string& nickname)
{
    auto* item = new QListWidgetItem(ui->handsUpListWidget);
    auto* row = new HandsUpItem(userjid, nickname);
    connect(row, &HandsUpItem::sigAccept, this, [this](std::string jid) { answer("agree", jid); });
    connect(row, &HandsUpItem::sigRefuse, this, [this](std::string jid) { answer("refuse", jid); });
    connect(row, &HandsUpItem::sigIgnore, this, [this](std::string jid) { removeItem(jid); });
    item->setSizeHint(QSize(ui->handsUpListWidget->width(), row->height()));
    ui->handsUpListWidget->addItem(item);
    ui->handsUpListWidget->setItemWidget(item, row);
    m_items.push_back(item);
}

// A failed answer keeps the row and the request: the moderator can try again.
void QHandsUpWidget::answer(const char* action, const std::string& userjid)
{
    if (CGlobalInstance::veltoSdk->HandsUp(action, userjid, "") == 0)
        removeItem(userjid);
}

std::vector<QListWidgetItem*>::iterator QHandsUpWidget::findItem(const std::string& userjid)
{
    return std::find_if(m_items.begin(), m_items.end(), [this, &userjid](QListWidgetItem* item) {
        auto* row = qobject_cast<HandsUpItem*>(ui->handsUpListWidget->itemWidget(item));
        return row && row->getUserJid() == userjid;
    });
}

void QHandsUpWidget::removeItem(const std::string& userjid)
{
    const auto it = findItem(userjid);
    if (it != m_items.end()) {
        QListWidgetItem* item = *it;
        // The row is inside its own button's signal: let it finish first.
        QWidget* row = ui->handsUpListWidget->itemWidget(item);
        if (row) {
            row->hide();
            row->deleteLater();
        }
        delete item;
        m_items.erase(it);
    }
    CGlobalInstance::handsup_list.erase(userjid);
    if (CGlobalInstance::handsup_list.empty())
        emit sigHideHandsUpRingBtn();
}

void QHandsUpWidget::slotHandsUp(std::string action, std::string userjid, std::string nickname)
{
    if (action == "apply")
        addItemWidget(userjid, nickname);
    else
        removeItem(userjid);
}
