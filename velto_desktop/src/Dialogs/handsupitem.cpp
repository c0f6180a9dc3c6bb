#include "handsupitem.h"
#include "ui_handsupitem.h"

HandsUpItem::HandsUpItem(std::string userjid, const std::string& nickname, QWidget* parent)
    : QWidget(parent), ui(new Ui::HandsUpItem), m_userjid(std::move(userjid))
{
    ui->setupUi(this);
    ui->lblHandsUpName->setText(QString::fromStdString(nickname));
    connect(ui->btnHandsupAccept, &QPushButton::clicked, this, [this] { emit sigAccept(m_userjid); });
    connect(ui->btnRefuse, &QPushButton::clicked, this, [this] { emit sigRefuse(m_userjid); });
    connect(ui->btnIgnore, &QPushButton::clicked, this, [this] { emit sigIgnore(m_userjid); });
}

HandsUpItem::~HandsUpItem()
{
    delete ui;
}
