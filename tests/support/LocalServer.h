#pragma once
// Test fixture: runs the local conference server (velto_server) as a child
// process on an ephemeral loopback port and drives its test-control side.
//
//   velto::test::LocalServer server;                 // started, ready to serve
//   server.setCaBundleEnv();                         // VELTO_CA_BUNDLE = caFile()
//   client.Login(server.host(), server.demoAccount().userName, ...);
//   server.forceNext("/clientApi/loginClient", 200, R"({"mcode":401,"code":200})");
//   auto reqs = server.requests("/clientApi/loginClient");
//
// Routes: a route is a decoded request path ("/clientApi/users/ABC"); a route
// ending in "*" matches every path with that prefix ("/clientApi/friends/*"),
// and "*" alone matches every REST path. Forced answers apply to any method and
// are consumed in the order they were queued. Test-control traffic is never
// recorded and never forced.
//
// Every method throws std::runtime_error when the server cannot be started or a
// control call fails; a test that gets one should simply fail.
//
// Create it on the thread that lives as long as it (the test's main thread, or
// SetUpTestSuite): the child is told to end when the creating thread ends, so
// that a crashed test leaves no server behind holding ctest's output open.

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velto::test {

// One request as the server received it.
struct RecordedRequest {
    std::string method;                                       // "GET", "POST", ...
    std::string target;                                       // raw request target, still percent-encoded
    std::string path;                                         // percent-decoded path
    std::vector<std::pair<std::string, std::string>> query;   // decoded items, in the order sent
    std::vector<std::pair<std::string, std::string>> headers; // names keep their case; ordered by name
    std::string body;                                         // raw body bytes
    int connection = 0;  // client-side port of the TCP connection; equal values = one reused connection

    // First value of a query item; "" when absent.
    std::string param(const std::string& key) const;
    bool hasParam(const std::string& key) const;
    // Header value by case-insensitive name; "" when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

// An account seeded into the server.
struct Account {
    std::string userName;     // login name
    std::string password;     // login password
    std::string userId;       // "mUserId"
    std::string displayName;  // "mUserName"
    std::string room;         // personal meeting room number ("cNumber")
    std::string meetPassword; // personal meeting password
    std::string ownerPassword;// personal moderator password
};

// One request a signalling client sent to the message server, as it arrived.
struct SentSignal {
    std::string from;               // the connection's address ("" before it said who it is)
    std::string operation;          // the client operation, e.g. "SendPresence"
    std::vector<std::string> args;  // its values in order: numbers in decimal, flags "true"/"false"
};

// A participant of a room as the message server knows it.
struct SignalMember {
    std::string jid;
    std::string nickname;
    std::string ssrc;
    std::string label;
    std::string secondSsrc;
    std::string secondLabel;
    bool isModerator = false;
    bool audioMute = false;
    bool videoMute = false;
};

class LocalServer {
public:
    struct Options {
        // Serve a self-signed certificate that caFile() does not vouch for.
        bool untrustedCertificate = false;
        // JSON seed file replacing the built-in accounts, friends and meetings
        // (format in tools/velto_server/README.md); empty = built-in seed.
        std::string seedFile;
        // Serve a certificate from caFile()'s CA that names only this host
        // (not localhost, not 127.0.0.1); empty = the usual certificate.
        std::string certificateHost;
        // Message connections silent this long are closed; 0 = the server's 60 s.
        int messageIdleMs = 0;
        // The media forwarding unit drops this share (0-100) of the packets it
        // forwards, at random in both directions, seeded for a repeatable run.
        int mediaLossPercent = 0;
        unsigned mediaLossSeed = 1;
        // Each client message is held this long before the server handles it
        // (a distant server); 0 = none.
        int messageDelayMs = 0;
        // The server process may hold at most this many descriptors; 0 = as inherited.
        int maxOpenFiles = 0;
        // What the server writes for people goes to a file read back by
        // serverLog() instead of the test's own error output.
        bool captureLog = false;
        // The address it serves on (--listen) and names in all it hands out.
        std::string listen = "127.0.0.1";
        // The network namespace (of a NetworkLab) the server runs in; empty =
        // the test's own. The test reaches it from a namespace linked to it
        // (NetworkLab::Inside).
        std::string networkNamespace;
        // The unit stops sending to a participant whose checks stopped this
        // long ago; 0 = the server's 30 s.
        int mediaConsentMs = 0;
        // "URL[,USER,CREDENTIAL]" entries added to the login answers.
        std::vector<std::string> iceServers;
    };

    LocalServer();
    explicit LocalServer(const Options& options);
    ~LocalServer();  // kills and reaps the child, removes its temp dir
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    const Options& options() const { return options_; }

    // --- where it is -------------------------------------------------------
    int port() const;
    int pid() const { return pid_; }  // of the running server process, -1 when stopped
    std::string host() const;       // "ADDRESS:PORT" (127.0.0.1 unless Options::listen)
    std::string localhost() const;  // "localhost:PORT" (the certificate names both)
    std::string caFile() const;     // PEM file of the run's CA
    void setCaBundleEnv() const;    // setenv("VELTO_CA_BUNDLE", caFile())
    std::string serverLog() const;  // what it wrote so far; "" unless Options::captureLog
    // The program trusts this server and asks it for the update manifest:
    // setCaBundleEnv() and VELTO_UPDATE_HOST = localhost().
    void setProgramEnv() const;
    // Message server named in every login answer; the pair is unique per
    // server instance (Options::listen and this server's port by default).
    std::string messageServer() const;
    std::string messageServerPort() const;

    // --- seeded data -------------------------------------------------------
    std::vector<Account> accounts() const;  // seeded accounts, demo account first
    Account demoAccount() const;
    Account account(const std::string& userName) const;  // throws when unknown

    // --- forcing answers -----------------------------------------------------
    // The next `times` requests matching `route` get exactly this answer
    // (any status, any body: an "mcode" object, HTML, truncated JSON, "[1]").
    void forceNext(const std::string& route, int status, const std::string& body, int times = 1,
                   const std::string& contentType = "application/json;charset=UTF-8");
    // The next `times` matching requests wait `ms` before being handled normally
    // (reset() and the server's shutdown end the wait early).
    void forceStall(const std::string& route, int ms, int times = 1);
    // The next `times` matching requests get no answer: the connection is closed.
    void forceClose(const std::string& route, int times = 1);

    // --- reading back --------------------------------------------------------
    std::vector<RecordedRequest> requests() const;                          // all, in arrival order
    std::vector<RecordedRequest> requests(const std::string& route) const;  // matching `route`
    RecordedRequest lastRequest() const;                                    // throws when none
    void clearRequests();
    int keepAliveCount() const;  // "/clientApi/keepAlive/..." requests since start or reset()
    // Polls until at least `count` requests matched `route`; false on time-out.
    bool waitForRequests(const std::string& route, std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // --- switches and documents ----------------------------------------------
    void setNoCredit(bool noCredit);           // phone call-out answers {"code":301}
    // The media forwarding unit drops this share (0-100) of what it forwards
    // from now on; reset() puts back Options::mediaLossPercent.
    void setMediaLoss(int percent);
    void setManifest(const std::string& json); // body of "/download/bm/version_mac_bm.json", served as is
    // Moves the server's clock ahead (reset() puts it back); the meeting-end
    // warnings and closes that fall due are sent before this returns.
    void advanceClock(std::chrono::milliseconds by);
    // Back to the seeded state: accounts, meetings, friends, switches, the
    // manifest and the clock; forced answers and recorded requests dropped;
    // stalls ended.
    void reset();

    // --- the message server ----------------------------------------------------
    std::vector<SentSignal> sentSignals() const;         // the latest 10000, in arrival order
    std::vector<std::string> signalClients() const;  // connected addresses, in connection order
    std::vector<SignalMember> signalRoom(const std::string& room) const;  // by room number
    // Ends a client's connection as a lost network does; false when not connected.
    bool dropSignal(const std::string& jid);
    // Sends these texts to a client as if they were the server's own messages.
    bool pushSignals(const std::string& jid, const std::vector<std::string>& messages);
    // Connections refused from now on; pings left unanswered from now on.
    void setSignalFaults(bool refuseConnections, bool silentPings);
    // Polls until `done` holds for the signals; false on time-out.
    template <typename Done>
    bool waitForSignals(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (done(sentSignals()))
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Stops the server with SIGTERM and returns its exit status (0 = clean).
    // Afterwards only the address accessors and restart() may be used.
    int stop();
    // Starts a stopped server again on the same ports, with fresh state.
    void restart();

private:
    std::string control(const std::string& method, const std::string& path,
                        const std::string& body = std::string()) const;
    void launch(int port, int messagePort);

    Options options_;
    std::string dir_;
    std::string caFile_;
    std::string logFile() const { return dir_ + "/server.log"; }
    std::string messageServer_;
    std::string messageServerPort_;
    int port_ = 0;
    int pid_ = -1;
};

}  // namespace velto::test
