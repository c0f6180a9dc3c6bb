#pragma once
// The message server's insides: the connections (Boost.Beast over TLS) and the
// hub that keeps the rooms. Everything here runs on the service's one thread.
#include "ConferenceService.h"
#include "JsonText.h"
#include "MessageProtocol.h"
#include "MessageService.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <deque>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velto::server {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

class Connection;
class MediaUnit;
using ConnectionPtr = std::shared_ptr<Connection>;

// Everything below runs on the service's one thread.
class MessageHub {
public:
    MessageHub(const ServerIdentity& identity, ConferenceService& service, std::string messageServer,
               MessageService::Limits limits, bool verbose);

    int bind(const std::string& address, int port);
    void run() { io_.run(); }
    void stop();

    template <typename F>
    auto call(F f) -> decltype(f())
    {
        std::packaged_task<decltype(f())()> task(std::move(f));
        auto result = task.get_future();
        net::post(io_, [&task] { task(); });
        return result.get();
    }
    void post(std::function<void()> f) { net::post(io_, std::move(f)); }

    void opened(const ConnectionPtr& c);
    // A client frame: handled at once, or after limits.delay.
    void received(const ConnectionPtr& c, std::string text);
    void closed(Connection* c);
    void notice(const Notice& notice);

    Json::Value sent() const;
    Json::Value clients() const;
    Json::Value room(const std::string& number) const;
    bool drop(const std::string& jid);
    bool push(const std::string& jid, const Json::Value& messages);
    void setFaults(bool refuse, bool silentPings)
    {
        refuseConnections_ = refuse;
        silentPings_ = silentPings;
    }
    void reset()
    {
        refuseConnections_ = silentPings_ = false;
        sent_.clear();
    }

    // The forwarding unit that the offers and answers set up; before run().
    void attachMedia(MediaUnit* unit) { media_ = unit; }

    const MessageService::Limits limits;
    void log(const std::string& line) const { std::cerr << "velto_server: messages: " << line << std::endl; }

private:
    // Accepting never ends but by stop(): after an error (out of
    // descriptors, say) it starts again after a short wait.
    void accept();
    void acceptLater(const beast::error_code& ec);
    // At the limit of unidentified connections: the oldest one goes.
    void closeOldestUnidentified();
    void tick();
    void handle(const ConnectionPtr& c, const std::string& text);
    // --- frames held for limits.delay, in arrival order (--message-delay-ms)
    struct Held {
        std::chrono::steady_clock::time_point due;
        std::weak_ptr<Connection> from;
        std::string text;
    };
    void releaseHeld();
    // ---
    // Handlers: false = refused (the sender's operation fails).
    bool onConnect(Connection& c, const Json::Value& m);
    bool onJoin(Connection& c, const Json::Value& m);
    bool onPresence(Connection& c, const Json::Value& m);
    bool onGrantAdmin(Connection& c, const Json::Value& m);
    bool onMute(Connection& c, const Json::Value& m, bool audio);
    bool onKick(Connection& c, const Json::Value& m);
    bool onRing(Connection& c, const Json::Value& m);
    bool onDrawing(Connection& c, const Json::Value& m, bool annotate);
    bool dispatch(Connection& c, const std::string& type, const Json::Value& m);

    std::vector<Connection*> peers(const Connection& c) const;  // the others in c's room
    Connection* peer(const Connection& c, const std::string& jid) const;
    Connection* byJid(const std::string& jid) const;
    bool isModerator(const Connection& c) const;
    void sendToPeers(const Connection& c, const Json::Value& message) const;
    Json::Value userRecord(const Connection& c) const;
    void announce(const Connection& c) const;
    void setSources(Connection& c, std::vector<Source> sources);
    std::vector<Source> sourcesOf(const Connection& c, const std::string& sdp) const;
    // Why the answer `sdp` of `c` is refused, empty when it is not; its
    // sources in `sources`.
    std::string answerRefusal(const Connection& c, const std::string& sdp, std::vector<Source>& sources) const;
    Json::Value sourceMessage(const Connection& to, std::vector<Source> sources, bool added) const;
    void leaveRoom(Connection& c);
    // Tells room `room` what it shows (Stage.h), after every choice of the
    // moderator, every change of a member's main stream or of the chair, and
    // every leave.
    void sendStage(const std::string& room);
    // Tells the moderator `c` of the hands raised before it took the chair.
    void sendHands(Connection& c) const;
    void presence(const Connection& c, bool online) const;

    net::io_context io_;
    ssl::context tls_{ssl::context::tls_server};
    tcp::acceptor acceptor_{io_};
    net::steady_timer acceptRetry_{io_};
    bool acceptFailing_ = false;  // the last accept failed: said once in the log
    int unidentified_ = 0;        // accepted connections that have not completed "connect"
    // The same, oldest first (those that identified or went since are
    // dropped when met or swept).
    std::deque<std::weak_ptr<Connection>> unidentifiedOrder_;
    bool makingRoom_ = false;     // said once in the log while it lasts
    net::steady_timer ticker_{io_};
    ConferenceService& service_;
    const std::string messageServer_;
    const bool verbose_;
    std::vector<ConnectionPtr> connections_;  // in connection order
    std::deque<Json::Value> sent_;
    bool refuseConnections_ = false;
    bool silentPings_ = false;
    unsigned sessionCounter_ = 0;
    bool stopped_ = false;
    MediaUnit* media_ = nullptr;
    std::string error_;  // why the request being handled was refused, for its ack
    std::deque<Held> held_;              // --message-delay-ms
    net::steady_timer heldTimer_{io_};   // --message-delay-ms
};

// One client connection and what the server knows of it.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, ssl::context& tls, MessageHub& hub)
        : ws_(std::move(socket), tls), hub_(hub), authTimer_(ws_.get_executor())
    {
    }

    void start()
    {
        beast::get_lowest_layer(ws_).expires_after(hub_.limits.handshake);
        ws_.next_layer().async_handshake(ssl::stream_base::server, [self = shared_from_this()](beast::error_code ec) {
            if (ec)
                return self->fail();
            beast::get_lowest_layer(self->ws_).expires_never();
            self->ws_.set_option(websocket::stream_base::timeout{self->hub_.limits.handshake, self->hub_.limits.idle,
                                                                 false});
            self->ws_.read_message_max(self->hub_.limits.maxFrame);
            self->ws_.async_accept([self](beast::error_code ec) {
                if (ec)
                    return self->fail();
                self->hub_.opened(self);
                // Who does not say who it is in time is let go.
                self->authTimer_.expires_after(self->hub_.limits.handshake);
                self->authTimer_.async_wait([self](beast::error_code ec) {
                    if (!ec && !self->authed)
                        self->abort();
                });
                self->read();
            });
        });
    }

    void send(const Json::Value& message) { sendText(toJsonText(message)); }

    void sendText(std::string text)
    {
        if (closing_)
            return;
        if (out_.size() >= hub_.limits.maxQueued) {
            // A reader this far behind is not buffered without end.
            hub_.log("dropping " + (jid.empty() ? std::string("a connection") : jid) + ": it reads too slowly");
            abort();
            return;
        }
        out_.push_back(std::move(text));
        if (out_.size() == 1)
            write();
    }

    void abort()
    {
        if (closing_)
            return;
        closing_ = true;
        authTimer_.cancel();
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(ws_).socket().close(ignored);
        finish();
    }

    // What the server knows of the connection; written by the hub only.
    bool authed = false;
    bool unidentified = false;  // counted among the hub's connections that have not said who they are
    bool saidBye = false;
    std::string jid, userId, userKey, endpoint, secret, displayName;
    std::string room, roomJid, focus, session, nickname;
    bool audioMute = false, videoMute = false;
    std::string ssrc, label, secondSsrc, secondLabel;
    std::vector<Source> sources;
    std::string secondStream;
    std::set<std::string> secondSessions, sipCalls;
    int statSamples = 0;
    long long downloadSum = 0, uploadSum = 0;

private:
    void read()
    {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec)
                return self->fail();
            std::string text = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            if (!self->ws_.got_text()) {
                self->hub_.log("dropped a binary frame");
            } else {
                self->hub_.received(self, std::move(text));
            }
            if (!self->closing_)
                self->read();
        });
    }

    void write()
    {
        ws_.text(true);
        ws_.async_write(net::buffer(out_.front()), [self = shared_from_this()](beast::error_code ec, std::size_t) {
            if (ec)
                return self->fail();
            self->out_.pop_front();
            if (!self->out_.empty())
                self->write();
        });
    }

    void fail()
    {
        if (!closing_)
            abort();
    }

    void finish()
    {
        if (finished_)
            return;
        finished_ = true;
        hub_.closed(this);
    }

    websocket::stream<beast::ssl_stream<beast::tcp_stream>> ws_;
    MessageHub& hub_;
    net::steady_timer authTimer_;
    beast::flat_buffer buffer_;
    std::deque<std::string> out_;
    bool closing_ = false;
    bool finished_ = false;
};

}  // namespace velto::server
