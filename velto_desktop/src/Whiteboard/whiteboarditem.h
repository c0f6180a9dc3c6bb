#pragma once
// What the drawer of a whiteboard or the sharer of an annotation keeps of its
// own drawing, and how it is replayed to a participant who asks. QtCore only.

#include "drawingmessage.h"

#include <QHash>
#include <QPoint>
#include <QString>

#include <string>
#include <utility>
#include <vector>

// One drawn item kept for replay.
struct WhiteboardItem {
    int kind = 0;     // 1 text, 2 line
    QPoint p1;        // start of a line, or position of a text
    QPoint p2;        // end of a line; (0, 0) for a text
    QString colour;   // the line's colour text ("#ffffff": eraser); empty for a text
    QString text;     // the text; empty for a line
    int penSize = 0;  // the line's pen size
};
inline constexpr int kTextItem = 1;
inline constexpr int kLineItem = 2;

namespace drawing {

// The replay of items, oldest first: (type word, body) of one "message" each.
std::vector<std::pair<std::string, std::string>> replayMessages(const std::vector<WhiteboardItem>& items);

// Paces a drawer's replays: at most one per interval for each requester, so
// that a participant who keeps asking cannot make the drawer flood the
// meeting. A request inside the interval is not refused but answered by one
// replay when the interval ends (requests meanwhile share it): the asker may
// have arrived after the replay that went out. A requester the channel does
// not name (the whiteboard's) is the empty text.
class ReplayLimiter {
public:
    explicit ReplayLimiter(qint64 intervalMs = 2000) : interval(intervalMs) {}
    // When the replay that answers a request from requester at nowMs (a
    // monotonic clock) goes out: 0 at once, after that many milliseconds, or
    // -1 when a replay already due answers it.
    qint64 schedule(const std::string& requester, qint64 nowMs);

private:
    qint64 interval;
    QHash<QString, qint64> lastReplay;  // sent, or due when in the future
};

}  // namespace drawing
