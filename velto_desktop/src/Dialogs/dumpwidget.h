#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class DumpWidget;
}

// Tells the user that the program crashed, with the error code and address.
// It sends nothing anywhere: a crash dump may hold private data, and no report
// leaves the machine without the user's explicit consent. A stay-on-top
// top-level that deletes itself when it closes.
class DumpWidget : public QWidget {
    Q_OBJECT
public:
    DumpWidget(QString dumpPath, QString errorCode, QString errorAddr, QWidget* parent = nullptr);
    ~DumpWidget() override;

    QString dumpPath() const { return m_dumpPath; }

public slots:
    void slotTranslatorLanguage();

private:
    Ui::DumpWidget* ui;
    QString m_dumpPath;
    QString m_errorCode;
    QString m_errorAddr;
};
