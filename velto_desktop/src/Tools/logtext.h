#pragma once
// Outside text in a log line: names, messages, addresses and documents that
// the server, another user or another program chose. Written into a log as it
// came, a CR LF in a nickname would start a forged line of its own; logText
// writes every control character (and the line and paragraph separators) as
// an escape instead, and a backslash as two, so a line of the log is always
// one message and an escape in it always one of ours.
//
//   qDebug() << "slotRingCall invite== " << logText(userJid) << ",nickName==" << logText(nickName);
//
// QtCore only; any thread.

#include <QDebug>
#include <QString>

#include <string>

class LogText {
public:
    explicit LogText(QString escaped) : m_escaped(std::move(escaped)) {}
    const QString& text() const { return m_escaped; }

private:
    QString m_escaped;
};

// The text with \\, \r, \n and \t for those characters and \u followed by
// four hexadecimal digits for every other control or line-breaking character.
QString logEscaped(const QString& text);

LogText logText(const QString& text);
LogText logText(const std::string& utf8);
LogText logText(const QByteArray& utf8);

// Written as it is: no quotes, no further escapes.
QDebug operator<<(QDebug debug, const LogText& text);
