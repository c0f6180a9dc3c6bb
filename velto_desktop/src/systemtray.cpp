#include "systemtray.h"
#include "ui_systemtray.h"

#include <QAction>
#include <QIcon>
#include <QMenu>

#include "Dialogs/messagebox.h"
#include "cglobalinstance.h"

SystemTray::SystemTray(QWidget* parent)
    : QWidget(parent),
      ui(new Ui::SystemTray),
      m_trayIcon(new QSystemTrayIcon),
      m_trayMenu(new QMenu),
      m_languageMenu(new QMenu),
      m_openAction(new QAction(this)),
      m_languageAction(new QAction(this)),
      m_chineseAction(new QAction(this)),
      m_englishAction(new QAction(this)),
      m_exitAction(new QAction(this))
{
    ui->setupUi(this);

    connect(m_openAction, &QAction::triggered, this, &SystemTray::sigShowMainWindow);
    connect(m_exitAction, &QAction::triggered, this, &SystemTray::sigExitApplication);

    m_chineseAction->setCheckable(true);
    m_englishAction->setCheckable(true);
    connect(m_chineseAction, &QAction::triggered, this, &SystemTray::switchLanguageZh);
    connect(m_englishAction, &QAction::triggered, this, &SystemTray::switchLanguageEn);
    m_languageMenu->addAction(m_chineseAction);
    m_languageMenu->addAction(m_englishAction);
    m_languageAction->setMenu(m_languageMenu);
    const bool english = CGlobalInstance::eLanguage != 0;
    m_englishAction->setChecked(english);
    m_chineseAction->setChecked(!english);

    m_trayMenu->addAction(m_openAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_languageAction);
    m_trayMenu->addAction(m_exitAction);
    m_trayIcon->setContextMenu(m_trayMenu);
    m_trayIcon->setIcon(QIcon(":/images/logo"));
    m_trayIcon->setVisible(true);

    retranslate();
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &SystemTray::activeTray);
}

SystemTray::~SystemTray()
{
    delete m_trayIcon;
    delete m_trayMenu;
    delete m_languageMenu;
    delete ui;
}

void SystemTray::retranslate()
{
    m_openAction->setText(tr("Open Velto"));
    m_languageAction->setText(tr("Switch Languages"));
    m_chineseAction->setText(tr("Chinese(Simplified)"));
    m_englishAction->setText(tr("English"));
    m_exitAction->setText(tr("Exit"));
    m_trayIcon->setToolTip(tr("Velto Desktop"));
}

void SystemTray::activeTray(QSystemTrayIcon::ActivationReason reason)
{
    // Some trays open the context menu themselves before they report the click.
    if (reason == QSystemTrayIcon::Context && !m_trayMenu->isVisible())
        m_trayMenu->popup(QCursor::pos());
}

void SystemTray::switchLanguageZh() { switchLanguage(m_chineseAction, m_englishAction, eCHINESE); }

void SystemTray::switchLanguageEn() { switchLanguage(m_englishAction, m_chineseAction, eENGLISH); }

void SystemTray::switchLanguage(QAction* chosen, QAction* other, int language)
{
    // The click has already toggled the entry: unchecked now means it was the
    // language in use.
    if (!chosen->isChecked()) {
        chosen->setChecked(true);
        return;
    }
    CGlobalInstance::setLanguage(eLANGUAGE(language));
    auto* box = new MessageBox(100029, true, nullptr);
    box->setPromptText(false);
    box->showWidget();
    box->startTimer();
    other->setChecked(false);
    chosen->setChecked(true);
}
