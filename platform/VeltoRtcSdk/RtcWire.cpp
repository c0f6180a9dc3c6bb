#include "RtcWire.h"

#include <json/json.h>

#include <map>
#include <memory>
#include <vector>

namespace velto_rtc {
namespace {

// Reads members of one message; the first missing or mistyped member marks
// the whole message bad.
class Reader {
public:
    explicit Reader(const Json::Value& message) : message_(message) {}

    std::string text(const char* name)
    {
        const Json::Value& value = message_[name];
        if (!value.isString()) {
            good_ = false;
            return std::string();
        }
        return value.asString();
    }
    int number(const char* name)
    {
        const Json::Value& value = message_[name];
        if (!value.isInt()) {
            good_ = false;
            return 0;
        }
        return value.asInt();
    }
    bool flag(const char* name)
    {
        const Json::Value& value = message_[name];
        if (!value.isBool()) {
            good_ = false;
            return false;
        }
        return value.asBool();
    }
    std::vector<ssrc_t> sources(const char* name)
    {
        std::vector<ssrc_t> out;
        const Json::Value& list = message_[name];
        if (!list.isArray()) {
            good_ = false;
            return out;
        }
        for (const Json::Value& entry : list) {
            if (!entry.isObject()) {
                good_ = false;
                return {};
            }
            Reader r(entry);
            out.push_back({r.text("ssrc"), r.text("cname"), r.text("streamLabel"), r.text("trackLabel"),
                           r.text("kind"), r.text("owner")});
            good_ = good_ && r.good();
        }
        return out;
    }
    user_info user(const char* name)
    {
        const Json::Value& value = message_[name];
        if (!value.isObject()) {
            good_ = false;
            return {};
        }
        Reader r(value);
        user_info u;
        u.jid = r.text("jid");
        u.nickname = r.text("nickname");
        u.ssrc = r.text("ssrc");
        u.label = r.text("label");
        u.secondSsrc = r.text("secondSsrc");
        u.secondLabel = r.text("secondLabel");
        u.isModerator = r.flag("isModerator");
        u.audioMute = r.flag("audioMute");
        u.videoMute = r.flag("videoMute");
        good_ = good_ && r.good();
        return u;
    }
    bool good() const { return good_; }

private:
    const Json::Value& message_;
    bool good_ = true;
};

using Decoder = Event (*)(Reader&);

Event media(Reader& r, void (VeltoRtcCallback::*op)(std::string&, std::string&, std::string&), const char* what)
{
    return [op, from = r.text("from"), session = r.text("session"), payload = r.text(what)](VeltoRtcCallback& cb) {
        std::string f = from, s = session, p = payload;
        (cb.*op)(f, s, p);
    };
}

Event sources(Reader& r, void (VeltoRtcCallback::*op)(std::string&, std::string&, std::vector<ssrc_t>&))
{
    return [op, from = r.text("from"), session = r.text("session"), list = r.sources("sources")](VeltoRtcCallback& cb) {
        std::string f = from, s = session;
        std::vector<ssrc_t> l = list;
        (cb.*op)(f, s, l);
    };
}

const std::map<std::string, Decoder>& decoders()
{
    static const std::map<std::string, Decoder> table = {
        {"offer", [](Reader& r) { return media(r, &VeltoRtcCallback::onOffer, "sdp"); }},
        {"ice", [](Reader& r) { return media(r, &VeltoRtcCallback::onICE, "candidate"); }},
        {"sourceAdd", [](Reader& r) { return sources(r, &VeltoRtcCallback::onSourceAdd); }},
        {"sourceRemove", [](Reader& r) { return sources(r, &VeltoRtcCallback::onSourceRemove); }},
        {"stat",
         [](Reader& r) -> Event {
             return [jid = r.text("jid"), lost = r.number("packetsLost"), jitter = r.number("jitter"),
                     samples = r.number("samples"), down = r.number("download"),
                     up = r.number("upload")](VeltoRtcCallback& cb) { cb.onGetStat(jid, lost, jitter, samples, down, up); };
         }},
        {"sip", [](Reader& r) -> Event { return [v = r.number("value")](VeltoRtcCallback& cb) { cb.onSip(v); }; }},
        {"grantAdmin", [](Reader&) -> Event { return [](VeltoRtcCallback& cb) { cb.onGrantAdmin(); }; }},
        {"kickout", [](Reader&) -> Event { return [](VeltoRtcCallback& cb) { cb.onKickout(); }; }},
        {"audioMute",
         [](Reader& r) -> Event { return [m = r.flag("mute")](VeltoRtcCallback& cb) { cb.onAudioMute(m); }; }},
        {"videoMute",
         [](Reader& r) -> Event { return [m = r.flag("mute")](VeltoRtcCallback& cb) { cb.onVideoMute(m); }; }},
        {"control",
         [](Reader& r) -> Event {
             return [t = r.text("control"), v = r.text("value")](VeltoRtcCallback& cb) { cb.onConferenceControl(t, v); };
         }},
        {"user",
         [](Reader& r) -> Event { return [u = r.user("user")](VeltoRtcCallback& cb) { cb.onUpdateUserList(u); }; }},
        {"userRemoved",
         [](Reader& r) -> Event { return [j = r.text("jid")](VeltoRtcCallback& cb) { cb.onRemoveUserList(j); }; }},
        {"whiteboard",
         [](Reader& r) -> Event {
             return [a = r.text("action"), d = r.text("data")](VeltoRtcCallback& cb) { cb.onWhiteBoard(a, d); };
         }},
        {"annotate",
         [](Reader& r) -> Event {
             return [a = r.text("action"), d = r.text("data"), f = r.text("from")](VeltoRtcCallback& cb) {
                 cb.onAnnotate(a, d, f);
             };
         }},
        {"record",
         [](Reader& r) -> Event {
             return [j = r.text("jid"), on = r.flag("on")](VeltoRtcCallback& cb) { cb.onNotifyRecord(j, on); };
         }},
        {"nickname",
         [](Reader& r) -> Event {
             return [n = r.text("nickname")](VeltoRtcCallback& cb) { cb.onChangeNickname(n); };
         }},
        {"chat",
         [](Reader& r) -> Event {
             return [n = r.text("nickname"), m = r.text("message")](VeltoRtcCallback& cb) { cb.onChatMessage(n, m); };
         }},
        {"ring",
         [](Reader& r) -> Event {
             return [from = r.text("from"), type = r.text("ringType"), room = r.text("room"),
                     nick = r.text("nickname"), callType = r.number("callType"), isCaller = r.number("isCaller"),
                     pw = r.text("meetPassword")](VeltoRtcCallback& cb) {
                 cb.onRingCall(from, type, room, nick, callType, isCaller, pw);
             };
         }},
        {"presence",
         [](Reader& r) -> Event {
             return [u = r.text("user"), on = r.flag("online")](VeltoRtcCallback& cb) { cb.onPresence(u, on); };
         }},
        {"participants",
         [](Reader& r) -> Event {
             return [stage = r.text("stage"), screen = r.flag("screen"), ssrc = r.text("ssrc"),
                     split = r.number("splitScreen"), list = r.text("participants")](VeltoRtcCallback& cb) {
                 cb.onConferencePartipants(stage, screen, ssrc, split, list);
             };
         }},
        {"handsUp",
         [](Reader& r) -> Event {
             return [a = r.text("action"), j = r.text("jid"), n = r.text("nickname")](VeltoRtcCallback& cb) {
                 cb.onHandsUp(a, j, n);
             };
         }},
    };
    return table;
}

}  // namespace

Incoming DecodeServerMessage(const std::string& text)
{
    Incoming in;
    Json::Value message;
    try {
        Json::CharReaderBuilder builder;
        builder["stackLimit"] = 64;
        builder["rejectDupKeys"] = true;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        if (!reader->parse(text.data(), text.data() + text.size(), &message, &errors) || !message.isObject() ||
            !message["type"].isString())
            return in;
    } catch (const std::exception&) {
        return in;
    }
    const std::string type = message["type"].asString();
    Reader r(message);
    if (type == "ack") {
        if (!message["id"].isUInt64())
            return in;
        in.id = message["id"].asUInt64();
        in.ok = r.flag("ok");
        if (message.isMember("jid"))
            in.jid = r.text("jid");
        if (message.isMember("error"))
            in.error = r.text("error");
        if (r.good())
            in.kind = Incoming::Kind::Answer;
        return in;
    }
    const auto decoder = decoders().find(type);
    if (decoder == decoders().end())
        return in;
    Event event = decoder->second(r);
    if (!r.good())
        return in;
    in.kind = Incoming::Kind::Event;
    in.event = std::move(event);
    return in;
}

}  // namespace velto_rtc
