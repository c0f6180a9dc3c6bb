#include "drawingmessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace drawing {
namespace {

// A JSON number cut toward zero and clamped to [lo, hi]; anything else is 0
// (clamped too, so a pen size that is not a number still draws).
int readInt(const QJsonValue& value, int lo, int hi)
{
    double d = value.isDouble() ? value.toDouble() : 0.0;
    if (!std::isfinite(d))
        d = 0.0;
    d = std::trunc(d);
    return static_cast<int>(std::clamp(d, static_cast<double>(lo), static_cast<double>(hi)));
}

int readCoordinate(const QJsonValue& value) { return readInt(value, -kMaxCoordinate, kMaxCoordinate); }

QPoint readPoint(const QJsonValue& value)
{
    const QJsonArray xy = value.toArray();
    return QPoint(readCoordinate(xy.at(0)), readCoordinate(xy.at(1)));
}

QString readString(const QJsonValue& value, int maxLength)
{
    return value.toString().left(maxLength);
}

int clampCoordinate(int v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }

QJsonArray pointArray(QPoint p) { return QJsonArray{clampCoordinate(p.x()), clampCoordinate(p.y())}; }

std::string compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// Reads one side of "WxH" the way strtol would, without its overflow: blanks,
// a sign, then digits up to the first other character.
bool readSide(const std::string& part, int& side)
{
    size_t i = 0;
    while (i < part.size() && (part[i] == ' ' || part[i] == '\t' || part[i] == '\n' || part[i] == '\r' ||
                               part[i] == '\f' || part[i] == '\v'))
        ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == '+' || part[i] == '-'))
        negative = part[i++] == '-';
    long long value = 0;
    bool digits = false;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
        digits = true;
        value = std::min<long long>(value * 10 + (part[i] - '0'), kMaxCoordinate + 1LL);
    }
    if (!digits || negative || value <= 0 || value > kMaxCoordinate)
        return false;
    side = static_cast<int>(value);
    return true;
}

// Whether an object in the text names a member twice (or names one with an
// escape, which could spell a twin). Qt's JSON reader leaks memory on every
// repeated key, so such text must never reach it: a sender could otherwise
// drain the receiver's memory. Malformed text answers false; the reader
// refuses it.
bool repeatsKeys(const QByteArray& text)
{
    struct Level {
        bool object;
        bool keyNext;
        std::unordered_set<std::string> keys;
    };
    std::vector<Level> levels;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const int start = ++i;
            bool escaped = false;
            for (; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\') {
                    escaped = true;
                    ++i;
                }
            }
            if (i >= text.size())
                return false;
            if (!levels.empty() && levels.back().object && levels.back().keyNext) {
                if (escaped || !levels.back().keys.insert(text.mid(start, i - start).toStdString()).second)
                    return true;
                levels.back().keyNext = false;
            }
        } else if (c == '{' || c == '[') {
            levels.push_back({c == '{', c == '{', {}});
        } else if (c == '}' || c == ']') {
            if (levels.empty())
                return false;
            levels.pop_back();
        } else if (c == ',' && !levels.empty() && levels.back().object) {
            levels.back().keyNext = true;
        }
    }
    return false;
}

}  // namespace

Action classifyAction(const std::string& action)
{
    if (action.find(kCreate) != std::string::npos)
        return Action::Create;
    if (action.find(kMessage) != std::string::npos)
        return Action::Message;
    if (action.find(kDestroy) != std::string::npos)
        return Action::Destroy;
    return Action::Ignored;
}

Incoming decodeMessage(const std::string& data, Channel channel)
{
    Incoming in;
    // The text ends at its first zero byte, as it did for the C string it was.
    const size_t length = std::min(data.size(), std::strlen(data.c_str()));
    if (length > static_cast<size_t>(kMaxMessageBytes))
        return in;
    const QByteArray text(data.data(), static_cast<int>(length));
    if (repeatsKeys(text))
        return in;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return in;
    const QJsonObject root = doc.object();
    if (!root.contains("type"))
        return in;
    const QString type = root.value("type").toString();
    const QJsonValue body = root.value("message");

    if (type == QLatin1String(strokeType(channel)) || type == QLatin1String(kTypeInit)) {
        if (!body.isObject())
            return in;
        const QJsonObject m = body.toObject();
        const QJsonArray mouse = m.value("mouse").toArray();
        in.stroke.start = readPoint(mouse.at(0));
        in.stroke.end = readPoint(mouse.at(1));
        in.stroke.penType = readString(m.value("penType"), kMaxTextLength);
        in.stroke.penColor = readString(m.value("penColor"), kMaxTextLength);
        in.stroke.penSize = readInt(m.value("penSize"), kMinPenSize, kMaxPenSize);
        in.kind = Incoming::DrawStroke;
    } else if (type == QLatin1String(textType(channel)) || type == QLatin1String(kTypeInitText)) {
        if (!body.isObject())
            return in;
        const QJsonObject m = body.toObject();
        in.text.point = readPoint(m.value("mouse"));
        in.text.text = readString(m.value("text"), kMaxTextLength);
        in.kind = Incoming::DrawText;
    } else if (type == QLatin1String(kTypeGetInit)) {
        in.kind = Incoming::GetInit;
    } else if (type == QLatin1String(clearType(channel))) {
        in.kind = Incoming::Clear;
    }
    return in;
}

bool isEraserColour(const QString& colour) { return colour == QLatin1String(kEraserColour); }

bool drawsPen(const QString& penType) { return penType.contains(QLatin1String("source")); }

StrokeMessage StrokeMessage::drawn(QPoint start, QPoint end, const QString& colour, int penSize)
{
    const bool eraser = isEraserColour(colour);
    return {start, end, eraser ? kEraserType : kPenType, eraser ? QString(kEraserWireColour) : colour, penSize};
}

std::string StrokeMessage::encode() const
{
    QJsonObject body;
    body.insert("mouse", QJsonArray{pointArray(start), pointArray(end)});
    body.insert("penType", penType.left(kMaxTextLength));
    body.insert("penColor", penColor.left(kMaxTextLength));
    body.insert("penSize", std::clamp(penSize, kMinPenSize, kMaxPenSize));
    return compact(body);
}

std::string TextMessage::encode() const
{
    QJsonObject body;
    body.insert("mouse", pointArray(point));
    body.insert("text", text.left(kMaxTextLength));
    return compact(body);
}

const char* strokeType(Channel channel)
{
    return channel == Channel::Whiteboard ? kTypeWhiteboard : kTypeAnnotate;
}

const char* textType(Channel channel)
{
    return channel == Channel::Whiteboard ? kTypeWhiteboardText : kTypeAnnotateText;
}

const char* clearType(Channel channel)
{
    return channel == Channel::Whiteboard ? kTypeClearWhiteboard : kTypeClearAnnotate;
}

std::string encodeSize(QSize size)
{
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

QSize decodeSize(const std::string& text)
{
    const size_t x = text.find('x');
    int w = 0;
    int h = 0;
    if (x == std::string::npos || !readSide(text.substr(0, x), w))
        return QSize();
    std::string rest = text.substr(x + 1);
    rest = rest.substr(0, rest.find('x'));  // only the first two parts count
    if (!readSide(rest, h))
        return QSize();
    return QSize(w, h);
}

}  // namespace drawing
