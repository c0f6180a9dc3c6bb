#include "MessageHub.h"

#include "JsonText.h"
#include "MediaSdp.h"
#include "MediaUnit.h"
#include "Stage.h"
#include "StandInSdp.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

namespace velto::server {
namespace {

constexpr std::size_t kSentKept = 10000;
// What one answer may announce. A participant sends its camera, microphone
// and screen, each video with its resend stream: six sources, in an answer
// of about 1 kB. Twice that is no participant's media, but a flood of
// receivers set up at every other member.
constexpr std::size_t kMaxAnswerSources = 12;
constexpr std::size_t kMaxAnswerSdp = 16 * 1024;
// Connections that identified themselves or went stay in the list of
// unidentified ones until they are met: it is swept once it holds this many
// times the limit.
constexpr int kUnidentifiedSweep = 4;

// An SSRC as the unit reads it: 1 to 10 decimal digits, at most 2^32-1.
std::optional<uint32_t> ssrcNumber(const std::string& text)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long value = std::stoull(text);
    if (value > 0xffffffffull)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}
// Named when no forwarding unit runs.
const char* const kRoomCandidate = "candidate:1 1 udp 2130706431 127.0.0.1 10000 typ host";

// A participant's text for one log line: control and non-ASCII bytes as \xNN, cut short.
std::string forLog(const std::string& text)
{
    constexpr std::size_t kMost = 200;
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < kMost; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return text.size() > kMost ? out + "..." : out;
}

}  // namespace

MessageHub::MessageHub(const ServerIdentity& identity, ConferenceService& service, std::string messageServer,
                       MessageService::Limits limits, bool verbose)
    : limits(limits), service_(service), messageServer_(std::move(messageServer)), verbose_(verbose)
{
    SSL_CTX_use_certificate(tls_.native_handle(), identity.certificate.get());
    SSL_CTX_use_PrivateKey(tls_.native_handle(), identity.key.get());
    tls_.set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                     ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1);
}

int MessageHub::bind(const std::string& address, int port)
{
    beast::error_code ec;
    const net::ip::address ip = net::ip::make_address(address, ec);
    if (ec)
        return -1;
    const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor_.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor_.bind(endpoint, ec);
    if (!ec)
        acceptor_.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        return -1;
    accept();
    tick();
    return acceptor_.local_endpoint().port();
}

void MessageHub::accept()
{
    acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (stopped_ || ec == net::error::operation_aborted)
            return;  // closed by stop()
        if (ec)
            return acceptLater(ec);
        acceptFailing_ = false;
        // Who has not said who it is yet holds a descriptor and a handshake
        // for up to its time-outs: only so many at a time. The newcomer
        // always gets its chance; the oldest of them makes room, so idle
        // connections opened again and again lock nobody out.
        if (unidentified_ >= limits.maxUnidentified) {
            if (!makingRoom_)
                log("closing the oldest connections that have not said who they are: too many of them");
            makingRoom_ = true;
            closeOldestUnidentified();
        } else {
            makingRoom_ = false;
        }
        socket.set_option(tcp::no_delay(true), ec);
        const auto connection = std::make_shared<Connection>(std::move(socket), tls_, *this);
        connection->unidentified = true;
        ++unidentified_;
        unidentifiedOrder_.push_back(connection);
        if (unidentifiedOrder_.size() > static_cast<std::size_t>(kUnidentifiedSweep * limits.maxUnidentified))
            unidentifiedOrder_.erase(std::remove_if(unidentifiedOrder_.begin(), unidentifiedOrder_.end(),
                                                    [](const std::weak_ptr<Connection>& w) {
                                                        const ConnectionPtr c = w.lock();
                                                        return !c || !c->unidentified;
                                                    }),
                                     unidentifiedOrder_.end());
        connection->start();
        accept();
    });
}

void MessageHub::closeOldestUnidentified()
{
    // Those that identified themselves or went meanwhile are skipped.
    while (!unidentifiedOrder_.empty()) {
        const ConnectionPtr oldest = unidentifiedOrder_.front().lock();
        unidentifiedOrder_.pop_front();
        if (oldest && oldest->unidentified) {
            oldest->abort();
            return;
        }
    }
}

void MessageHub::acceptLater(const beast::error_code& ec)
{
    if (!acceptFailing_)
        log("cannot accept a connection (" + ec.message() + "), trying again");
    acceptFailing_ = true;
    acceptRetry_.expires_after(limits.acceptBackOff);
    acceptRetry_.async_wait([this](beast::error_code ec) {
        if (!ec && !stopped_)
            accept();
    });
}

void MessageHub::tick()
{
    service_.tick();
    ticker_.expires_after(std::chrono::seconds(1));
    ticker_.async_wait([this](beast::error_code ec) {
        if (!ec)
            tick();
    });
}

void MessageHub::stop()
{
    post([this] {
        stopped_ = true;
        beast::error_code ignored;
        acceptor_.close(ignored);
        acceptRetry_.cancel();
        ticker_.cancel();
        heldTimer_.cancel();
        for (const ConnectionPtr& c : std::vector<ConnectionPtr>(connections_))
            c->abort();
    });
}

void MessageHub::opened(const ConnectionPtr& c)
{
    if (stopped_)
        return c->abort();
    connections_.push_back(c);
}

void MessageHub::closed(Connection* c)
{
    if (c->unidentified) {
        c->unidentified = false;
        --unidentified_;
    }
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [c](const ConnectionPtr& p) { return p.get() == c; });
    if (it == connections_.end())
        return;
    const ConnectionPtr keep = *it;  // alive until the leave went out
    connections_.erase(it);
    if (!c->authed)
        return;
    leaveRoom(*c);
    c->authed = false;
    service_.detachLogin(c->userKey, c->endpoint, c->saidBye);
    const bool stillThere = std::any_of(connections_.begin(), connections_.end(), [&](const ConnectionPtr& p) {
        return p->authed && p->userKey == c->userKey;
    });
    if (!stillThere)
        presence(*c, false);
    if (verbose_)
        log("gone: " + c->jid);
}

// --- frames held for limits.delay (--message-delay-ms) ----------------------
// The delay is the same for every frame, so arrival order is release order.
void MessageHub::received(const ConnectionPtr& c, std::string text)
{
    if (limits.delay.count() <= 0)
        return handle(c, text);
    held_.push_back({std::chrono::steady_clock::now() + limits.delay, c, std::move(text)});
    if (held_.size() == 1)
        releaseHeld();
}

void MessageHub::releaseHeld()
{
    while (!held_.empty() && held_.front().due <= std::chrono::steady_clock::now()) {
        Held frame = std::move(held_.front());
        held_.pop_front();
        // A connection gone meanwhile says nothing more.
        const ConnectionPtr c = frame.from.lock();
        if (c && std::find(connections_.begin(), connections_.end(), c) != connections_.end())
            handle(c, frame.text);
    }
    if (held_.empty() || stopped_)
        return;
    heldTimer_.expires_at(held_.front().due);
    heldTimer_.async_wait([this](beast::error_code ec) {
        if (!ec)
            releaseHeld();
    });
}
// ---------------------------------------------------------------------------

void MessageHub::handle(const ConnectionPtr& c, const std::string& text)
{
    Json::Value message;
    if (!parseJson(text, message) || !message.isObject() || !message["type"].isString() ||
        !message["id"].isUInt()) {
        log("dropped a message that is no request");
        return;
    }
    const std::string type = message["type"].asString();
    const auto shape = std::find_if(shapes().begin(), shapes().end(), [&](const Shape& s) { return type == s.type; });
    Json::Value ack = typed("ack");
    ack["id"] = message["id"];
    ack["ok"] = false;
    std::vector<std::string> args;
    if (shape == shapes().end() || !readFields(*shape, message, args)) {
        log("dropped a malformed or unknown message" + (c->jid.empty() ? std::string() : " from " + c->jid));
        c->send(ack);
        return;
    }
    if (!c->authed && type != "connect") {
        c->send(ack);
        return;
    }
    Json::Value record;
    record["from"] = c->jid;
    record["operation"] = shape->operation;
    record["args"] = Json::Value(Json::arrayValue);
    // Answers carry the participant's media key: it is kept nowhere but in the unit.
    const bool answer = type == "answer" || type == "secondAnswer";
    for (const std::string& arg : args)
        record["args"].append(answer ? velto_platform::withoutKeys(arg) : arg);
    if (sent_.size() == kSentKept)
        sent_.pop_front();
    sent_.push_back(record);

    if (type == "ping" && silentPings_)
        return;
    error_.clear();
    const bool ok = dispatch(*c, type, message);
    ack["ok"] = ok;
    if (ok && type == "connect")
        ack["jid"] = c->jid;
    if (!ok && !error_.empty())
        ack["error"] = error_;
    c->send(ack);
    c->saidBye = type == "bye";
    if (type == "bye" || (type == "connect" && !ok && !c->authed))
        c->abort();
}

bool MessageHub::dispatch(Connection& c, const std::string& type, const Json::Value& m)
{
    const auto text = [&](const char* name) { return m[name].asString(); };
    if (type == "connect")
        return onConnect(c, m);
    if (type == "join")
        return onJoin(c, m);
    if (type == "ping" || type == "bye")
        return true;
    if (type == "presence")
        return onPresence(c, m);
    if (type == "ring")
        return onRing(c, m);
    // The rest happens in a room.
    if (c.room.empty())
        return false;
    if (type == "leave") {
        leaveRoom(c);
        return true;
    }
    if (type == "answer" || type == "secondAnswer") {
        const bool second = type == "secondAnswer";
        if (text("sdp").empty() || (second && text("label").empty()))
            return false;
        // A refused answer changes nothing: not the sender's key or streams,
        // and nothing of anybody else's.
        std::vector<Source> sources;
        error_ = answerRefusal(c, text("sdp"), sources);
        if (!error_.empty()) {
            log("refused the " + type + " of " + c.jid + ": " + error_);
            return false;
        }
        if (second) {
            c.secondStream = text("label");
            c.secondSessions.insert(text("label"));
        }
        if (media_)
            media_->answer(c.session, text("sdp"));
        setSources(c, std::move(sources));
        return true;
    }
    if (type == "removeSecondSession")
        return c.secondSessions.erase(text("label")) == 1;
    if (type == "removeSecondSource") {
        if (text("label").empty() || text("label") != c.secondStream)
            return false;
        std::vector<Source> remaining;
        std::copy_if(c.sources.begin(), c.sources.end(), std::back_inserter(remaining),
                     [&](const Source& s) { return s.streamLabel != c.secondStream; });
        c.secondStream.clear();
        setSources(c, std::move(remaining));
        return true;
    }
    if (type == "ice") {
        // The unit is a lite agent: it answers the participants' checks and
        // needs none of their candidates.
        if (verbose_)
            log("unused candidate of " + c.jid + ": " + forLog(text("candidate")));
        return !text("candidate").empty();
    }
    if (type == "grantAdmin")
        return onGrantAdmin(c, m);
    if (type == "sipCall") {
        if (text("gateway").empty() || text("number").empty())
            return false;
        c.sipCalls.insert(text("gateway") + " " + text("number"));
        Json::Value state = typed("sip");
        state["value"] = 1;
        c.send(state);
        return true;
    }
    if (type == "sipHangUp") {
        if (c.sipCalls.erase(text("gateway") + " " + text("target")) != 1)
            return false;
        Json::Value state = typed("sip");
        state["value"] = 0;
        c.send(state);
        return true;
    }
    if (type == "audioMute" || type == "videoMute")
        return onMute(c, m, type == "audioMute");
    if (type == "kick")
        return onKick(c, m);
    if (type == "whiteboard" || type == "annotate")
        return onDrawing(c, m, type == "annotate");
    if (type == "chat") {
        if (text("message").empty())
            return false;
        Json::Value chat = typed("chat");
        // The sender's name is the server's record of it, never the one it wrote.
        chat["nickname"] = c.displayName;
        chat["message"] = text("message");
        sendToPeers(c, chat);
        return true;
    }
    return false;
}

bool MessageHub::onConnect(Connection& c, const Json::Value& m)
{
    if (c.authed || refuseConnections_)
        return false;
    const std::string endpoint = m["endpoint"].asString();
    const std::string secret = m["secret"].isString() ? m["secret"].asString() : std::string();
    const std::optional<LiveLogin> login = service_.checkLogin(m["user"].asString(), endpoint, secret);
    if (!login || m["domain"].asString() != messageServer_) {
        log("refused a connection for " + m["user"].asString() + "/" + endpoint + ": no such login");
        return false;
    }
    const std::string jid = login->userId + "@" + messageServer_ + "/" + endpoint;
    // The same login connecting again replaces its old connection.
    if (Connection* old = byJid(jid)) {
        log("replacing the connection of " + jid);
        old->abort();
    }
    const auto ofUser = std::count_if(connections_.begin(), connections_.end(), [&](const ConnectionPtr& p) {
        return p->authed && p->userKey == login->userKey;
    });
    if (ofUser >= limits.maxPerUser) {
        log("refused a connection for " + jid + ": too many connections of that user");
        return false;
    }
    c.authed = true;
    if (c.unidentified) {
        c.unidentified = false;
        --unidentified_;
    }
    c.jid = jid;
    c.userId = login->userId;
    c.userKey = login->userKey;
    c.endpoint = endpoint;
    c.secret = secret;
    c.displayName = login->displayName;
    service_.attachLogin(c.userKey, c.endpoint);
    if (verbose_)
        log("connected: " + jid);
    if (ofUser == 0)
        presence(c, true);
    return true;
}

bool MessageHub::onJoin(Connection& c, const Json::Value& m)
{
    const std::string roomJid = m["room"].asString();
    const std::string number = roomJid.substr(0, roomJid.find('@'));
    if (m["jid"].asString() != c.jid || number.empty() || roomJid != number + "@conference." + messageServer_)
        return false;
    if (!service_.mayJoin(number, c.jid)) {
        log("refused " + c.jid + " the room " + number + ": no create or join of it");
        return false;
    }
    leaveRoom(c);
    c.room = number;
    c.roomJid = roomJid;
    c.focus = m["focus"].isString() && !m["focus"].asString().empty() ? m["focus"].asString() : roomJid + "/focus";
    c.session = c.jid + "#" + std::to_string(++sessionCounter_);
    c.nickname = m["nick"].asString();

    const std::vector<Connection*> others = peers(c);
    announce(c);

    std::vector<Source> theirs;
    std::vector<velto_platform::SdpSource> offered;
    for (const Connection* p : others)
        for (const Source& s : p->sources) {
            theirs.push_back(s);
            offered.push_back({s.kind, s.ssrc, s.cname, s.streamLabel, s.trackLabel});
        }
    Json::Value offer = typed("offer");
    offer["from"] = c.focus;
    offer["session"] = c.session;
    const std::string sdp = velto_platform::WriteSdp(c.session, offered);
    // The unit opens this join's leg; the offer carries the key it sends with.
    offer["sdp"] = media_ ? media_->offer(c.session, c.room, sdp) : sdp;
    c.send(offer);
    Json::Value ice = typed("ice");
    ice["from"] = c.focus;
    ice["session"] = c.session;
    ice["candidate"] = media_ ? media_->candidate() : kRoomCandidate;
    c.send(ice);
    if (!theirs.empty())
        c.send(sourceMessage(c, std::move(theirs), true));
    for (const Connection* p : others)
        c.send(userRecord(*p));
    if (isModerator(c))
        sendHands(c);
    return true;
}

void MessageHub::sendHands(Connection& c) const
{
    for (const auto& [jid, nickname] : service_.handsOf(c.room)) {
        Json::Value hand = typed("handsUp");
        hand["action"] = "apply";
        hand["jid"] = jid;
        hand["nickname"] = nickname;
        c.send(hand);
    }
}

bool MessageHub::onPresence(Connection& c, const Json::Value& m)
{
    if (c.room.empty())
        return true;
    const bool audio = m["audioMute"].asBool();
    const bool video = m["videoMute"].asBool();
    const std::string name = m["userName"].asString();
    const bool changed = audio != c.audioMute || video != c.videoMute || (!name.empty() && name != c.nickname);
    c.audioMute = audio;
    c.videoMute = video;
    if (!name.empty())
        c.nickname = name;
    if (changed)
        announce(c);

    // The others see this participant's average bandwidth in each direction.
    c.statSamples = std::min(c.statSamples + 1, INT_MAX - 1);
    c.downloadSum = std::min(c.downloadSum + kbits(m["audioRecvBitrate"].asString()) +
                                 kbits(m["videoRecvBitrate"].asString()), 1LL << 50);
    c.uploadSum = std::min(c.uploadSum + kbits(m["audioSendBitrate"].asString()) +
                               kbits(m["videoSendBitrate"].asString()), 1LL << 50);
    Json::Value stat = typed("stat");
    stat["jid"] = c.jid;
    stat["packetsLost"] = clamped(kbits(m["packetLoss"].asString()));
    stat["jitter"] = 0;
    stat["samples"] = c.statSamples;
    stat["download"] = clamped(c.downloadSum);
    stat["upload"] = clamped(c.uploadSum);
    sendToPeers(c, stat);
    return true;
}

bool MessageHub::onGrantAdmin(Connection& c, const Json::Value& m)
{
    const std::string target = m["jid"].asString();
    if (!peer(c, target))
        return false;
    if (!service_.handOver(c.room, c.jid, target)) {
        log("dropped a grant of the chair from " + c.jid + ": not the moderator");
        return false;
    }
    Notice changed;
    changed.kind = Notice::Kind::ModeratorChanged;
    changed.room = c.room;
    changed.jid = target;
    notice(changed);
    return true;
}

bool MessageHub::onMute(Connection& c, const Json::Value& m, bool audio)
{
    if (!isModerator(c)) {
        log("dropped a mute request from " + c.jid + ": not the moderator");
        return false;
    }
    const std::string target = m["jid"].asString();
    const bool mute = m["mute"].asBool();
    // No address, or the room's: everybody else.
    if (target.empty() || target == c.roomJid) {
        Json::Value control = typed("control");
        control["control"] = audio ? "allAudio" : "allVideo";
        control["value"] = mute ? "true" : "false";
        sendToPeers(c, control);
        return true;
    }
    Connection* p = peer(c, target);
    if (!p)
        return false;
    Json::Value request = typed(audio ? "audioMute" : "videoMute");
    request["mute"] = mute;
    p->send(request);
    return true;
}

bool MessageHub::onKick(Connection& c, const Json::Value& m)
{
    Connection* p = peer(c, m["jid"].asString());
    if (!p)
        return false;
    if (!isModerator(c)) {
        log("dropped a kick from " + c.jid + ": not the moderator");
        return false;
    }
    p->send(typed("kickout"));
    leaveRoom(*p);
    return true;
}

bool MessageHub::onRing(Connection& c, const Json::Value& m)
{
    const std::string to = m["to"].asString();
    if (to.empty() || m["ringType"].asString().empty())
        return false;
    // A full address reaches that client; otherwise every client of the user.
    // Nobody on line is no error: the call simply goes unanswered.
    const bool fullAddress = to.find('/') != std::string::npos;
    const std::string userId = to.substr(0, to.find('@'));
    Json::Value ring = typed("ring");
    ring["from"] = c.jid;
    for (const char* name : {"ringType", "room", "callType", "isCaller", "meetPassword"})
        ring[name] = m[name];
    ring["nickname"] = c.displayName;
    // A copy: a reader dropped for falling behind leaves connections_ at once.
    for (const ConnectionPtr& p : std::vector<ConnectionPtr>(connections_))
        if (p.get() != &c && p->authed && (fullAddress ? p->jid == to : sameUserId(p->userId, userId)))
            p->send(ring);
    return true;
}

bool MessageHub::onDrawing(Connection& c, const Json::Value& m, bool annotate)
{
    if (!isModerator(c)) {
        log(std::string("dropped ") + (annotate ? "an annotation" : "a whiteboard message") + " from " + c.jid +
            ": not the moderator");
        return false;
    }
    const std::string action = m["action"].asString();
    std::string data;
    if (action.empty() || !drawingData(action, m["kind"].asString(), m["body"].asString(), data))
        return false;
    Json::Value message = typed(annotate ? "annotate" : "whiteboard");
    message["action"] = action;
    message["data"] = data;
    // A participant who is shown a drawing ("create") asks its drawer for what
    // is drawn already: the drawer answers with a replay.
    std::string replayRequest;
    if (action == "create")
        drawingData("message", "getInit", "", replayRequest);
    if (!annotate) {
        sendToPeers(c, message);
        if (!replayRequest.empty()) {
            Json::Value ask = typed("whiteboard");
            ask["action"] = "message";
            ask["data"] = replayRequest;
            c.send(ask);
        }
        return true;
    }
    message["from"] = c.jid;
    const std::string target = m["target"].asString();
    if (target.empty()) {
        sendToPeers(c, message);
        return true;
    }
    Connection* p = peer(c, target);
    if (!p)
        return false;
    p->send(message);
    // The annotation's replay goes to the asker alone: it names itself.
    if (!replayRequest.empty()) {
        Json::Value ask = typed("annotate");
        ask["action"] = "message";
        ask["data"] = replayRequest;
        ask["from"] = p->jid;
        c.send(ask);
    }
    return true;
}

void MessageHub::notice(const Notice& notice)
{
    std::vector<Connection*> inRoom;
    for (const ConnectionPtr& p : connections_)
        if (p->authed && !notice.room.empty() && p->room == notice.room)
            inRoom.push_back(p.get());
    switch (notice.kind) {
    case Notice::Kind::Send:
        for (Connection* p : inRoom)
            if (notice.to.empty() || std::find(notice.to.begin(), notice.to.end(), p->jid) != notice.to.end())
                p->send(notice.message);
        break;
    case Notice::Kind::ModeratorChanged: {
        Json::Value control = typed("control");
        control["control"] = "moderator";
        control["value"] = notice.jid;
        for (Connection* p : inRoom) {
            if (p->jid == notice.jid)
                p->send(typed("grantAdmin"));
            p->send(control);
            if (p->jid == notice.jid)
                sendHands(*p);
        }
        // Everybody's record names the chair anew; a stage nobody chose is the chair's.
        for (Connection* p : inRoom)
            announce(*p);
        sendStage(notice.room);
        break;
    }
    case Notice::Kind::Stage:
        sendStage(notice.room);
        break;
    case Notice::Kind::CloseRoom:
        for (Connection* p : inRoom) {
            Json::Value control = typed("control");
            control["control"] = "closed";
            control["value"] = "true";
            p->send(control);
            p->send(typed("kickout"));
        }
        for (Connection* p : inRoom)
            leaveRoom(*p);
        break;
    }
}

std::vector<Connection*> MessageHub::peers(const Connection& c) const
{
    std::vector<Connection*> out;
    if (c.room.empty())
        return out;
    for (const ConnectionPtr& p : connections_)
        if (p.get() != &c && p->authed && p->room == c.room)
            out.push_back(p.get());
    return out;
}

Connection* MessageHub::peer(const Connection& c, const std::string& jid) const
{
    for (Connection* p : peers(c))
        if (p->jid == jid)
            return p;
    return nullptr;
}

Connection* MessageHub::byJid(const std::string& jid) const
{
    for (const ConnectionPtr& p : connections_)
        if (p->authed && p->jid == jid)
            return p.get();
    return nullptr;
}

bool MessageHub::isModerator(const Connection& c) const
{
    return !c.room.empty() && service_.moderatorOf(c.room) == c.jid;
}

void MessageHub::sendToPeers(const Connection& c, const Json::Value& message) const
{
    const std::string text = toJsonText(message);
    for (Connection* p : peers(c))
        p->sendText(text);
}

Json::Value MessageHub::userRecord(const Connection& c) const
{
    Json::Value user;
    user["jid"] = c.jid;
    user["nickname"] = c.nickname;
    user["ssrc"] = c.ssrc;
    user["label"] = c.label;
    user["secondSsrc"] = c.secondSsrc;
    user["secondLabel"] = c.secondLabel;
    user["isModerator"] = isModerator(c);
    user["audioMute"] = c.audioMute;
    user["videoMute"] = c.videoMute;
    Json::Value message = typed("user");
    message["user"] = user;
    return message;
}

void MessageHub::announce(const Connection& c) const
{
    sendToPeers(c, userRecord(c));
}

std::string MessageHub::answerRefusal(const Connection& c, const std::string& sdp, std::vector<Source>& sources) const
{
    if (sdp.size() > kMaxAnswerSdp)
        return "the answer is larger than " + std::to_string(kMaxAnswerSdp) + " bytes";
    sources = sourcesOf(c, sdp);
    if (sources.size() > kMaxAnswerSources)
        return "the answer announces " + std::to_string(sources.size()) + " sources, more than " +
               std::to_string(kMaxAnswerSources);
    // One owner per SSRC in a room, compared as the unit reads them ("0123"
    // is 123): another member's SSRC would take over its stream.
    std::set<uint32_t> announced;
    for (const Source& s : sources) {
        const std::optional<uint32_t> ssrc = ssrcNumber(s.ssrc);
        if (!ssrc)
            return "the answer announces an SSRC that is no 32-bit decimal number";
        if (!announced.insert(*ssrc).second)
            return "the answer announces SSRC " + std::to_string(*ssrc) + " twice";
    }
    for (const Connection* p : peers(c))
        for (const Source& s : p->sources) {
            const std::optional<uint32_t> theirs = ssrcNumber(s.ssrc);
            if (theirs && announced.count(*theirs))
                return "SSRC " + std::to_string(*theirs) + " is another participant's stream";
        }
    return std::string();
}

std::vector<Source> MessageHub::sourcesOf(const Connection& c, const std::string& sdp) const
{
    std::vector<Source> out;
    for (velto_platform::SdpSource& s : velto_platform::ReadSdpSources(sdp))
        out.push_back({s.ssrc, s.cname, s.streamLabel, s.trackLabel, s.kind, c.jid});
    return out;
}

Json::Value MessageHub::sourceMessage(const Connection& to, std::vector<Source> sources, bool added) const
{
    Json::Value message = typed(added ? "sourceAdd" : "sourceRemove");
    message["from"] = to.focus;
    message["session"] = to.session;
    message["sources"] = sourcesJson(sources);
    return message;
}

void MessageHub::setSources(Connection& c, std::vector<Source> sources)
{
    std::vector<Source> removed = missingFrom(c.sources, sources);
    std::vector<Source> added = missingFrom(sources, c.sources);
    c.sources = std::move(sources);
    if (media_) {
        std::vector<std::string> ssrcs;
        for (const Source& s : c.sources)
            ssrcs.push_back(s.ssrc);
        media_->setStreams(c.session, ssrcs);
    }

    // The main stream is the first video (else audio) stream that is not the
    // second stream.
    const Source* main = nullptr;
    const Source* second = nullptr;
    for (const Source& s : c.sources) {
        const bool isSecond = !c.secondStream.empty() && s.streamLabel == c.secondStream;
        if (isSecond && !second && s.kind == "video")
            second = &s;
        if (!isSecond && (!main || (main->kind != "video" && s.kind == "video")))
            main = &s;
    }
    const std::array<std::string, 4> old{c.ssrc, c.label, c.secondSsrc, c.secondLabel};
    // The camera's source names the participant's picture; without one it has none.
    c.ssrc = main && main->kind == "video" ? main->ssrc : "";
    c.label = main ? main->streamLabel : "";
    c.secondSsrc = second ? second->ssrc : "";
    c.secondLabel = second ? second->streamLabel : "";

    for (Connection* p : peers(c)) {
        if (!removed.empty())
            p->send(sourceMessage(*p, removed, false));
        if (!added.empty())
            p->send(sourceMessage(*p, added, true));
    }
    if (old != std::array<std::string, 4>{c.ssrc, c.label, c.secondSsrc, c.secondLabel}) {
        announce(c);
        sendStage(c.room);
    }
}

void MessageHub::sendStage(const std::string& room)
{
    std::vector<Connection*> members;
    for (const ConnectionPtr& p : connections_)
        if (p->authed && !room.empty() && p->room == room)
            members.push_back(p.get());
    const std::string moderator = service_.moderatorOf(room);
    std::stable_partition(members.begin(), members.end(), [&](const Connection* p) { return p->jid == moderator; });
    std::vector<StageMember> shown;
    for (const Connection* p : members)
        shown.push_back({p->jid, p->ssrc, p->secondSsrc});
    const Json::Value message = stageMessage(service_.stageOf(room), shown);
    if (message.isNull())
        return;
    const std::string text = toJsonText(message);
    for (Connection* p : members)
        p->sendText(text);
}

void MessageHub::leaveRoom(Connection& c)
{
    if (c.room.empty())
        return;
    if (media_)
        media_->closeLeg(c.session);
    service_.lowerHand(c.room, c.jid);
    const std::vector<Connection*> rest = peers(c);
    for (Connection* p : rest) {
        if (!c.sources.empty())
            p->send(sourceMessage(*p, c.sources, false));
        Json::Value removed = typed("userRemoved");
        removed["jid"] = c.jid;
        p->send(removed);
    }
    c.room.clear();
    c.roomJid.clear();
    c.sources.clear();
    c.ssrc.clear();
    c.label.clear();
    c.secondSsrc.clear();
    c.secondLabel.clear();
    c.audioMute = c.videoMute = false;
    c.secondStream.clear();
    c.secondSessions.clear();
    c.sipCalls.clear();
    c.statSamples = 0;
    c.downloadSum = c.uploadSum = 0;
    if (!rest.empty())
        sendStage(rest.front()->room);
}

void MessageHub::presence(const Connection& c, bool online) const
{
    const std::vector<std::string> watchers = service_.watchersOf(c.userKey);
    Json::Value message = typed("presence");
    message["user"] = c.userId;
    message["online"] = online;
    const std::string text = toJsonText(message);
    // A copy: a reader dropped for falling behind leaves connections_ at once.
    for (const ConnectionPtr& p : std::vector<ConnectionPtr>(connections_))
        if (p.get() != &c && p->authed && std::find(watchers.begin(), watchers.end(), p->userKey) != watchers.end())
            p->sendText(text);
}

Json::Value MessageHub::sent() const
{
    Json::Value out(Json::arrayValue);
    for (const Json::Value& record : sent_)
        out.append(record);
    return out;
}

Json::Value MessageHub::clients() const
{
    Json::Value out(Json::arrayValue);
    for (const ConnectionPtr& p : connections_)
        if (p->authed)
            out.append(p->jid);
    return out;
}

Json::Value MessageHub::room(const std::string& number) const
{
    Json::Value out(Json::arrayValue);
    for (const ConnectionPtr& p : connections_)
        if (p->authed && !number.empty() && p->room == number)
            out.append(userRecord(*p)["user"]);
    return out;
}

bool MessageHub::drop(const std::string& jid)
{
    Connection* c = byJid(jid);
    if (c)
        c->abort();
    return c != nullptr;
}

bool MessageHub::push(const std::string& jid, const Json::Value& messages)
{
    Connection* c = byJid(jid);
    if (!c)
        return false;
    for (const Json::Value& m : messages)
        c->sendText(m.isString() ? m.asString() : toJsonText(m));
    return true;
}

}  // namespace velto::server
