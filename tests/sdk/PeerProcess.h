#pragma once
// The scripted peer (velto_peer) as a child process of a test: orders go to
// its stdin, its lines are collected from its stdout.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LocalServer.h"

#ifndef VELTO_PEER_BINARY
#error "VELTO_PEER_BINARY must name the velto_peer executable"
#endif

namespace velto::test {

using namespace std::chrono_literals;

class PeerProcess {
public:
    // `extra`: more options of the peer's (its files, for one); `errorLog`:
    // a file its error output goes to instead of the test's.
    PeerProcess(const std::string& server, const Account& account, const std::string& room,
                const std::string& roomPassword, const std::vector<std::string>& extra = {},
                const std::string& errorLog = std::string())
    {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        std::vector<std::string> args{VELTO_PEER_BINARY, "--server",   server,         "--user",
                                      account.userName,  "--password", account.password, "--room",
                                      room,              "--room-password", roomPassword, "--commands"};
        if (room.empty())
            args.erase(args.begin() + 7, args.begin() + 11);
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int errors =
            errorLog.empty() ? -1 : open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            if (errors >= 0)
                dup2(errors, STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        if (errors >= 0)
            close(errors);
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

    ~PeerProcess() { quit(); }

    // Asks it to quit and waits for its end (killed after 5 s); its exit
    // status as a shell gives it (128 + the signal that ended it).
    int quit()
    {
        if (status_ >= 0)
            return status_;
        send("quit");
        close(stdin_);
        stdin_ = -1;
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 500 && (done = waitpid(pid_, &status, WNOHANG)) == 0; ++i)
            std::this_thread::sleep_for(10ms);
        if (done == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        reader_.join();
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

    void send(const std::string& order)
    {
        if (stdin_ < 0)
            return;
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

    pid_t pid() const { return pid_; }

    std::size_t count(const std::string& prefix) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<std::size_t>(std::count_if(
            lines_.begin(), lines_.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;  // once it ended
    int stdin_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

}  // namespace velto::test
