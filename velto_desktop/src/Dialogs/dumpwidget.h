#pragma once

#include <QString>
#include <QWidget>

namespace Ui {
class DumpWidget;
}

// Tells the user that the program crashed, with the error code and address,
// and sends the crash dump to the crash-report server when one is set (see
// CrashReportUpload; with none set the dump stays on the machine). A
// stay-on-top top-level that deletes itself when it closes; the upload goes on
// without it.
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
