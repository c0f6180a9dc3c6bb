// velto_server: the local conference server. HTTPS on 127.0.0.1 with a
// certificate made for the run; see README.md for routes and test control.

#include "Certificates.h"
#include "ConferenceService.h"
#include "HttpFront.h"
#include "MediaUnit.h"
#include "MessageService.h"
#include "Seed.h"
#include "TestControl.h"

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

namespace {

struct Options {
    int port = 0;
    std::string certDir;
    std::string seedFile;
    std::string messageServer = "127.0.0.1";
    std::string messageServerPort;  // empty = the message service's own port
    int messagePort = 0;            // where the message service listens; 0 = any free port
    long messageIdleMs = 0;         // 0 = the message service's own idle limit
    std::string certHost;           // empty = localhost and 127.0.0.1
    bool untrusted = false;
    bool verbose = false;
    velto::server::MediaUnit::Options media;
};

const char* const kUsage =
    "usage: velto_server [--port N] [--cert-dir DIR] [--seed FILE] [--untrusted-cert] [--cert-host NAME]\n"
    "                    [--message-server HOST] [--message-server-port PORT] [--message-port N]\n"
    "                    [--message-idle-ms N] [--media-port N] [--media-loss-percent N]\n"
    "                    [--media-loss-seed S] [--verbose]\n"
    "  --port N                 port on 127.0.0.1; 0 (default) picks a free one\n"
    "  --cert-dir DIR           where ca.pem is written (default: a new temp dir)\n"
    "  --seed FILE              JSON accounts, contacts and meetings (default: built-in demo data)\n"
    "  --untrusted-cert         serve a self-signed certificate that ca.pem does not vouch for\n"
    "  --cert-host NAME         the served certificate (still from ca.pem's CA) names only NAME\n"
    "  --message-server HOST    message server named in login answers (default 127.0.0.1)\n"
    "  --message-server-port P  its port named in login answers (default: the message service's port)\n"
    "  --message-port N         port of the message service on 127.0.0.1; 0 (default) picks a free one\n"
    "  --message-idle-ms N      close message connections silent for N ms (default 60000)\n"
    "  --media-port N           UDP port of the media forwarding unit on 127.0.0.1; 0 (default) picks a free one\n"
    "  --media-loss-percent N   the unit drops N% (0-100) of the packets it forwards, at random, both ways\n"
    "  --media-loss-seed S      seed of those drops, for a repeatable run (default: random)\n"
    "  --verbose                log each REST request's method and path to stderr\n"
    "The first line on stdout is \"listening 127.0.0.1:PORT\".\n";

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
        } else if (arg == "--message-idle-ms") {
            const std::string text = value();
            char* end = nullptr;
            const long ms = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || ms < 1 || ms > 24L * 3600 * 1000)
                usage(2);
            options.messageIdleMs = ms;
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

}  // namespace

int main(int argc, char** argv)
{
    using namespace velto::server;
    const Options options = parseOptions(argc, argv);

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
        const std::string certDir = options.certDir.empty() ? makeTempDir() : options.certDir;
        const ServerIdentity identity = makeServerIdentity(certDir, options.untrusted, options.certHost);
        const Json::Value seed = loadSeed(options.seedFile);

        HttpFront front(identity, options.verbose);
        const int port = front.bind(options.port);
        if (port <= 0) {
            std::cerr << "velto_server: cannot listen on 127.0.0.1:" << options.port << std::endl;
            return 1;
        }

        ConferenceService::Config config;
        config.publicHost = "127.0.0.1:" + std::to_string(port);
        config.messageServer = options.messageServer;
        config.messageServerPort = options.messageServerPort;
        ConferenceService service(config, seed);
        MessageService::Limits limits;
        if (options.messageIdleMs > 0)
            limits.idle = std::chrono::milliseconds(options.messageIdleMs);
        // The unit outlives the message service, whose joins and leaves set up its legs.
        MediaUnit media(options.media);
        const int mediaPort = media.bind();
        if (mediaPort <= 0) {
            std::cerr << "velto_server: cannot open the media port 127.0.0.1:" << options.media.port << std::endl;
            return 1;
        }
        MessageService messages(identity, service, options.messageServer, limits, options.verbose);
        messages.attachMedia(media);
        const int messagePort = messages.bind(options.messagePort);
        if (messagePort <= 0) {
            std::cerr << "velto_server: cannot listen for messages on 127.0.0.1:" << options.messagePort << std::endl;
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
        front.attach(service, control, messages, media,
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
        std::printf("listening 127.0.0.1:%d\n", port);
        std::printf("messages 127.0.0.1:%d\n", messagePort);
        std::printf("media 127.0.0.1:%d\n", mediaPort);
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
