// The in-meeting chat of the right panel.
#include "videowidget.h"
#include "ui_videowidget.h"

#include <QKeyEvent>
#include <QTextCursor>
#include <QTime>
#include <QTimer>

#include "cglobalinstance.h"
#include "meetinglayout.h"
#include "qstaticswidget.h"
#include "videocontrolwidget.h"

QString VideoWidget::stringToHtmlFilter(QString text) { return MeetingLayout::chatEscape(text); }

QString VideoWidget::getMessage(QString nickname, QString text)
{
    return MeetingLayout::chatEntry(nickname, text, QTime::currentTime().toString("hh:mm:ss"));
}

void VideoWidget::sendMessage()
{
    if (ui->chatWidget->isHidden())
        return;
    const QString text = ui->textEdit->toPlainText();
    if (text.isEmpty())
        return;
    CGlobalInstance::veltoSdk->SendChatMessage(text.toStdString());
    slotChatMessage(CGlobalInstance::userInfo.mUserName, text.toStdString());
    ui->textEdit->clear();
    ui->textEdit->setPlaceholderText(tr("Please enter the content..."));
}

void VideoWidget::slotChatMessage(std::string nickname, std::string message)
{
    QMutexLocker lock(&m_chatMutex);
    const QString name = QString::fromUtf8(nickname.c_str());
    const QString body = QString::fromUtf8(message.c_str());
    // A cursor of its own at the end: the user's selection in the history is
    // never replaced and the entries stay in order.
    QTextCursor cursor(ui->textBrowser->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertHtml(getMessage(name, body));
    ui->textBrowser->moveCursor(QTextCursor::End);
    m_toolbar->hasChatMessage();
}

bool VideoWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->textEdit && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return) {
            sendMessage();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == this) {
        if (event->type() == QEvent::WindowActivate) {
            if (!m_pollTimer->isActive())
                m_pollTimer->start();
        } else if (event->type() == QEvent::WindowDeactivate) {
            if (m_statics && m_statics->isVisible())
                m_statics->hide();
            if (!m_annotation)
                m_pollTimer->stop();
        }
    }
    return QWidget::eventFilter(watched, event);
}
