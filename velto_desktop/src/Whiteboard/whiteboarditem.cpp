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

bool ReplayLimiter::allow(const std::string& requester, qint64 nowMs)
{
    const QString key = QString::fromStdString(requester);
    const auto it = lastAnswer.constFind(key);
    if (it != lastAnswer.constEnd() && nowMs - it.value() < interval)
        return false;
    // Bounded: requesters who have not asked for a while are forgotten.
    if (lastAnswer.size() > 1024) {
        for (auto i = lastAnswer.begin(); i != lastAnswer.end();)
            i = nowMs - i.value() >= interval ? lastAnswer.erase(i) : std::next(i);
    }
    lastAnswer.insert(key, nowMs);
    return true;
}

}  // namespace drawing
