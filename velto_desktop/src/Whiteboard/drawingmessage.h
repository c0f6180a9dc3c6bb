#pragma once
// The drawing messages of the whiteboard and annotation channels: what every
// sender writes and every receiver reads, in one place. QtCore only, so that
// the rules are tested as tables and the decoder is fuzzed without a display.
//
// Everything read from the wire is bounded here, before a window sees it:
// numbers are finite, cut toward zero and clamped (coordinates to +-32767, pen
// sizes to 1..64), texts to 2000 characters, a message to 64 KiB.

#include <QPoint>
#include <QSize>
#include <QString>

#include <string>

namespace drawing {

// The page the other clients of the service open for a whiteboard; carried only.
inline constexpr char kWhiteboardPage[] = "static/apps/drawing/index.html";

// Actions and type words, compared exactly.
inline constexpr char kCreate[] = "create";
inline constexpr char kMessage[] = "message";
inline constexpr char kDestroy[] = "destroy";
inline constexpr char kTypeWhiteboard[] = "Whiteboard";
inline constexpr char kTypeWhiteboardText[] = "Whiteboard Text";
inline constexpr char kTypeClearWhiteboard[] = "Clear Whiteboard";
inline constexpr char kTypeAnnotate[] = "Annotate";
inline constexpr char kTypeAnnotateText[] = "Annotate Text";
inline constexpr char kTypeClearAnnotate[] = "Clear Annotate";
inline constexpr char kTypeInit[] = "init";
inline constexpr char kTypeInitText[] = "init Text";
inline constexpr char kTypeGetInit[] = "getInit";

// The colour text of the eraser tool, and what an eraser stroke carries.
inline constexpr char kEraserColour[] = "#ffffff";
inline constexpr char kEraserWireColour[] = "rgba(255,255,255,1.0)";
inline constexpr char kPenType[] = "source-over";
inline constexpr char kEraserType[] = "destination-out";
inline constexpr char kDefaultColour[] = "#000000";

inline constexpr int kMaxCoordinate = 32767;
inline constexpr int kMinPenSize = 1;
inline constexpr int kMaxPenSize = 64;
inline constexpr int kMaxTextLength = 2000;
inline constexpr int kMaxMessageBytes = 64 * 1024;

enum class Channel { Whiteboard, Annotation };

// The body of one straight segment of a pen or the eraser.
struct StrokeMessage {
    QPoint start;
    QPoint end;
    QString penType;
    QString penColor;
    int penSize = kMinPenSize;

    // The segment a drawer sends in its colour text: the eraser's colour gives
    // the eraser form, any other the pen form.
    static StrokeMessage drawn(QPoint start, QPoint end, const QString& colour, int penSize);
    // The compact UTF-8 body, members in key order, values bounded.
    std::string encode() const;
};

// The body of one committed text, placed with its top-left corner at point.
struct TextMessage {
    QPoint point;
    QString text;

    std::string encode() const;
};

// What a receiver does with an incoming action: the first of "create",
// "message", "destroy" found in it, searched in that order.
enum class Action { Create, Message, Destroy, Ignored };
Action classifyAction(const std::string& action);

// An incoming "message": what it asks for, and its body when it carries one.
struct Incoming {
    enum Kind { None, DrawStroke, DrawText, GetInit, Clear } kind = None;
    StrokeMessage stroke;
    TextMessage text;
};
// Reads the data text of an incoming "message" on the given channel. Anything
// malformed, over-long or of another channel's type word gives None.
Incoming decodeMessage(const std::string& data, Channel channel);

// An eraser stroke is one whose colour text is exactly the eraser's.
bool isEraserColour(const QString& colour);
// Whether a received stroke draws (its pen type names a "source" operation).
bool drawsPen(const QString& penType);

// Type words of a channel.
const char* strokeType(Channel channel);
const char* textType(Channel channel);
const char* clearType(Channel channel);

// The sender's drawing area of an annotation "create", written "WxH".
std::string encodeSize(QSize size);
// Reads "WxH" (each side: leading blanks and a sign allowed, digits up to the
// first other character). A side that is missing, <= 0 or beyond the
// coordinate range gives an invalid (empty) size: the area is unusable.
QSize decodeSize(const std::string& text);

}  // namespace drawing
