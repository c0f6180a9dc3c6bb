// Two SDK clients in two processes meet through the local server: this test
// is the host (the demo user in the demo room); the scripted peer (velto_peer)
// is Alice, driven line by line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <thread>

#include "SdkTestFixture.h"

#ifndef VELTO_PEER_BINARY
#error "VELTO_PEER_BINARY must name the velto_peer executable"
#endif

namespace velto::test {
namespace {

// The scripted peer as a child process: orders go to its stdin, its lines
// are collected from its stdout.
class PeerProcess {
public:
    PeerProcess(const std::string& server, const Account& account, const std::string& room,
                const std::string& roomPassword)
    {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        std::vector<std::string> args{VELTO_PEER_BINARY, "--server",   server,         "--user",
                                      account.userName,  "--password", account.password, "--room",
                                      room,              "--room-password", roomPassword, "--commands"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        reader_ = std::thread([this, fd = out[0]] {
            std::string pending;
            char buffer[4096];
            ssize_t got = 0;
            while ((got = read(fd, buffer, sizeof buffer)) > 0) {
                pending.append(buffer, static_cast<std::size_t>(got));
                std::size_t end = 0;
                while ((end = pending.find('\n')) != std::string::npos) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    lines_.push_back(pending.substr(0, end));
                    pending.erase(0, end + 1);
                    changed_.notify_all();
                }
            }
            close(fd);
        });
    }

    ~PeerProcess()
    {
        send("quit");
        close(stdin_);
        int status = 0;
        for (int i = 0; i < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(10ms);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        reader_.join();
    }

    void send(const std::string& order)
    {
        const std::string line = order + "\n";
        (void)!write(stdin_, line.data(), line.size());
    }

    // Waits for a line that starts with `prefix`; returns it ("" on time-out).
    std::string waitFor(const std::string& prefix, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        std::string found;
        changed_.wait_for(lock, timeout, [&] {
            for (const std::string& line : lines_)
                if (line.rfind(prefix, 0) == 0) {
                    found = line;
                    return true;
                }
            return false;
        });
        return found;
    }

    // Sends an order and waits for its result line.
    std::string order(const std::string& order)
    {
        const std::string verb = order.substr(0, order.find(' '));
        const std::size_t before = count("result " + verb + " ");
        send(order);
        std::unique_lock<std::mutex> lock(mutex_);
        std::string result;
        changed_.wait_for(lock, 10s, [&] {
            std::size_t seen = 0;
            for (const std::string& line : lines_)
                if (line.rfind("result " + verb + " ", 0) == 0 && ++seen > before)
                    result = line.substr(line.rfind(' ') + 1);
            return !result.empty();
        });
        return result;
    }

    std::size_t count(const std::string& prefix) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::size_t>(std::count_if(
            lines_.begin(), lines_.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

bool hasEvent(const std::vector<Event>& events, const std::string& name, const std::vector<std::string>& args)
{
    return std::any_of(events.begin(), events.end(), [&](const Event& e) {
        return e.name == name && std::equal(args.begin(), args.end(), e.args.begin(),
                                            e.args.begin() + std::min(args.size(), e.args.size())) &&
               e.args.size() >= args.size();
    });
}

TEST_F(SdkTest, TwoProcessesMeetThroughTheServer)
{
    RecordingCallback callback;
    auto host = makeSdk(&callback);
    const std::string hostJid = startDemoMeeting(*host, callback);
    const Account demo = server().demoAccount();
    PeerProcess peer(server().host(), server().account("alice"), demo.room, demo.meetPassword);
    const std::string ready = peer.waitFor("ready ");
    ASSERT_FALSE(ready.empty());
    const std::string peerJid = ready.substr(6);
    const auto waitHost = [&](const std::string& name, const std::vector<std::string>& args) {
        return callback.waitFor([&](const std::vector<Event>& events) { return hasEvent(events, name, args); });
    };

    // Participants both ways, with the host in the chair.
    ASSERT_EQ(peer.waitFor("result join "), "result join 0");
    EXPECT_TRUE(waitHost("onUpdateUserList", {peerJid}));
    EXPECT_FALSE(peer.waitFor("event onUpdateUserList " + hostJid + " Demo User moderator=true").empty());

    // Chat both ways.
    ASSERT_EQ(host->SendChatMessage("hello peer"), 0);
    EXPECT_FALSE(peer.waitFor("event onChatMessage Demo User hello peer").empty());
    EXPECT_EQ(peer.order("chat hi host"), "0");
    EXPECT_TRUE(waitHost("onChatMessage", {"Alice Chen", "hi host"}));

    // The stage, a raised hand, a recording from start to stop.
    ASSERT_EQ(host->SetStage(peerJid, false), 0);
    EXPECT_FALSE(peer.waitFor("event onConferencePartipants " + peerJid + " false").empty());
    EXPECT_EQ(peer.order("hand apply"), "0");
    EXPECT_TRUE(waitHost("onHandsUp", {"apply", peerJid, "Alice Chen"}));
    ASSERT_EQ(host->StartRecord("recording"), 0);
    EXPECT_FALSE(peer.waitFor("event onNotifyRecord true").empty());
    EXPECT_TRUE(callback.waitForEvent("onNotifyRecord"));
    EXPECT_EQ(host->StopRecord(), 0) << "the notice named the recording to stop";
    EXPECT_FALSE(peer.waitFor("event onNotifyRecord false").empty());

    // Who does not hold the chair cannot kick; the server drops the message.
    EXPECT_EQ(peer.order("kick " + hostJid), "0") << "queued";
    EXPECT_EQ(peer.order("chat after the kick"), "0");
    EXPECT_TRUE(waitHost("onChatMessage", {"Alice Chen", "after the kick"}));
    EXPECT_TRUE(callback.events("onKickout").empty());

    // A ring reaches the callee with the sender the server knows.
    EXPECT_EQ(peer.order("ring " + demo.userId), "0");
    EXPECT_TRUE(waitHost("onRingCall", {peerJid, "invite"}));
    EXPECT_EQ(peer.count("event onRingCall"), 0u);

    // The moderator claim moves the chair on both sides.
    EXPECT_EQ(peer.order("claim " + demo.ownerPassword), "0");
    EXPECT_FALSE(peer.waitFor("event onGrantAdmin").empty());
    EXPECT_TRUE(waitHost("onControlMsg", {"moderator"}));
    EXPECT_EQ(peer.order("moderator"), "1");
    EXPECT_TRUE(callback.waitFor([&](const std::vector<Event>&) { return !host->isModerator(); }));

    // The server goes away: both notice at once, long before a ping is due.
    const auto killed = std::chrono::steady_clock::now();
    server().stop();
    EXPECT_TRUE(callback.waitForEvent("onNetworkError", 1, 5s));
    EXPECT_FALSE(peer.waitFor("event onNetworkError", 5s).empty());
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    server().restart();
    server().setCaBundleEnv();
}

}  // namespace
}  // namespace velto::test
