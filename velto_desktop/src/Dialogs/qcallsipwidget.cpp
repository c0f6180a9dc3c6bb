#include "qcallsipwidget.h"
#include "ui_qcallsipwidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "meetingtoolrules.h"
#include "messagebox.h"

QCallSipWidget::QCallSipWidget(int mode, QWidget* parent) : QWidget(parent), ui(new Ui::QCallSipWidget), m_mode(mode)
{
    ui->setupUi(this);
    setupOneShotDialog(this, QString());  // the title follows the mode
    const bool phone = m_mode == PhoneMode;
    ui->slblText_1->setVisible(phone);
    ui->slblText_2->setVisible(phone);
    ui->comboBox->setVisible(!phone);
    retranslate();
    ui->edtSip->setFocus();

    connect(ui->btnSipOk, &QPushButton::clicked, this, &QCallSipWidget::call);
    connect(ui->btnSipCancel, &QPushButton::clicked, this, &QWidget::close);
}

QCallSipWidget::~QCallSipWidget()
{
    delete ui;
}

void QCallSipWidget::retranslate()
{
    const bool phone = m_mode == PhoneMode;
    setWindowTitle(phone ? tr("CallPhone") : tr("CallSip"));
    ui->lblSipText->setText(phone ? tr("Please input the phone number") : tr("Please input the sip number"));
}

void QCallSipWidget::call()
{
    const std::string number = ui->edtSip->text().trimmed().toStdString();
    if (number.empty()) {
        ui->edtSip->setStyleSheet("border:1px solid red;");
        return;
    }
    if (m_mode == PhoneMode) {
        int code = 0;
        if (CGlobalInstance::veltoSdk->CallPhone(number, code) == 0) {
            emit sigCallSuccess(number);
            close();
        } else if (code == 301) {
            close();
            (new MessageBox(100028, false))->showWidget();
        } else {
            (new MessageBox(100026, false))->showWidget();
        }
        return;
    }
    const std::string address = meetingtools::sipAddress(ui->comboBox->currentText(), ui->edtSip->text());
    if (CGlobalInstance::veltoSdk->CallSip(address) != 0) {
        (new MessageBox(100025, false))->showWidget();
        return;
    }
    emit sigCallSuccess(address);
    close();
}

void QCallSipWidget::keyPressEvent(QKeyEvent* event)
{
    handleConfirmKey(event, this, ui->btnSipCancel, [this] { call(); });
}
