#include "whiteboarditem.h"

namespace drawing {

std::vector<std::pair<std::string, std::string>> replayMessages(const std::vector<WhiteboardItem>& items)
{
    std::vector<std::pair<std::string, std::string>> messages;
    messages.reserve(items.size());
    for (const WhiteboardItem& item : items) {
        if (item.kind == kTextItem)
            messages.emplace_back(kTypeInitText, TextMessage{item.p1, item.text}.encode());
        else if (item.kind == kLineItem)
            messages.emplace_back(kTypeInit,
                                  StrokeMessage::drawn(item.p1, item.p2, item.colour, item.penSize).encode());
    }
    return messages;
}

qint64 ReplayLimiter::schedule(const std::string& requester, qint64 nowMs)
{
    const QString key = QString::fromStdString(requester);
    const auto it = lastReplay.constFind(key);
    if (it != lastReplay.constEnd() && it.value() > nowMs)
        return -1;
    const qint64 due = it == lastReplay.constEnd() || nowMs - it.value() >= interval ? nowMs : it.value() + interval;
    // Bounded: requesters who have not asked for a while are forgotten.
    if (lastReplay.size() > 1024) {
        for (auto i = lastReplay.begin(); i != lastReplay.end();)
            i = nowMs - i.value() >= interval ? lastReplay.erase(i) : std::next(i);
    }
    lastReplay.insert(key, due);
    return due - nowMs;
}

}  // namespace drawing
