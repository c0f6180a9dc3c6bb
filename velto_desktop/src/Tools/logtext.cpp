#include "logtext.h"

QString logEscaped(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            escaped += QLatin1String("\\\\");
            continue;
        case '\r':
            escaped += QLatin1String("\\r");
            continue;
        case '\n':
            escaped += QLatin1String("\\n");
            continue;
        case '\t':
            escaped += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            escaped += QString("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

LogText logText(const QString& text) { return LogText(logEscaped(text)); }

LogText logText(const std::string& utf8)
{
    return LogText(logEscaped(QString::fromUtf8(utf8.data(), int(utf8.size()))));
}

LogText logText(const QByteArray& utf8) { return LogText(logEscaped(QString::fromUtf8(utf8))); }

QDebug operator<<(QDebug debug, const LogText& text)
{
    QDebugStateSaver saver(debug);
    debug.noquote() << text.text();
    return debug;
}
