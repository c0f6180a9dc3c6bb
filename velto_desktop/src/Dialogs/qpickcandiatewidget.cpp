#include "qpickcandiatewidget.h"
#include "ui_qpickcandiatewidget.h"

#include "cglobalinstance.h"

#include <QPainter>
#include <QStyleOption>

QPickCandiateWidget::QPickCandiateWidget(const QString& title, const std::string& /*nickname*/,
                                         const std::string& endpoint, bool polling, QWidget* parent)
    : QWidget(parent), ui(new Ui::QPickCandiateWidget), m_polling(polling), m_warning(new QLabel(this))
{
    ui->setupUi(this);
    ui->switchControl->setToggle(polling);
    ui->lblPickTitle->setText(title);
    m_warning->setObjectName("lblPickWarning");
    m_warning->setAlignment(Qt::AlignCenter);
    m_warning->setText(tr("Please select user"));
    m_warning->hide();
    setComboBoxData();
    ui->comboBox->setCurrentIndex(ui->comboBox->findData(QString::fromStdString(endpoint)));

    connect(ui->comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index == -1)
            return;
        m_warning->hide();
        emit sigIndexChange(ui->comboBox->itemData(index).toString());
    });
    connect(ui->switchControl, &SwitchControl::toggled, this, [this](bool on) { m_polling = on; });
}

QPickCandiateWidget::~QPickCandiateWidget()
{
    delete ui;
}

// The own name first, then every other participant in key order: the own
// entry of the participant list is not offered a second time.
void QPickCandiateWidget::setComboBoxData()
{
    ui->comboBox->clear();
    const std::string own = CGlobalInstance::getEndpointByJid(CGlobalInstance::userInfo.myJid);
    ui->comboBox->addItem(QString::fromStdString(CGlobalInstance::userInfo.mUserName), QString::fromStdString(own));
    for (const auto& [endpoint, user] : CGlobalInstance::user_list) {
        if (endpoint == own)
            continue;
        ui->comboBox->addItem(QString::fromStdString(user.nickname), QString::fromStdString(endpoint));
    }
}

std::string QPickCandiateWidget::getUserEndpoint() const
{
    if (ui->comboBox->currentIndex() < 0)
        return {};
    return ui->comboBox->currentData().toString().toStdString();
}

void QPickCandiateWidget::clear()
{
    ui->comboBox->setCurrentIndex(-1);
    showWarning();
    setPolling();
}

void QPickCandiateWidget::setPolling()
{
    ui->switchControl->setToggle(false);
    m_polling = false;
}

void QPickCandiateWidget::showWarning()
{
    m_warning->setGeometry(0, height() - 20, width(), 20);
    m_warning->raise();
    m_warning->show();
}

void QPickCandiateWidget::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
