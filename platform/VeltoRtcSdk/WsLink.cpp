#include "WsLink.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <cstdlib>
#include <optional>

namespace velto_rtc {
namespace {
namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

// An offer or source list for a full room is larger than what we send.
constexpr std::size_t kMaxIncoming = 4 * 1024 * 1024;

bool isIpAddress(const std::string& host)
{
    beast::error_code ec;
    net::ip::make_address(host, ec);
    return !ec;
}
}  // namespace

struct WsLink::Impl {
    Impl(OnText t, OnClosed c) : onText(std::move(t)), onClosed(std::move(c)) {}

    void read()
    {
        ws->async_read(buffer, [this](beast::error_code ec, std::size_t) {
            if (ec)
                return ended();
            if (ws->got_text())
                onText(beast::buffers_to_string(buffer.data()));
            buffer.consume(buffer.size());
            read();
        });
    }

    void write()
    {
        ws->text(true);
        ws->async_write(net::buffer(out.front()), [this](beast::error_code ec, std::size_t) {
            if (ec)
                return ended();
            out.pop_front();
            if (!out.empty())
                write();
        });
    }

    void shut()
    {
        beast::error_code ignored;
        beast::get_lowest_layer(*ws).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(*ws).socket().close(ignored);
    }

    void ended()
    {
        if (gone)
            return;
        gone = true;
        out.clear();
        shut();
        if (!closing)
            onClosed();
    }

    OnText onText;
    OnClosed onClosed;
    net::io_context io;
    ssl::context tls{ssl::context::tls_client};
    tcp::resolver resolver{io};
    std::optional<websocket::stream<beast::ssl_stream<beast::tcp_stream>>> ws;
    beast::flat_buffer buffer;
    std::deque<std::string> out;
    bool closing = false;  // close() asked for the end: nobody is told
    bool gone = false;
};

WsLink::WsLink(OnText onText, OnClosed onClosed) : impl_(std::make_unique<Impl>(std::move(onText), std::move(onClosed)))
{
}

WsLink::~WsLink()
{
    close();
}

std::string WsLink::open(const std::string& host, const std::string& port, std::chrono::milliseconds timeout)
{
    Impl& d = *impl_;
    beast::error_code ec;
    d.tls.set_default_verify_paths(ec);
    if (const char* caFile = std::getenv("VELTO_CA_BUNDLE"); caFile && *caFile) {
        d.tls.load_verify_file(caFile, ec);
        if (ec)
            return "cannot read the CA file named by VELTO_CA_BUNDLE";
    }
    d.tls.set_verify_mode(ssl::verify_peer);
    d.ws.emplace(d.io, d.tls);
    d.ws->next_layer().set_verify_callback(ssl::host_name_verification(host));
    if (!isIpAddress(host))
        SSL_set_tlsext_host_name(d.ws->next_layer().native_handle(), host.c_str());
    d.ws->read_message_max(kMaxIncoming);

    std::string error = "time-out";
    bool done = false;
    const auto finish = [&](const char* step, beast::error_code failure) {
        done = true;
        error = failure ? std::string(step) + ": " + failure.message() : std::string();
    };
    beast::get_lowest_layer(*d.ws).expires_after(timeout);
    d.resolver.async_resolve(host, port, [&](beast::error_code ec, tcp::resolver::results_type results) {
        if (ec)
            return finish("resolve", ec);
        beast::get_lowest_layer(*d.ws).async_connect(results, [&](beast::error_code ec, const tcp::endpoint&) {
            if (ec)
                return finish("connect", ec);
            beast::get_lowest_layer(*d.ws).socket().set_option(tcp::no_delay(true), ec);
            d.ws->next_layer().async_handshake(ssl::stream_base::client, [&](beast::error_code ec) {
                if (ec)
                    return finish("TLS", ec);
                d.ws->async_handshake(host + ":" + port, "/", [&](beast::error_code ec) { finish("WebSocket", ec); });
            });
        });
    });
    d.io.run_for(timeout);
    if (!done) {
        d.resolver.cancel();
        d.shut();
    }
    // Lets the aborted steps end here, while the locals they use still exist.
    d.io.restart();
    d.io.run();
    if (!error.empty()) {
        d.gone = true;
        return error;
    }
    beast::get_lowest_layer(*d.ws).expires_never();
    d.io.restart();
    d.read();
    thread_ = std::thread([this] { impl_->io.run(); });
    return std::string();
}

void WsLink::send(std::string text)
{
    Impl* d = impl_.get();
    net::post(d->io, [d, text = std::move(text)]() mutable {
        if (d->gone)
            return;
        d->out.push_back(std::move(text));
        if (d->out.size() == 1)
            d->write();
    });
}

void WsLink::close()
{
    if (!thread_.joinable())
        return;
    Impl* d = impl_.get();
    net::post(d->io, [d] {
        d->closing = true;
        if (!d->gone) {
            d->gone = true;
            d->shut();
        }
    });
    thread_.join();
}

}  // namespace velto_rtc
