// velto_server: the local conference server. HTTPS on 127.0.0.1 (or the
// address of --listen) with a certificate made for the run; see README.md for
// routes and test control.

#include "Certificates.h"
#include "ConferenceService.h"
#include "HttpFront.h"
#include "MediaUnit.h"
#include "MessageService.h"
#include "Seed.h"
#include "TestControl.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::string listen = "127.0.0.1";  // REST, messages and media; named in all the server hands out
    int port = 0;
    std::string certDir;
    std::string seedFile;
    std::string messageServer;      // empty = the --listen address
    std::string messageServerPort;  // empty = the message service's own port
    int messagePort = 0;            // where the message service listens; 0 = any free port
    long messageIdleMs = 0;         // 0 = the message service's own idle limit
    long messageDelayMs = 0;        // each client frame held this long before it is handled
    std::string certHost;           // empty = localhost and 127.0.0.1
    bool untrusted = false;
    bool testControl = false;  // the "/_test/" routes: tests only, they hand out every password
    bool verbose = false;
    std::vector<velto::server::ConferenceService::IceServer> iceServers;  // added to the login answers
    velto::server::MediaUnit::Options media;
};

const char* const kUsage =
    "usage: velto_server [--listen ADDRESS] [--port N] [--cert-dir DIR] [--seed FILE] [--untrusted-cert]\n"
    "                    [--cert-host NAME] [--message-server HOST] [--message-server-port PORT]\n"
    "                    [--message-port N] [--message-idle-ms N] [--message-delay-ms N] [--media-port N]\n"
    "                    [--media-loss-percent N] [--media-loss-seed S] [--media-consent-ms N]\n"
    "                    [--ice-server URL[,USER,CREDENTIAL]]... [--test-control] [--verbose]\n"
    "  --listen ADDRESS         IPv4 address (or a name of one) for REST, messages and media; every address\n"
    "                           the server hands out and its certificate name it (default 127.0.0.1)\n"
    "  --port N                 REST port; 0 (default) picks a free one\n"
    "  --cert-dir DIR           where ca.pem is written (default: a new temp dir)\n"
    "  --seed FILE              JSON accounts, contacts and meetings (default: built-in demo data)\n"
    "  --untrusted-cert         serve a self-signed certificate that ca.pem does not vouch for\n"
    "  --cert-host NAME         the served certificate (still from ca.pem's CA) names only NAME\n"
    "  --message-server HOST    message server named in login answers (default: the --listen address)\n"
    "  --message-server-port P  its port named in login answers (default: the message service's port)\n"
    "  --message-port N         port of the message service; 0 (default) picks a free one\n"
    "  --message-idle-ms N      close message connections silent for N ms (default 60000)\n"
    "  --media-port N           UDP port of the media forwarding unit; 0 (default) picks a free one\n"
    "  --media-loss-percent N   the unit drops N% (0-100) of the media packets it forwards, at random, both ways\n"
    "                           (connectivity checks are all answered)\n"
    "  --media-loss-seed S      seed of those drops, for a repeatable run (default: random)\n"
    "  --media-consent-ms N     the unit stops sending to a participant whose checks stopped N ms ago\n"
    "                           (default 30000)\n"
    "  --ice-server URL[,USER,CREDENTIAL]\n"
    "                           a STUN or TURN server added to the login answers (repeatable)\n"
    "  --message-delay-ms N     hold each client message N ms before handling it, as a distant server (default 0)\n"
    "  --test-control           serve the test control under /_test/ (tests only: it shows every password)\n"
    "  --verbose                log each REST request's method and path to stderr\n"
    "The first line on stdout is \"listening ADDRESS:PORT\".\n";

[[noreturn]] void usage(int status)
{
    (status == 0 ? std::cout : std::cerr) << kUsage;
    std::exit(status);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(2);
            return argv[++i];
        };
        if (arg == "--port" || arg == "--message-port") {
            const std::string text = value();
            char* end = nullptr;
            const long port = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || port < 0 || port > 65535)
                usage(2);
            (arg == "--port" ? options.port : options.messagePort) = static_cast<int>(port);
        } else if (arg == "--media-port" || arg == "--media-loss-percent" || arg == "--media-loss-seed") {
            const std::string text = value();
            char* end = nullptr;
            errno = 0;
            const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
            const unsigned long long most = arg == "--media-port"           ? 65535
                                            : arg == "--media-loss-percent" ? 100
                                                                            : 0xffffffffull;
            if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || number > most)
                usage(2);
            if (arg == "--media-port")
                options.media.port = static_cast<int>(number);
            else if (arg == "--media-loss-percent")
                options.media.lossPercent = static_cast<int>(number);
            else
                options.media.lossSeed = static_cast<uint32_t>(number);
        } else if (arg == "--media-consent-ms") {
            const std::string text = value();
            char* end = nullptr;
            const long ms = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || ms < 1 || ms > 24L * 3600 * 1000)
                usage(2);
            options.media.consent = std::chrono::milliseconds(ms);
        } else if (arg == "--listen") {
            options.listen = value();
            if (options.listen.empty())
                usage(2);
        } else if (arg == "--ice-server") {
            // URL[,USER,CREDENTIAL]: a URL holds no comma, and a credential
            // may (only the first two commas split).
            const std::string text = value();
            velto::server::ConferenceService::IceServer server;
            const size_t first = text.find(',');
            server.url = text.substr(0, first);
            if (first != std::string::npos) {
                const size_t second = text.find(',', first + 1);
                if (second == std::string::npos)
                    usage(2);
                server.username = text.substr(first + 1, second - first - 1);
                server.credential = text.substr(second + 1);
            }
            if (server.url.empty())
                usage(2);
            options.iceServers.push_back(std::move(server));
        } else if (arg == "--message-idle-ms" || arg == "--message-delay-ms") {
            const std::string text = value();
            char* end = nullptr;
            const long ms = std::strtol(text.c_str(), &end, 10);
            const long least = arg == "--message-delay-ms" ? 0 : 1;
            if (text.empty() || *end != '\0' || ms < least || ms > 24L * 3600 * 1000)
                usage(2);
            (arg == "--message-idle-ms" ? options.messageIdleMs : options.messageDelayMs) = ms;
        } else if (arg == "--cert-dir") {
            options.certDir = value();
        } else if (arg == "--seed") {
            options.seedFile = value();
        } else if (arg == "--message-server") {
            options.messageServer = value();
        } else if (arg == "--message-server-port") {
            options.messageServerPort = value();
        } else if (arg == "--cert-host") {
            options.certHost = value();
            if (options.certHost.empty())
                usage(2);
        } else if (arg == "--untrusted-cert") {
            options.untrusted = true;
        } else if (arg == "--test-control") {
            options.testControl = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(0);
        } else {
            usage(2);
        }
    }
    return options;
}

std::string makeTempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velto_server.XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("cannot create a temp dir: ") + std::strerror(errno));
    return pattern;
}

// The IPv4 address `host` names (a dotted quad, or a name resolved once now):
// media candidates must be addresses, and one socket serves them all.
in_addr resolveListen(const std::string& host)
{
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return address;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int failed = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (failed != 0 || !found)
        throw std::runtime_error("cannot resolve --listen " + host + ": " + gai_strerror(failed));
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return address;
}

std::string addressText(in_addr address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace velto::server;
    Options options = parseOptions(argc, argv);

    // Writes to a peer that went away must fail, not kill us; SIGINT/SIGTERM
    // are taken by one thread so the server stops cleanly.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGINT, SIG_DFL);  // an ignored signal never becomes pending for sigwait
    signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        // An address that is not 0.0.0.0: what the server hands out must reach it.
        const in_addr listenAddress = resolveListen(options.listen);
        if (listenAddress.s_addr == htonl(INADDR_ANY))
            throw std::runtime_error("--listen needs the one address that clients reach, not " + options.listen);
        const std::string listen = options.listen;
        const std::string bound = addressText(listenAddress);
        if (options.messageServer.empty())
            options.messageServer = listen;
        options.media.address = listenAddress;

        const std::string certDir = options.certDir.empty() ? makeTempDir() : options.certDir;
        const ServerIdentity identity = makeServerIdentity(certDir, options.untrusted, options.certHost, listen);
        const Json::Value seed = loadSeed(options.seedFile);

        HttpFront front(identity, options.verbose);
        const int port = front.bind(bound, options.port);
        if (port <= 0) {
            std::cerr << "velto_server: cannot listen on " << bound << ":" << options.port << std::endl;
            return 1;
        }

        ConferenceService::Config config;
        config.publicHost = listen + ":" + std::to_string(port);
        config.messageServer = options.messageServer;
        config.messageServerPort = options.messageServerPort;
        config.iceHost = listen;
        config.iceServers = options.iceServers;
        ConferenceService service(config, seed);
        MessageService::Limits limits;
        if (options.messageIdleMs > 0)
            limits.idle = std::chrono::milliseconds(options.messageIdleMs);
        // The unit outlives the message service, whose joins and leaves set up its legs.
        MediaUnit media(options.media);
        const int mediaPort = media.bind();
        if (mediaPort <= 0) {
            std::cerr << "velto_server: cannot open the media port " << bound << ":" << options.media.port << std::endl;
            return 1;
        }
        limits.delay = std::chrono::milliseconds(options.messageDelayMs);
        MessageService messages(identity, service, options.messageServer, limits, options.verbose);
        messages.attachMedia(media);
        const int messagePort = messages.bind(bound, options.messagePort);
        if (messagePort <= 0) {
            std::cerr << "velto_server: cannot listen for messages on " << bound << ":" << options.messagePort
                      << std::endl;
            return 1;
        }
        // The login answers name the port only now known.
        if (config.messageServerPort.empty()) {
            config.messageServerPort = std::to_string(messagePort);
            service.setMessageServerPort(config.messageServerPort);
        }
        service.setNotifier([&messages](Notice notice) { messages.notify(std::move(notice)); });
        media.start();
        messages.start();
        TestControl control;
        front.attach(service, options.testControl ? &control : nullptr, messages, media,
                     {identity.caFile, config.messageServer, config.messageServerPort});

        std::atomic<bool> stopping{false};
        std::thread stopper([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            stopping = true;
            control.shutdown();
            front.stop();
        });

        const Json::Value demo = service.accounts()[0];
        std::printf("listening %s:%d\n", listen.c_str(), port);
        std::printf("messages %s:%d\n", listen.c_str(), messagePort);
        std::printf("media %s:%d\n", bound.c_str(), mediaPort);
        std::printf("ca-file %s\n", identity.caFile.c_str());
        std::printf("demo-account %s %s\n", demo["userName"].asCString(), demo["password"].asCString());
        std::fflush(stdout);

        const bool served = front.run();
        if (!stopping)
            pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
        messages.stop();
        media.stop();
        return served || stopping ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "velto_server: " << e.what() << std::endl;
        return 1;
    }
}
