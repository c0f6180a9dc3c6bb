#include "LocalServer.h"

#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <thread>

#ifndef VELTO_SERVER_BINARY
#error "VELTO_SERVER_BINARY must name the velto_server executable"
#endif

namespace velto::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error("LocalServer: " + what);
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string toText(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

Json::Value parse(const std::string& text)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors))
        fail("unreadable control answer: " + errors);
    return value;
}

std::string queryEscape(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> pairs(const Json::Value& array)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const Json::Value& pair : array)
        out.emplace_back(pair[0].asString(), pair[1].asString());
    return out;
}

Account toAccount(const Json::Value& value)
{
    return Account{value["userName"].asString(),    value["password"].asString(),
                   value["userId"].asString(),      value["displayName"].asString(),
                   value["room"].asString(),        value["meetPassword"].asString(),
                   value["ownerPassword"].asString()};
}

// Reads the child's first line ("listening ADDRESS:PORT") within the start time-out.
std::string readFirstLine(int fd)
{
    std::string text;
    const auto deadline = Clock::now() + kStartTimeout;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            fail("velto_server did not report its port in time");
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[512];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            fail("velto_server exited before it listened (see its stderr)");
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

// --- RecordedRequest -----------------------------------------------------------

std::string RecordedRequest::param(const std::string& key) const
{
    for (const auto& item : query)
        if (item.first == key)
            return item.second;
    return std::string();
}

bool RecordedRequest::hasParam(const std::string& key) const
{
    return std::any_of(query.begin(), query.end(), [&](const auto& item) { return item.first == key; });
}

std::string RecordedRequest::header(const std::string& name) const
{
    const std::string wanted = lower(name);
    for (const auto& item : headers)
        if (lower(item.first) == wanted)
            return item.second;
    return std::string();
}

bool RecordedRequest::hasHeader(const std::string& name) const
{
    const std::string wanted = lower(name);
    return std::any_of(headers.begin(), headers.end(), [&](const auto& item) { return lower(item.first) == wanted; });
}

// --- life cycle ------------------------------------------------------------------

LocalServer::LocalServer() : LocalServer(Options()) {}

LocalServer::LocalServer(const Options& options) : options_(options)
{
    const char* base = std::getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/velto_local_server.XXXXXX";
    if (!mkdtemp(dir.data()))
        fail(std::string("cannot create a temp dir: ") + std::strerror(errno));
    dir_ = dir;
    caFile_ = dir_ + "/ca.pem";
    try {
        launch(0, 0);
    } catch (...) {
        std::filesystem::remove_all(dir_);
        throw;
    }
}

void LocalServer::restart()
{
    if (pid_ > 0)
        fail("the server is running");
    launch(port_, std::stoi(messageServerPort_));
}

void LocalServer::launch(int port, int messagePort)
{
    std::vector<std::string> args{VELTO_SERVER_BINARY, "--port", std::to_string(port), "--message-port",
                                  std::to_string(messagePort), "--cert-dir", dir_, "--test-control"};
    if (!options_.seedFile.empty())
        args.insert(args.end(), {"--seed", options_.seedFile});
    if (options_.untrustedCertificate)
        args.push_back("--untrusted-cert");
    if (!options_.certificateHost.empty())
        args.insert(args.end(), {"--cert-host", options_.certificateHost});
    if (options_.messageIdleMs > 0)
        args.insert(args.end(), {"--message-idle-ms", std::to_string(options_.messageIdleMs)});
    if (options_.mediaLossPercent > 0)
        args.insert(args.end(), {"--media-loss-percent", std::to_string(options_.mediaLossPercent),
                                 "--media-loss-seed", std::to_string(options_.mediaLossSeed)});
    if (options_.messageDelayMs > 0)
        args.insert(args.end(), {"--message-delay-ms", std::to_string(options_.messageDelayMs)});
    if (options_.listen != "127.0.0.1")
        args.insert(args.end(), {"--listen", options_.listen});
    if (options_.mediaConsentMs > 0)
        args.insert(args.end(), {"--media-consent-ms", std::to_string(options_.mediaConsentMs)});
    for (const std::string& server : options_.iceServers)
        args.insert(args.end(), {"--ice-server", server});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int log = -1;
    if (options_.captureLog) {
        log = open(logFile().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log < 0)
            fail(std::string("server log: ") + std::strerror(errno));
    }
    // The child enters the namespace before it runs the server.
    int network = -1;
    if (!options_.networkNamespace.empty()) {
        network = open(("/run/netns/" + options_.networkNamespace).c_str(), O_RDONLY | O_CLOEXEC);
        if (network < 0) {
            if (log >= 0)
                close(log);
            fail("no network namespace " + options_.networkNamespace + ": " + std::strerror(errno));
        }
    }
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        if (log >= 0)
            close(log);
        if (network >= 0)
            close(network);
        fail(std::string("pipe: ") + std::strerror(errno));
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(out[0]);
        close(out[1]);
        if (log >= 0)
            close(log);
        if (network >= 0)
            close(network);
        fail(std::string("fork: ") + std::strerror(errno));
    }
    if (pid_ == 0) {
        // Only async-signal-safe calls here. The server must not outlive a
        // test process that crashed: it would hold ctest's output pipe open.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options_.maxOpenFiles > 0) {
            const rlimit files{static_cast<rlim_t>(options_.maxOpenFiles), static_cast<rlim_t>(options_.maxOpenFiles)};
            if (setrlimit(RLIMIT_NOFILE, &files) != 0)
                _exit(127);
        }
        if (network >= 0 && setns(network, CLONE_NEWNET) != 0)
            _exit(127);
        dup2(out[1], STDOUT_FILENO);
        if (log >= 0)
            dup2(log, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (log >= 0)
        close(log);
    if (network >= 0)
        close(network);

    try {
        const std::string line = readFirstLine(out[0]);
        close(out[0]);  // later lines are for people; the server ignores the broken pipe
        const std::string prefix = "listening " + options_.listen + ":";
        if (line.compare(0, prefix.size(), prefix) != 0)
            fail("unexpected first line from velto_server: " + line);
        port_ = std::stoi(line.substr(prefix.size()));
        const Json::Value info = parse(control("GET", "/_test/info"));
        messageServer_ = info["messageServer"].asString();
        messageServerPort_ = info["messageServerPort"].asString();
    } catch (...) {
        close(out[0]);
        stop();
        throw;
    }
}

LocalServer::~LocalServer()
{
    if (pid_ > 0)
        stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

int LocalServer::stop()
{
    if (pid_ <= 0)
        fail("the server is not running");
    const pid_t pid = pid_;
    pid_ = -1;
    kill(pid, SIGTERM);
    int status = 0;
    const auto deadline = Clock::now() + kStopTimeout;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// --- where it is -----------------------------------------------------------------

int LocalServer::port() const
{
    return port_;
}

std::string LocalServer::host() const
{
    return options_.listen + ":" + std::to_string(port_);
}

std::string LocalServer::localhost() const
{
    return "localhost:" + std::to_string(port_);
}

std::string LocalServer::caFile() const
{
    return caFile_;
}

void LocalServer::setCaBundleEnv() const
{
    setenv("VELTO_CA_BUNDLE", caFile_.c_str(), 1);
}

std::string LocalServer::serverLog() const
{
    std::ifstream in(logFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void LocalServer::setProgramEnv() const
{
    setCaBundleEnv();
    setenv("VELTO_UPDATE_HOST", localhost().c_str(), 1);
}

std::string LocalServer::messageServer() const
{
    return messageServer_;
}

std::string LocalServer::messageServerPort() const
{
    return messageServerPort_;
}

// --- control -----------------------------------------------------------------------

std::string LocalServer::control(const std::string& method, const std::string& path, const std::string& body) const
{
    if (pid_ <= 0)
        fail("the server is not running");
    httplib::SSLClient client(options_.listen, port_);
    client.set_ca_cert_path(caFile_.c_str());
    // A certificate the clients must refuse is the point of those modes; the
    // control side still talks to it.
    client.enable_server_certificate_verification(!options_.untrustedCertificate &&
                                                  options_.certificateHost.empty());
    client.set_connection_timeout(10);
    client.set_read_timeout(30);
    client.set_write_timeout(10);
    client.set_keep_alive(false);

    const char* json = "application/json";
    httplib::Result result = method == "GET"      ? client.Get(path.c_str())
                             : method == "DELETE" ? client.Delete(path.c_str())
                             : method == "PUT"    ? client.Put(path.c_str(), body, json)
                                                  : client.Post(path.c_str(), body, json);
    if (!result)
        fail(method + " " + path + ": " + httplib::to_string(result.error()));
    if (result->status != 200)
        fail(method + " " + path + ": HTTP " + std::to_string(result->status) + " " + result->body);
    return result->body;
}

std::vector<Account> LocalServer::accounts() const
{
    std::vector<Account> out;
    for (const Json::Value& value : parse(control("GET", "/_test/accounts")))
        out.push_back(toAccount(value));
    return out;
}

Account LocalServer::demoAccount() const
{
    return accounts().at(0);
}

Account LocalServer::account(const std::string& userName) const
{
    for (Account& account : accounts())
        if (account.userName == userName)
            return account;
    fail("no seeded account \"" + userName + "\"");
}

void LocalServer::forceNext(const std::string& route, int status, const std::string& body, int times,
                            const std::string& contentType)
{
    Json::Value order;
    order["route"] = route;
    order["kind"] = "answer";
    order["status"] = status;
    order["body"] = body;
    order["contentType"] = contentType;
    order["times"] = times;
    control("POST", "/_test/force", toText(order));
}

void LocalServer::forceStall(const std::string& route, int ms, int times)
{
    Json::Value order;
    order["route"] = route;
    order["kind"] = "stall";
    order["ms"] = ms;
    order["times"] = times;
    control("POST", "/_test/force", toText(order));
}

void LocalServer::forceClose(const std::string& route, int times)
{
    Json::Value order;
    order["route"] = route;
    order["kind"] = "close";
    order["times"] = times;
    control("POST", "/_test/force", toText(order));
}

std::vector<RecordedRequest> LocalServer::requests() const
{
    return requests(std::string());
}

std::vector<RecordedRequest> LocalServer::requests(const std::string& route) const
{
    const std::string path = route.empty() ? "/_test/requests" : "/_test/requests?route=" + queryEscape(route);
    std::vector<RecordedRequest> out;
    for (const Json::Value& entry : parse(control("GET", path))) {
        RecordedRequest request;
        request.method = entry["method"].asString();
        request.target = entry["target"].asString();
        request.path = entry["path"].asString();
        request.query = pairs(entry["query"]);
        request.headers = pairs(entry["headers"]);
        request.body = entry["body"].asString();
        request.connection = entry["connection"].asInt();
        out.push_back(std::move(request));
    }
    return out;
}

RecordedRequest LocalServer::lastRequest() const
{
    auto all = requests();
    if (all.empty())
        fail("no request was recorded");
    return std::move(all.back());
}

void LocalServer::clearRequests()
{
    control("DELETE", "/_test/requests");
}

int LocalServer::keepAliveCount() const
{
    return parse(control("GET", "/_test/keepAlives"))["count"].asInt();
}

bool LocalServer::waitForRequests(const std::string& route, std::size_t count,
                                  std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (requests(route).size() >= count)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
}

void LocalServer::setNoCredit(bool noCredit)
{
    Json::Value switches;
    switches["noCredit"] = noCredit;
    control("PUT", "/_test/switches", toText(switches));
}

void LocalServer::setMediaLoss(int percent)
{
    Json::Value loss;
    loss["percent"] = percent;
    control("PUT", "/_test/mediaLoss", toText(loss));
}

std::vector<SentSignal> LocalServer::sentSignals() const
{
    std::vector<SentSignal> out;
    for (const Json::Value& entry : parse(control("GET", "/_test/signals"))) {
        SentSignal signal{entry["from"].asString(), entry["operation"].asString(), {}};
        for (const Json::Value& arg : entry["args"])
            signal.args.push_back(arg.asString());
        out.push_back(std::move(signal));
    }
    return out;
}

std::vector<std::string> LocalServer::signalClients() const
{
    std::vector<std::string> out;
    for (const Json::Value& jid : parse(control("GET", "/_test/signalClients")))
        out.push_back(jid.asString());
    return out;
}

std::vector<SignalMember> LocalServer::signalRoom(const std::string& room) const
{
    std::vector<SignalMember> out;
    for (const Json::Value& u : parse(control("GET", "/_test/signalRoom?room=" + room)))
        out.push_back({u["jid"].asString(), u["nickname"].asString(), u["ssrc"].asString(), u["label"].asString(),
                       u["secondSsrc"].asString(), u["secondLabel"].asString(), u["isModerator"].asBool(),
                       u["audioMute"].asBool(), u["videoMute"].asBool()});
    return out;
}

bool LocalServer::dropSignal(const std::string& jid)
{
    Json::Value order;
    order["jid"] = jid;
    return parse(control("POST", "/_test/signalDrop", toText(order)))["dropped"].asBool();
}

bool LocalServer::pushSignals(const std::string& jid, const std::vector<std::string>& messages)
{
    Json::Value order;
    order["jid"] = jid;
    order["messages"] = Json::Value(Json::arrayValue);
    for (const std::string& m : messages)
        order["messages"].append(m);
    return parse(control("POST", "/_test/signalPush", toText(order)))["pushed"].asBool();
}

void LocalServer::setSignalFaults(bool refuseConnections, bool silentPings)
{
    Json::Value faults;
    faults["refuseConnections"] = refuseConnections;
    faults["silentPings"] = silentPings;
    control("PUT", "/_test/signalFaults", toText(faults));
}

void LocalServer::setManifest(const std::string& json)
{
    control("PUT", "/_test/manifest", json);
}

void LocalServer::advanceClock(std::chrono::milliseconds by)
{
    Json::Value clock;
    clock["advanceMs"] = Json::Int64(by.count());
    control("POST", "/_test/clock", toText(clock));
}

void LocalServer::reset()
{
    control("POST", "/_test/reset");
}

}  // namespace velto::test
