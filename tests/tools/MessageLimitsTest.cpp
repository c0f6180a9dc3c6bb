// The message service's limits against raw clients: the largest frame, a
// reader that stopped reading, a silent connection and the connections of
// one user (the numbers are the service's defaults, the idle time aside).

#include "LocalServer.h"
#include "SignalClient.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
using velto::test::LocalServer;
using velto::test::SignalClient;

constexpr std::size_t kMaxFrame = 64 * 1024;
constexpr std::size_t kMaxQueued = 1024;
constexpr int kMaxUnidentified = 64;

bool connected(const LocalServer& server, const std::string& jid)
{
    const auto clients = server.signalClients();
    return std::find(clients.begin(), clients.end(), jid) != clients.end();
}

Json::Value typed(const char* type)
{
    Json::Value message;
    message["type"] = type;
    return message;
}

bool isChat(const Json::Value& m)
{
    return m["type"] == "chat";
}

// A plain TCP connection to the message service that never says a word.
class Silent {
public:
    explicit Silent(const LocalServer& server) : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(std::stoi(server.messageServerPort())));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Silent()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    Silent(const Silent&) = delete;
    Silent& operator=(const Silent&) = delete;

    bool connected() const { return connected_; }
    // Whether the server closed it within `wait`.
    bool closedByServer(std::chrono::milliseconds wait) const
    {
        pollfd pfd{fd_, POLLIN, 0};
        char byte = 0;
        return poll(&pfd, 1, static_cast<int>(wait.count())) == 1 && recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
    }

private:
    int fd_;
    bool connected_ = false;
};

int openDescriptors(int pid)
{
    int count = 0;
    if (DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        while (const dirent* entry = readdir(fds))
            count += entry->d_name[0] != '.';
        closedir(fds);
    }
    return count;
}

// Leaves exactly kMaxQueued messages waiting to go out to `reader`, which
// stops reading first. The first of them (12 MiB) is larger than the socket
// buffers between the two hold (a few MiB on Linux), so it never finishes
// going out and nothing leaves the queue.
void backUp(LocalServer& server, SignalClient& reader)
{
    reader.holdReading();
    ASSERT_TRUE(server.pushSignals(reader.jid(), {R"({"type":"chat","nickname":"","message":"stop here"})"}));
    ASSERT_TRUE(reader.waitFor(isChat));
    std::vector<std::string> waiting{R"({"type":"chat","nickname":"","message":")" + std::string(12 << 20, 'x') +
                                     "\"}"};
    waiting.resize(kMaxQueued, R"({"type":"chat","nickname":"","message":"small"})");
    ASSERT_TRUE(server.pushSignals(reader.jid(), waiting));
}

TEST(MessageLimits, AFrameOfTheLimitIsTakenOneByteMoreEndsTheConnection)
{
    LocalServer server;
    server.setCaBundleEnv();
    const std::string room = server.account("alice").room;
    for (const std::size_t size : {kMaxFrame, kMaxFrame + 1}) {
        SCOPED_TRACE(size);
        SignalClient alice(server, server.account("alice"));
        SignalClient bob(server, server.account("bob"));
        ASSERT_TRUE(alice.connect());
        ASSERT_TRUE(bob.connect());
        ASSERT_TRUE(alice.join(room));
        ASSERT_TRUE(bob.join(room));

        const unsigned id = alice.nextId();
        const std::string head = R"({"type":"chat","id":)" + std::to_string(id) + R"(,"nickname":"A","message":")";
        alice.sendText(head + std::string(size - head.size() - 2, 'x') + "\"}");
        if (size <= kMaxFrame) {
            EXPECT_EQ(alice.answer(id), true);
            EXPECT_TRUE(bob.waitFor(isChat));
            EXPECT_FALSE(alice.closed());
        } else {
            EXPECT_TRUE(alice.waitClosed());
            EXPECT_EQ(alice.answer(id, 0ms), std::nullopt);
            EXPECT_TRUE(bob.waitFor([&](const Json::Value& m) {
                return m["type"] == "userRemoved" && m["jid"] == alice.jid();
            }));
            EXPECT_FALSE(bob.waitFor(isChat, 0ms)) << "an over-size message is not relayed";
            EXPECT_FALSE(connected(server, alice.jid()));
        }
    }
}

TEST(MessageLimits, AReaderThatStopsReadingIsDroppedOnceMoreThanTheLimitWait)
{
    LocalServer server;
    server.setCaBundleEnv();
    SignalClient reader(server, server.demoAccount());
    ASSERT_TRUE(reader.connect());
    backUp(server, reader);
    EXPECT_TRUE(connected(server, reader.jid())) << "the limit itself is still kept";

    ASSERT_TRUE(server.pushSignals(reader.jid(), {R"({"type":"chat","nickname":"","message":"one more"})"}));
    EXPECT_FALSE(connected(server, reader.jid()));
}

// A reader dropped while the server sends one message to many connections:
// the others still get theirs and the server keeps running.
TEST(MessageLimits, AReaderDroppedAmidAFanOutLeavesTheOthersServed)
{
    LocalServer server;
    server.setCaBundleEnv();
    // Connected before demo, so that its own coming is nothing demo hears of.
    SignalClient bob(server, server.account("bob"));
    ASSERT_TRUE(bob.connect());
    struct Case {
        const char* name;
        // Makes the server send to `reader` (demo) and to others in one go;
        // true when the others got theirs.
        std::function<bool(SignalClient& demoAgain)> fanOut;
    };
    const Case cases[] = {
        {"a contact comes on line",
         [&](SignalClient&) {
             // Demo has alice among its contacts: alice's first connection is
             // announced to demo's connections.
             SignalClient alice(server, server.account("alice"));
             return alice.connect() && connected(server, alice.jid());
         }},
        {"a ring to every connection of a user",
         [&](SignalClient& demoAgain) {
             Json::Value ring = typed("ring");
             ring["to"] = server.demoAccount().userId;
             ring["ringType"] = "invite";
             ring["room"] = "";
             ring["nickname"] = "Bob";
             ring["callType"] = 0;
             ring["isCaller"] = 1;
             ring["time"] = "0";
             ring["meetPassword"] = "";
             return bob.request(ring) &&
                    demoAgain.waitFor([](const Json::Value& m) { return m["type"] == "ring"; });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignalClient reader(server, server.demoAccount());
        ASSERT_TRUE(reader.connect());
        SignalClient demoAgain(server, server.demoAccount());
        ASSERT_TRUE(demoAgain.connect());
        backUp(server, reader);

        EXPECT_TRUE(c.fanOut(demoAgain));
        EXPECT_FALSE(connected(server, reader.jid()));
        EXPECT_TRUE(connected(server, demoAgain.jid()));
        EXPECT_TRUE(demoAgain.request(typed("ping")));
    }
}

TEST(MessageLimits, AConnectionSilentForTheIdleTimeIsClosedOneThatTalksStays)
{
    // Long enough that the second client's login and link (slow on a loaded
    // machine under a sanitizer) leave the first one's link open meanwhile.
    constexpr auto kIdle = 2000ms;
    LocalServer::Options options;
    options.messageIdleMs = static_cast<int>(kIdle.count());
    LocalServer server(options);
    server.setCaBundleEnv();
    SignalClient talker(server, server.account("alice"));
    SignalClient silent(server, server.account("bob"));
    ASSERT_TRUE(talker.connect());
    ASSERT_TRUE(silent.connect());

    const auto talkUntil = std::chrono::steady_clock::now() + kIdle + 1000ms;
    auto lastTalk = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < talkUntil) {
        ASSERT_TRUE(talker.request(typed("ping")));
        lastTalk = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(silent.closed());
    EXPECT_FALSE(talker.closed());

    // Closed once the idle time has passed since it last talked, not before
    // (less a margin for a slow, instrumented build).
    EXPECT_TRUE(talker.waitClosed(kIdle + 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - lastTalk, kIdle - 100ms);
    EXPECT_TRUE(server.signalClients().empty());
}

TEST(MessageLimits, ANinthConnectionOfAUserIsRefusedUntilOneOfTheEightEnds)
{
    LocalServer server;
    server.setCaBundleEnv();
    std::vector<std::unique_ptr<SignalClient>> eight;
    for (int i = 0; i < 8; ++i) {
        eight.push_back(std::make_unique<SignalClient>(server, server.account("alice")));
        ASSERT_TRUE(eight.back()->connect()) << i;
    }
    SignalClient ninth(server, server.account("alice"));
    EXPECT_FALSE(ninth.connect());
    EXPECT_TRUE(ninth.waitClosed());
    SignalClient bob(server, server.account("bob"));
    EXPECT_TRUE(bob.connect()) << "another user's connections count apart";

    eight.front()->send(typed("bye"));
    ASSERT_TRUE(eight.front()->waitClosed());
    SignalClient again(server, server.account("alice"));
    EXPECT_TRUE(again.connect());
    EXPECT_EQ(server.signalClients().size(), 9u);
}

// A server out of file descriptors refuses what it cannot take and takes
// connections again once descriptors are free.
TEST(MessageLimits, AfterRunningOutOfDescriptorsTheServerAcceptsAgain)
{
#if defined(__SANITIZE_ADDRESS__)
    // UBSan, built in with ASan here, checks a virtual call it has not seen
    // before through a pipe of its own: out of descriptors, the checker
    // itself reports the call broken and ends the server.
    GTEST_SKIP() << "the sanitizer's checks need descriptors of their own";
#endif
    constexpr int kDescriptors = 40;  // about ten are the server's own
    LocalServer::Options options;
    options.maxOpenFiles = kDescriptors;
    options.captureLog = true;
    LocalServer server(options);
    server.setCaBundleEnv();
    std::vector<std::unique_ptr<Silent>> held;
    for (int i = 0; i < kDescriptors + 20; ++i) {
        held.push_back(std::make_unique<Silent>(server));
        ASSERT_TRUE(held.back()->connected()) << i << " (the kernel queues what the server does not take)";
    }
    // The server's own word that it ran out, not a count of its descriptors
    // from outside: on a loaded two-core machine that count was seen to miss it.
    const std::string ranOut = "cannot accept a connection (Too many open files)";
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (server.serverLog().find(ranOut) == std::string::npos && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    ASSERT_NE(server.serverLog().find(ranOut), std::string::npos)
        << "the server never ran out; it holds " << openDescriptors(server.pid()) << " descriptors and said:\n"
        << server.serverLog();
    std::this_thread::sleep_for(300ms);  // accepting failed, and failed again after its wait

    held.clear();
    SignalClient alice(server, server.account("alice"));
    EXPECT_TRUE(alice.connect());
    EXPECT_TRUE(connected(server, alice.jid()));
}

// Connections that have not said who they are hold a descriptor and a
// handshake each: at the limit the oldest of them makes room, so that however
// many are opened, a newcomer still gets in at once.
TEST(MessageLimits, IdleConnectionsThatNeverSayWhoTheyAreLockNobodyOut)
{
    constexpr int kIdle = 1000;
    rlimit files{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    if (files.rlim_cur < kIdle + 200) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, kIdle + 200);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    }
    if (files.rlim_cur < kIdle + 200)
        GTEST_SKIP() << "this process may not open " << kIdle << " connections";
    LocalServer server;
    server.setCaBundleEnv();
    std::vector<std::unique_ptr<Silent>> idle;
    for (int i = 0; i < kIdle; ++i) {
        idle.push_back(std::make_unique<Silent>(server));
        ASSERT_TRUE(idle.back()->connected()) << i;
    }

    const auto start = std::chrono::steady_clock::now();
    SignalClient bob(server, server.account("bob"));
    EXPECT_TRUE(bob.connect());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(connected(server, bob.jid()));
    EXPECT_TRUE(idle.front()->closedByServer(2s)) << "the oldest made room";
    EXPECT_FALSE(idle.back()->closedByServer(0ms)) << "the newest wait for their own time-out";
    EXPECT_FALSE(idle[kIdle - kMaxUnidentified + 2]->closedByServer(0ms)) << "room is made one at a time";
}

}  // namespace
