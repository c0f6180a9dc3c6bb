#pragma once
// An X server (Xvfb, 1920x1080x24, no TCP) of the test's own on a free
// display number, so that nothing the tests beside it do shows on it. It ends
// with the object, and with the test process should that die first.

#include <string>
#include <sys/types.h>

namespace velto::test {

class OwnXServer {
public:
    OwnXServer();  // returns once it takes clients (10 s at most)
    ~OwnXServer();
    OwnXServer(const OwnXServer&) = delete;
    OwnXServer& operator=(const OwnXServer&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"; empty when it did not start

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Ends a child with SIGTERM, or SIGKILL when it has not ended after 2 s.
void stopChild(pid_t& pid);

}  // namespace velto::test
