// The drawing messages of both channels (bodies, incoming data, sizes), the
// pacing of replays and the viewer's annotation mapping, as tables.
#include "DesktopTestUtil.h"
#include "Whiteboard/annotationmapping.h"
#include "Whiteboard/drawingmessage.h"
#include "Whiteboard/whiteboarditem.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace drawing;

namespace {

// What a drawer sends for a segment in its colour, and for a text.
std::string strokeBody(QPoint start, QPoint end, const QString& colour, int penSize)
{
    return StrokeMessage::drawn(start, end, colour, penSize).encode();
}

std::string textBody(QPoint point, const QString& text) { return TextMessage{point, text}.encode(); }

TEST(DrawingCodec, StrokeAndTextBodiesAreCompactSortedJson)
{
    struct Case {
        const char* name;
        std::string body;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"pen", strokeBody({10, 20}, {13, 24}, "#00aaff", 16),
         R"({"mouse":[[10,20],[13,24]],"penColor":"#00aaff","penSize":16,"penType":"source-over"})"},
        {"eraser", strokeBody({1, 2}, {3, 4}, "#ffffff", 8),
         R"j({"mouse":[[1,2],[3,4]],"penColor":"rgba(255,255,255,1.0)","penSize":8,"penType":"destination-out"})j"},
        {"upper-case white is a pen", strokeBody({0, 0}, {1, 1}, "#FFFFFF", 4),
         R"({"mouse":[[0,0],[1,1]],"penColor":"#FFFFFF","penSize":4,"penType":"source-over"})"},
        {"text, non-ASCII", textBody({5, -6}, QString::fromUtf8("会议 \"ü\"")),
         "{\"mouse\":[5,-6],\"text\":\"\xe4\xbc\x9a\xe8\xae\xae \\\"\xc3\xbc\\\"\"}"},
        {"out of range", strokeBody({99999, -99999}, {0, 0}, "#000000", 500),
         R"({"mouse":[[32767,-32767],[0,0]],"penColor":"#000000","penSize":64,"penType":"source-over"})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.body, c.expected) << c.name;
    EXPECT_EQ(textBody({0, 0}, QString(5000, 'a')).size(), std::string(R"({"mouse":[0,0],"text":""})").size() + 2000);
}

std::string wrap(const std::string& type, const std::string& body)
{
    return R"({"type":")" + type + R"(","message":)" + body + "}";
}

TEST(DrawingCodec, IncomingStrokesAreBoundedAndDefaulted)
{
    struct Case {
        const char* name;
        std::string data;
        Incoming::Kind kind;
        // Read only for strokes.
        QPoint start = {}, end = {};
        int penSize = 0;
        QString penType = {}, penColor = {};
    };
    const std::string pen = R"("penType":"source-over","penColor":"#ff0000")";
    const std::vector<Case> cases = {
        {"round trip", wrap("Whiteboard", strokeBody({10, 20}, {13, 24}, "#ff0000", 16)), Incoming::DrawStroke,
         {10, 20}, {13, 24}, 16, "source-over", "#ff0000"},
        {"replay", wrap("init", strokeBody({1, 2}, {3, 4}, "#ffffff", 8)), Incoming::DrawStroke, {1, 2}, {3, 4}, 8,
         "destination-out", "rgba(255,255,255,1.0)"},
        {"fraction cut toward zero", wrap("Whiteboard", R"({"mouse":[[10.7,-3.9],[4,4]],"penSize":8.9,)" + pen + "}"),
         Incoming::DrawStroke, {10, -3}, {4, 4}, 8, "source-over", "#ff0000"},
        {"huge numbers clamp", wrap("Whiteboard", R"({"mouse":[[1e300,-1e300],[4,4]],"penSize":1e300,)" + pen + "}"),
         Incoming::DrawStroke, {32767, -32767}, {4, 4}, 64, "source-over", "#ff0000"},
        {"strings read as zero", wrap("Whiteboard", R"({"mouse":[["8","9"],[4,4]],"penSize":"8",)" + pen + "}"),
         Incoming::DrawStroke, {0, 0}, {4, 4}, 1, "source-over", "#ff0000"},
        {"one point", wrap("Whiteboard", R"({"mouse":[[7,8]],"penSize":4,)" + pen + "}"), Incoming::DrawStroke,
         {7, 8}, {0, 0}, 4, "source-over", "#ff0000"},
        {"members missing", wrap("Whiteboard", "{}"), Incoming::DrawStroke, {0, 0}, {0, 0}, 1, "", ""},
        {"wrong member types", wrap("Whiteboard", R"({"mouse":{"a":1},"penType":5,"penColor":[],"penSize":null})"),
         Incoming::DrawStroke, {0, 0}, {0, 0}, 1, "", ""},
        {"other channel's word", wrap("Annotate", strokeBody({1, 1}, {2, 2}, "#000000", 8)), Incoming::None},
        {"case differs", wrap("whiteboard", strokeBody({1, 1}, {2, 2}, "#000000", 8)), Incoming::None},
        {"body not an object", wrap("Whiteboard", "[1,2]"), Incoming::None},
        {"not JSON", "Whiteboard", Incoming::None},
        {"an array", "[]", Incoming::None},
        {"no type", R"({"message":{}})", Incoming::None},
        {"type not a string", R"({"type":1,"message":{}})", Incoming::None},
        {"over 64 KiB", wrap("Whiteboard", R"({"mouse":[[1,1],[2,2]],"penColor":")" + std::string(70000, 'a') + "\"}"),
         Incoming::None},
        {"a member named twice", R"({"type":"Whiteboard","type":"getInit","message":{}})", Incoming::None},
        {"a nested member named twice", wrap("Whiteboard", R"({"mouse":[[1,1],[2,2]],"penSize":8,"penSize":9})"),
         Incoming::None},
        {"an escaped member name", R"({"typ\u0065":"getInit"})", Incoming::None},
        {"same names in sibling objects", wrap("Whiteboard", R"({"mouse":[[1,2],[3,4]],"x":{"a":1},"y":{"a":1},)" + pen + "}"),
         Incoming::DrawStroke, {1, 2}, {3, 4}, 1, "source-over", "#ff0000"},
        {"braces inside texts", wrap("Whiteboard", R"({"mouse":[[1,2],[3,4]],"penType":"{\"penType\":}","penColor":"#ff0000"})"),
         Incoming::DrawStroke, {1, 2}, {3, 4}, 1, "{\"penType\":}", "#ff0000"},
        {"ends at a zero byte", std::string(R"({"type":"getInit"})") + '\0' + "garbage", Incoming::GetInit},
        {"replay request", R"({"type":"getInit"})", Incoming::GetInit},
        {"clear", R"({"type":"Clear Whiteboard","message":""})", Incoming::Clear},
        {"the other channel's clear", R"({"type":"Clear Annotate"})", Incoming::None},
    };
    for (const Case& c : cases) {
        const Incoming in = decodeMessage(c.data, Channel::Whiteboard);
        EXPECT_EQ(in.kind, c.kind) << c.name;
        if (c.kind != Incoming::DrawStroke || in.kind != Incoming::DrawStroke)
            continue;
        EXPECT_EQ(in.stroke.start, c.start) << c.name;
        EXPECT_EQ(in.stroke.end, c.end) << c.name;
        EXPECT_EQ(in.stroke.penSize, c.penSize) << c.name;
        EXPECT_EQ(in.stroke.penType, c.penType) << c.name;
        EXPECT_EQ(in.stroke.penColor, c.penColor) << c.name;
    }
}

TEST(DrawingCodec, IncomingTextsOnEitherChannel)
{
    struct Case {
        const char* name;
        Channel channel;
        std::string data;
        Incoming::Kind kind;
        // Read only for texts.
        QPoint point = {};
        QString text = {};
    };
    const QString word = QString::fromUtf8("你好, wörld \"x\"");
    const std::vector<Case> cases = {
        {"whiteboard text", Channel::Whiteboard, wrap("Whiteboard Text", textBody({3, 4}, word)), Incoming::DrawText,
         {3, 4}, word},
        {"replayed text is passed on", Channel::Whiteboard, wrap("init Text", textBody({3, 4}, "a")),
         Incoming::DrawText, {3, 4}, "a"},
        {"annotation text", Channel::Annotation, wrap("Annotate Text", textBody({-1, 2}, word)), Incoming::DrawText,
         {-1, 2}, word},
        {"no text member", Channel::Whiteboard, wrap("Whiteboard Text", R"({"mouse":[1,2]})"), Incoming::DrawText,
         {1, 2}, ""},
        {"over-long text cut", Channel::Annotation,
         wrap("Annotate Text", R"({"mouse":[0,0],"text":")" + std::string(3000, 'b') + "\"}"), Incoming::DrawText,
         {0, 0}, QString(2000, 'b')},
        {"annotation stroke word", Channel::Annotation, wrap("Annotate", strokeBody({1, 1}, {2, 2}, "#000000", 8)),
         Incoming::DrawStroke},
        {"annotation clear", Channel::Annotation, R"({"type":"Clear Annotate"})", Incoming::Clear},
        {"whiteboard text on the annotation channel", Channel::Annotation,
         wrap("Whiteboard Text", textBody({1, 1}, "x")), Incoming::None},
    };
    for (const Case& c : cases) {
        const Incoming in = decodeMessage(c.data, c.channel);
        EXPECT_EQ(in.kind, c.kind) << c.name;
        if (c.kind == Incoming::DrawText) {
            EXPECT_EQ(in.text.point, c.point) << c.name;
            EXPECT_EQ(in.text.text, c.text) << c.name;
        }
    }
}

TEST(DrawingCodec, ActionsAreSearchedInOrder)
{
    const std::vector<std::pair<std::string, Action>> cases = {
        {"create", Action::Create},          {"destroy-create", Action::Create}, {"message destroy", Action::Message},
        {"message", Action::Message},        {"destroy", Action::Destroy},       {"Create", Action::Ignored},
        {"getInit", Action::Ignored},        {"", Action::Ignored},
    };
    for (const auto& [action, expected] : cases)
        EXPECT_EQ(classifyAction(action), expected) << action;
}

TEST(DrawingCodec, SenderSizes)
{
    const std::vector<std::pair<std::string, QSize>> cases = {
        {"1440x900", {1440, 900}},  {" +1440x 900px", {1440, 900}}, {"1920x1080x7", {1920, 1080}},
        {"", {}},                   {"1440", {}},                   {"x900", {}},
        {"0x900", {}},              {"-5x900", {}},                 {"1440x0", {}},
        {"99999999999999999999x5", {}}, {"32768x10", {}},           {"32767x10", {32767, 10}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(decodeSize(text), expected) << text;
    EXPECT_EQ(encodeSize({1440, 900}), "1440x900");
}

TEST(AnnotationMapping, FitsTheSharedPictureIntoTheViewersOverlay)
{
    struct Case {
        const char* name;
        int W, H, sw, sh, strip;
        QPoint in, out;
        int pen;  // drawn width of a size-8 stroke
    };
    const std::vector<Case> cases = {
        {"fit to height", 1200, 697, 1440, 900, 22, {100, 200}, {135, 172}, 6},
        {"fit to width", 1200, 697, 1920, 1080, 22, {100, 200}, {63, 147}, 5},
        {"wide picture centred vertically", 1200, 697, 2560, 1080, 22, {0, 0}, {0, 107}, 4},
        {"portrait picture", 1200, 697, 1080, 1920, 22, {1080, 1920}, {(1200 + 380) / 2, 697}, 3},
        {"no title strip", 1200, 675, 1440, 900, 0, {100, 200}, {135, 150}, 6},
        {"larger overlay keeps the pen", 2400, 1372, 1200, 675, 22, {0, 0}, {0, 22}, 8},
        // Rounding picks the width fit for a slightly narrower picture: it
        // would overflow the area, the centred fit is used.
        {"tiny narrower sender", 1200, 697, 14, 8, 22, {14, 8}, {(1200 + 1181) / 2, 697}, 8},
    };
    for (const Case& c : cases) {
        const AnnotationMapping m = AnnotationMapping::compute(c.W, c.H, c.sw, c.sh, c.strip);
        ASSERT_TRUE(m.usable) << c.name;
        EXPECT_EQ(m.map(c.in), c.out) << c.name;
        EXPECT_EQ(m.penSize(8), c.pen) << c.name;
        // The whole picture stays inside the overlay.
        const QPoint corner = m.map({c.sw, c.sh});
        EXPECT_LE(corner.x(), c.W) << c.name;
        EXPECT_LE(corner.y(), c.H) << c.name;
    }
}

TEST(AnnotationMapping, UnusableSizesDrawNothing)
{
    const std::vector<std::vector<int>> cases = {
        {1200, 697, 0, 900}, {1200, 697, 1440, 0}, {1200, 22, 1440, 900}, {1200, 10, 1440, 900}, {0, 697, 1440, 900},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(AnnotationMapping::compute(c[0], c[1], c[2], c[3], 22).usable) << c[0] << "x" << c[1];
}

TEST(ReplayPacing, OneReplayPerIntervalPerRequesterAndNoRequestLeftUnanswered)
{
    struct Request {
        const char* requester;
        qint64 at;
        qint64 wait;  // 0 at once, > 0 that much later, -1 answered by one already due
    };
    // One limiter through the whole table, interval 2000 ms.
    const std::vector<Request> requests = {
        {"a", 0, 0},         // first request: at once
        {"b", 10, 0},        // another requester: at once
        {"a", 500, 1500},    // inside a's interval: when it ends
        {"a", 900, -1},      // that replay, still due, answers this one too
        {"a", 2500, 1500},   // after it went out: the end of the next interval
        {"a", 3000, -1},
        {"b", 2010, 0},      // b's interval is over
        {"", 100, 0},        // the whiteboard's unnamed requester is paced alike
        {"", 1500, 600},
        {"a", 9000, 0},      // long after: at once again
    };
    drawing::ReplayLimiter limiter;
    for (const Request& r : requests)
        EXPECT_EQ(limiter.schedule(r.requester, r.at), r.wait) << r.requester << " at " << r.at;
}

}  // namespace
