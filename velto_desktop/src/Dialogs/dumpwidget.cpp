#include "dumpwidget.h"
#include "ui_dumpwidget.h"

#include "crashreportupload.h"

DumpWidget::DumpWidget(QString dumpPath, QString errorCode, QString errorAddr, QWidget* parent)
    : QWidget(parent), ui(new Ui::DumpWidget), m_dumpPath(dumpPath), m_errorCode(errorCode), m_errorAddr(errorAddr)
{
    ui->setupUi(this);
    setWindowFlags((windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint) |
                   Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_StyledBackground);
    slotTranslatorLanguage();
    connect(ui->btnOk, &QPushButton::clicked, this, &QWidget::close);
    CrashReportUpload::start(m_dumpPath);
}

DumpWidget::~DumpWidget() { delete ui; }

void DumpWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    setWindowTitle(tr("Program crashed"));
    ui->lblText->setText(tr("I would like to express my sincere apologies for the mistakes.\n") + tr("errorCode") + ":" +
                         m_errorCode + "\n" + tr("errorAddr") + ":" + m_errorAddr);
}
