#include "profilewidget.h"
#include "ui_profilewidget.h"

#include <QDesktopServices>
#include <QUrl>

#include "Tools/iconhelper.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"

ProfileWidget::ProfileWidget(std::string userName, std::string email, std::string displayName, std::string phone,
                             QWidget* parent)
    : QWidget(parent),
      ui(new Ui::ProfileWidget),
      m_account(QString::fromStdString(userName)),
      m_email(QString::fromStdString(email)),
      m_displayName(QString::fromStdString(displayName)),
      m_phone(QString::fromStdString(phone))
{
    ui->setupUi(this);
    setWindowTitle(tr("Profile"));
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowModal);

    QString photo;
    Sqlite3::instance()->getPhotoByUserId(
        QString::fromStdString(CGlobalInstance::getUserId(CGlobalInstance::userInfo.myJid)), photo);
    if (!photo.isEmpty() && CGlobalInstance::isFileExist(photo)) {
        ui->lblImage->setPixmap(QPixmap(photo));
    } else {
        // Style first: a later style sheet would reset the glyph's size.
        ui->lblImage->setStyleSheet("color:rgb(113,223,195);");
        IconHelper::Instance()->SetIcon(ui->lblImage, QChar(0xf2be), 80);
    }
    showTexts();

    connect(ui->btnEdit, &QPushButton::clicked, this, [this] {
        QDesktopServices::openUrl(
            QUrl("https://" + QString::fromStdString(CGlobalInstance::userInfo.server) + "/index.html"));
        close();
    });
}

ProfileWidget::~ProfileWidget() { delete ui; }

void ProfileWidget::showTexts()
{
    ui->lblAccount->setText(m_account);
    ui->lblEmail->setText(m_email);
    ui->lblUsername->setText(m_displayName);
    ui->lblTelphone->setText(m_phone);
}

void ProfileWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    setWindowTitle(tr("Profile"));
    showTexts();
}
