// libFuzzer target: the drawing-message decoder of both channels and the
// sender-size reader never crash, and whatever they let through is bounded
// and survives being written and read again unchanged.
#include "Whiteboard/annotationmapping.h"
#include "Whiteboard/drawingmessage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool inRange(QPoint p)
{
    return std::abs(p.x()) <= drawing::kMaxCoordinate && std::abs(p.y()) <= drawing::kMaxCoordinate;
}

std::string wrap(const char* type, const std::string& body)
{
    return std::string(R"({"type":")") + type + R"(","message":)" + body + "}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    drawing::classifyAction(text);

    for (const drawing::Channel channel : {drawing::Channel::Whiteboard, drawing::Channel::Annotation}) {
        const drawing::Incoming in = drawing::decodeMessage(text, channel);
        if (in.kind == drawing::Incoming::DrawStroke) {
            const drawing::StrokeMessage& s = in.stroke;
            check(inRange(s.start) && inRange(s.end));
            check(s.penSize >= drawing::kMinPenSize && s.penSize <= drawing::kMaxPenSize);
            check(s.penColor.size() <= drawing::kMaxTextLength && s.penType.size() <= drawing::kMaxTextLength);
            const drawing::Incoming again =
                drawing::decodeMessage(wrap(drawing::strokeType(channel), s.encode()), channel);
            check(again.kind == drawing::Incoming::DrawStroke);
            check(again.stroke.start == s.start && again.stroke.end == s.end && again.stroke.penSize == s.penSize);
            check(again.stroke.penType == s.penType && again.stroke.penColor == s.penColor);
        } else if (in.kind == drawing::Incoming::DrawText) {
            check(inRange(in.text.point) && in.text.text.size() <= drawing::kMaxTextLength);
            const drawing::Incoming again =
                drawing::decodeMessage(wrap(drawing::textType(channel), in.text.encode()), channel);
            check(again.kind == drawing::Incoming::DrawText);
            check(again.text.point == in.text.point && again.text.text == in.text.text);
        }
    }

    const QSize sender = drawing::decodeSize(text);
    if (sender.isValid()) {
        check(sender.width() > 0 && sender.height() > 0);
        check(sender.width() <= drawing::kMaxCoordinate && sender.height() <= drawing::kMaxCoordinate);
        const AnnotationMapping m = AnnotationMapping::compute(1200, 697, sender.width(), sender.height(), 22);
        check(m.usable);
        const QPoint corner = m.map({sender.width(), sender.height()});
        check(corner.x() <= 1201 && corner.y() <= 698);
        check(m.penSize(64) >= 1);
    }
    return 0;
}
