#pragma once

#include <QSystemTrayIcon>
#include <QWidget>

namespace Ui {
class SystemTray;
}
class QAction;
class QMenu;

// The program's icon in the system tray: the way back to a program whose
// windows are all hidden, the language choice and Exit. The widget itself is
// never shown.
class SystemTray : public QWidget {
    Q_OBJECT
public:
    explicit SystemTray(QWidget* parent = nullptr);
    ~SystemTray() override;

signals:
    void sigTranslatorLanguage();
    void sigShowMainWindow();
    void sigExitApplication();

public slots:
    void activeTray(QSystemTrayIcon::ActivationReason reason);
    void switchLanguageZh();
    void switchLanguageEn();

private:
    void retranslate();
    // Stores the language clicked in `chosen` unless it was already the
    // checked one; it takes effect at the next start.
    void switchLanguage(QAction* chosen, QAction* other, int language);

    Ui::SystemTray* ui;
    QSystemTrayIcon* m_trayIcon;
    QMenu* m_trayMenu;
    QMenu* m_languageMenu;
    QAction* m_openAction;
    QAction* m_languageAction;
    QAction* m_chineseAction;
    QAction* m_englishAction;
    QAction* m_exitAction;
};
