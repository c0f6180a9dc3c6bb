#include "meetingtoolrules.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace meetingtools {

std::optional<ScreenShareRequest> screenShareRequest(bool screenTab, std::optional<int> screenChoice,
                                                     std::optional<int> windowChoice, int excludedWindow)
{
    if (screenTab) {
        if (!screenChoice)
            return std::nullopt;
        return ScreenShareRequest{true, 20, *screenChoice, excludedWindow, 0};
    }
    if (!windowChoice)
        return std::nullopt;
    return ScreenShareRequest{false, 15, *windowChoice, 0, *windowChoice};
}

bool isOfferedWindow(int64_t id, const std::string& title, int64_t pickerId, int64_t excludedId)
{
    if (id == pickerId || id == excludedId)
        return false;
    for (const char* own : {"velto_desktop", "Meeting", "会议室"}) {
        if (title.find(own) != std::string::npos)
            return false;
    }
    return true;
}

QSize screenTileSize(int screens, QSize list)
{
    if (screens <= 1)
        return QSize(list.width() * 2 / 3, list.height() * 2 / 3);
    return QSize(list.width() / 2 - 100, list.height() - 65);
}

QSize windowTileSize(QSize list)
{
    return QSize((list.width() - 100) / 3, (list.height() - 65) / 2);
}

std::string newShareLabel()
{
    return std::to_string(QRandomGenerator::global()->bounded(10000));
}

std::string entryEndpoint(const std::string& entry)
{
    return entry.substr(0, entry.find('_'));
}

QSize tileGrid(int entries)
{
    if (entries == 2)
        return QSize(2, 1);
    if (entries <= 4)
        return QSize(2, 2);
    if (entries <= 6)
        return QSize(3, 2);
    if (entries <= 9)
        return QSize(3, 3);
    return QSize(0, 0);
}

std::vector<QPoint> tileSlotPositions(int entries, int w, int h)
{
    const QSize grid = tileGrid(entries);
    if (entries <= 0 || grid.isEmpty())
        return {};
    const int x0 = (w - kTileSlotSize.width() * grid.width() - 40) / 2 - 20;
    const int y0 = (h - kTileSlotSize.height() * grid.height() - 40) / 2 - 10;
    std::vector<QPoint> positions;
    for (int i = 0; i < entries; ++i)
        positions.emplace_back(x0 + (i % grid.width()) * 220, y0 + (i / grid.width()) * 140);
    return positions;
}

int surroundSlotWidth(int count)
{
    if (count == 0)
        return 250;
    return count <= 5 ? 200 : 115;
}

std::optional<std::string> participantList(const std::vector<SlotChoice>& choices)
{
    std::string list;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].endpoint.empty())
            return std::nullopt;
        if (i > 0)
            list += ",";
        list += choices[i].polling ? std::string("polling") : choices[i].endpoint;
    }
    return list;
}

std::string sipAddress(const QString& scheme, const QString& number)
{
    return (scheme.toLower() + ":" + number.trimmed()).toStdString();
}

bool callAnswered(const std::string& dialled, const std::string& nickname)
{
    return nickname.find(dialled) != std::string::npos;
}

int closingMinutes(const std::string& data)
{
    static const QRegularExpression number(QStringLiteral("\\d+"));
    std::vector<int> numbers;
    auto it = number.globalMatch(QString::fromStdString(data));
    while (it.hasNext()) {
        bool ok = false;
        const int value = it.next().captured(0).toInt(&ok);
        if (ok)
            numbers.push_back(value);
    }
    for (int minutes : {15, 10, 5}) {
        for (int value : numbers) {
            if (value == minutes)
                return minutes;
        }
    }
    return 0;
}

double switchKnobRest(bool on, int width, int knobHeight)
{
    return on ? (width - 1) - knobHeight / 2 : knobHeight / 2;
}

}  // namespace meetingtools
