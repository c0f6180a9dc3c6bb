#include "veltoupdate.h"

#include <QIcon>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QHBoxLayout* centred(QWidget* widget)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(widget);
    row->addStretch();
    return row;
}

}  // namespace

VeltoUpdate::VeltoUpdate(QString curVersion, QString& latestVersion, QString& fileName, QString& downPath,
                         QString& md5, bool modal, QWidget* parent)
    : QWidget(parent),
      m_curVersion(curVersion),
      m_latestVersion(latestVersion),
      m_modal(modal),
      m_stackedWidget(new QStackedWidget(this)),
      m_curPage(new QWidget),
      m_updatePage(new QWidget),
      m_btnUpgrade(new QPushButton(tr("Upgraged")))
{
    setObjectName("VeltoUpdate");
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowTitle(tr("Update"));
    if (modal)
        setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* okButton = new QPushButton(tr("OK"));
    okButton->setObjectName("btnUpdateOK");
    okButton->setMinimumSize(120, 30);
    auto* curLayout = new QVBoxLayout(m_curPage);
    curLayout->addLayout(centred(new QLabel(tr("Now it's the latest version"))));
    curLayout->addLayout(centred(new QLabel(tr("Version:") + " " + curVersion)));
    curLayout->addLayout(centred(okButton));

    auto* cancelButton = new QPushButton(tr("Cancel"));
    cancelButton->setObjectName("btnCancel");
    cancelButton->setMinimumSize(120, 30);
    m_btnUpgrade->setObjectName("btnUpgrade");
    m_btnUpgrade->setMinimumSize(120, 30);
    // Downloading and installing the package is not available in this build;
    // the button stays off rather than promise an update it cannot deliver.
    m_btnUpgrade->setEnabled(false);
    auto* versions = new QGridLayout;
    versions->addWidget(new QLabel(tr("Current Version:")), 0, 0);
    versions->addWidget(new QLabel(curVersion), 0, 1);
    versions->addWidget(new QLabel(tr("Latest Version:")), 1, 0);
    auto* latestLabel = new QLabel(latestVersion);
    latestLabel->setObjectName("lblLatest");
    versions->addWidget(latestLabel, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnUpgrade);
    buttons->addWidget(cancelButton);
    buttons->addStretch();
    auto* updateLayout = new QVBoxLayout(m_updatePage);
    updateLayout->addLayout(versions);
    updateLayout->addLayout(centred(new QLabel(tr("Upgrade to the latest version?"))));
    updateLayout->addLayout(buttons);

    m_stackedWidget->addWidget(m_curPage);
    m_stackedWidget->addWidget(m_updatePage);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stackedWidget);

    if (offersUpdate()) {
        setFixedSize(380, 230);
        m_stackedWidget->setCurrentWidget(m_updatePage);
    } else {
        setFixedHeight(200);
        m_stackedWidget->setCurrentWidget(m_curPage);
    }
    connect(okButton, &QPushButton::clicked, this, &QWidget::close);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
}

bool VeltoUpdate::offersUpdate() const { return !m_latestVersion.isEmpty() && m_latestVersion != m_curVersion; }

void VeltoUpdate::closeEvent(QCloseEvent* event)
{
    if (m_modal)
        emit sigCancel();
    QWidget::closeEvent(event);
}
