#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;

// Tells the user that the program is up to date, or offers the newer version
// that the update manifest names. Deletes itself when it closes.
class VeltoUpdate : public QWidget {
    Q_OBJECT
public:
    VeltoUpdate(QString curVersion, QString& latestVersion, QString& fileName, QString& downPath, QString& md5,
                bool modal, QWidget* parent = nullptr);

    bool offersUpdate() const;

signals:
    // A modal dialog closed, whatever closed it.
    void sigCancel();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString m_curVersion;
    QString m_latestVersion;
    bool m_modal;
    QStackedWidget* m_stackedWidget;
    QWidget* m_curPage;
    QWidget* m_updatePage;
    QPushButton* m_btnUpgrade;
};
