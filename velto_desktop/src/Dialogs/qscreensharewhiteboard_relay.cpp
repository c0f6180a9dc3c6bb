// The annotation channel's receiving end, as the meeting window uses it.
#include "qscreensharewhiteboard.h"

#include "cglobalinstance.h"

namespace {

// Whether jid is the meeting's current moderator, as the participant list says.
bool fromModerator(const std::string& jid)
{
    const auto entry = CGlobalInstance::user_list.find(CGlobalInstance::getEndpointByJid(jid));
    return entry != CGlobalInstance::user_list.end() && entry->second.isModerator;
}

}  // namespace

bool QScreenshareWhiteboard::relay(QPointer<QScreenshareWhiteboard>& overlay, const QWidget* meetingWindow,
                                   const std::string& action, const std::string& data, const std::string& from)
{
    const drawing::Action kind = drawing::classifyAction(action);
    if (kind == drawing::Action::Ignored)
        return false;
    if (kind == drawing::Action::Message) {
        const drawing::Incoming in = drawing::decodeMessage(data, drawing::Channel::Annotation);
        if (in.kind == drawing::Incoming::GetInit) {
            if (overlay && CGlobalInstance::isShareWhiteboard)
                overlay->slotAnnotateGetInit(from);
            return false;
        }
        // The sharer's own overlay shows only its own drawing.
        if (!overlay || CGlobalInstance::isShareWhiteboard || !fromModerator(from))
            return false;
        switch (in.kind) {
        case drawing::Incoming::DrawStroke:
            overlay->slotDrawLine(in.stroke.start, in.stroke.end, in.stroke.penType, in.stroke.penColor,
                                  in.stroke.penSize);
            break;
        case drawing::Incoming::DrawText:
            overlay->slotDrawText(in.text.point, in.text.text);
            break;
        case drawing::Incoming::Clear:
            overlay->slotClear();
            break;
        default:
            break;
        }
        return false;
    }
    // Only the moderator opens or closes a drawing over this client's screen,
    // and never over the sharer's own.
    if (CGlobalInstance::isShareWhiteboard || !fromModerator(from))
        return false;
    if (kind == drawing::Action::Destroy) {
        if (overlay) {
            overlay->close();
            overlay->deleteLater();
            overlay = nullptr;
        }
        return false;
    }
    if (!meetingWindow)
        return false;
    if (!overlay)
        overlay = new QScreenshareWhiteboard();
    const QSize sender = drawing::decodeSize(data);
    overlay->showWidget(meetingWindow->frameGeometry(), sender.width(), sender.height());
    return true;
}
