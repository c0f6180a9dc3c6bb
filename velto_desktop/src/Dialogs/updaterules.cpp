#include "updaterules.h"

#include <QRegularExpression>
#include <QVersionNumber>

namespace updaterules {

namespace {

QVersionNumber parseWhole(const QString& text)
{
    static const QRegularExpression dotted(QStringLiteral("^\\d{1,9}(\\.\\d{1,9})*$"));
    if (!dotted.match(text).hasMatch())
        return {};
    return QVersionNumber::fromString(text);
}

}  // namespace

bool isNewerVersion(const QString& current, const QString& latest)
{
    const QVersionNumber next = parseWhole(latest.trimmed());
    if (next.isNull())
        return false;
    return QVersionNumber::compare(next.normalized(), parseWhole(current.trimmed()).normalized()) > 0;
}

bool isPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name.contains('/') || name.contains('\\') || name.contains(QLatin1String("..")))
        return false;
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

bool sameDigest(const QString& computed, const QString& expected)
{
    static const QRegularExpression md5(QStringLiteral("^[0-9a-fA-F]{32}$"));
    return md5.match(computed).hasMatch() && computed.compare(expected.trimmed(), Qt::CaseInsensitive) == 0;
}

}  // namespace updaterules
