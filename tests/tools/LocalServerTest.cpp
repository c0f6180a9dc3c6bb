// The fixture and the server's test-control side: start and stop, forced
// answers, recording, stall, close, and the two certificates.

#include "LocalServer.h"
#include "RestClient.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <thread>

namespace {

using velto::test::LocalServer;
using Clock = std::chrono::steady_clock;

std::unique_ptr<httplib::SSLClient> clientFor(const LocalServer& server, const std::string& host = "127.0.0.1")
{
    auto client = std::make_unique<httplib::SSLClient>(host, server.port());
    client->set_ca_cert_path(server.caFile().c_str());
    client->enable_server_certificate_verification(true);
    client->set_connection_timeout(10);
    client->set_read_timeout(30);
    client->set_url_encode(false);  // targets go out exactly as written
    client->set_keep_alive(true);
    return client;
}

// A client that acts as the demo user, under a login of its own.
std::unique_ptr<httplib::SSLClient> demoClientFor(const LocalServer& server)
{
    auto client = clientFor(server);
    client->set_default_headers({{"accessToken", velto::test::RestClient(server).login(server.demoAccount()).token}});
    return client;
}

TEST(LocalServer, StartsOnItsOwnPortAndStopsCleanly)
{
    LocalServer first;
    LocalServer second;
    EXPECT_GT(first.port(), 0);
    EXPECT_NE(first.port(), second.port());
    EXPECT_EQ(first.host(), "127.0.0.1:" + std::to_string(first.port()));
    EXPECT_EQ(first.localhost(), "localhost:" + std::to_string(first.port()));
    EXPECT_TRUE(std::filesystem::exists(first.caFile()));
    // The message server is the key of a signalling hub: unique per instance.
    EXPECT_NE(first.messageServer() + ":" + first.messageServerPort(),
              second.messageServer() + ":" + second.messageServerPort());
    EXPECT_EQ(first.demoAccount().userName, first.accounts().front().userName);

    EXPECT_EQ(first.stop(), 0);
    auto client = clientFor(first);
    client->set_connection_timeout(2);
    EXPECT_FALSE(client->Get("/clientApi/users/x"));
}

TEST(LocalServer, ForcedAnswerIsServedExactlyAsOrderedThenTheRouteAnswersNormally)
{
    struct Case {
        const char* route;
        int status;
        const char* body;
        const char* contentType;
    };
    const Case cases[] = {
        {"/clientApi/users/*", 200, R"({"mcode":401,"code":200})", "application/json"},
        {"/clientApi/users/*", 404, "<html><body>Not Found</body></html>", "text/html"},
        {"*", 500, R"({"code":200,"obj":{"mUserId":"tr)", "application/json"},
        {"/clientApi/users/7f3a9c2e4b8d4e6f9a1b2c3d4e5f6a7b", 200, "[1,2,3]", "application/json"},
    };
    LocalServer server;
    auto client = demoClientFor(server);
    const std::string path = "/clientApi/users/" + server.demoAccount().userId;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        server.forceNext(c.route, c.status, c.body, 1, c.contentType);
        const auto forced = client->Get(path.c_str());
        ASSERT_TRUE(forced);
        EXPECT_EQ(forced->status, c.status);
        EXPECT_EQ(forced->body, c.body);
        EXPECT_EQ(forced->get_header_value("Content-Type"), c.contentType);

        const auto normal = client->Get(path.c_str());
        ASSERT_TRUE(normal);
        EXPECT_EQ(normal->status, 200);
        EXPECT_NE(normal->body.find(R"("code":200)"), std::string::npos);
    }

    // `times` and routes that do not match.
    server.forceNext("/clientApi/friends/*", 503, "busy", 2, "text/plain");
    EXPECT_EQ(client->Get(path.c_str())->status, 200);
    EXPECT_EQ(client->Get("/clientApi/friends/x")->status, 503);
    EXPECT_EQ(client->Get("/clientApi/friends/x")->status, 503);
    EXPECT_EQ(client->Get("/clientApi/friends/x")->status, 200);
}

TEST(LocalServer, RecordsEveryRestRequestAsReceived)
{
    LocalServer server;
    auto client = clientFor(server);
    client->Get("/clientApi/selectFriends/AB%2FC?search=John%20Smith&password=a%26b%23c&plus=a+b&empty=&bare");
    httplib::Headers headers{{"X-Probe", "1"}};
    const std::string binary = std::string(R"({"nickname":"n"})") + std::string("\0\xff\xfe", 3);
    client->Post("/clientApi/friends/u/f", headers, binary, "application/json;charset=UTF-8");
    client->Get("/clientApi/keepAlive/u/e/1");
    client->Get("/clientApi/keepAlive/u/e/2");

    const auto all = server.requests();  // control requests are not recorded
    ASSERT_EQ(all.size(), 4u);
    const auto& get = all[0];
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.target, "/clientApi/selectFriends/AB%2FC?search=John%20Smith&password=a%26b%23c&plus=a+b&empty=&bare");
    EXPECT_EQ(get.path, "/clientApi/selectFriends/AB/C");
    const std::vector<std::pair<std::string, std::string>> query{
        {"search", "John Smith"}, {"password", "a&b#c"}, {"plus", "a b"}, {"empty", ""}, {"bare", ""}};
    EXPECT_EQ(get.query, query);
    EXPECT_TRUE(get.hasParam("empty"));
    EXPECT_FALSE(get.hasParam("missing"));
    EXPECT_EQ(get.header("host"), server.host());

    const auto& post = all[1];
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.body, binary);  // every byte, NUL and non-UTF-8 included
    EXPECT_EQ(post.header("content-type"), "application/json;charset=UTF-8");
    EXPECT_EQ(post.header("x-probe"), "1");
    EXPECT_EQ(post.header("Content-Length"), "19");

    EXPECT_EQ(server.requests("/clientApi/keepAlive/*").size(), 2u);
    EXPECT_EQ(server.keepAliveCount(), 2);
    EXPECT_EQ(server.lastRequest().path, "/clientApi/keepAlive/u/e/2");
    // One keep-alive client connection carried all of them.
    EXPECT_EQ(all[0].connection, all[3].connection);
    EXPECT_TRUE(server.waitForRequests("/clientApi/keepAlive/*", 2, std::chrono::milliseconds(0)));
    EXPECT_FALSE(server.waitForRequests("/clientApi/keepAlive/*", 3, std::chrono::milliseconds(100)));

    server.clearRequests();
    EXPECT_TRUE(server.requests().empty());
    server.reset();
    EXPECT_EQ(server.keepAliveCount(), 0);
}

TEST(LocalServer, StallHoldsTheAnswerUntilItsTimeOrAReset)
{
    LocalServer server;
    const std::string path = "/clientApi/users/" + server.demoAccount().userId;

    auto client = demoClientFor(server);
    server.forceStall("*", 400);
    const auto start = Clock::now();
    const auto stalled = client->Get(path.c_str());
    ASSERT_TRUE(stalled);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_NE(stalled->body.find(R"("code":200)"), std::string::npos);  // then answered normally

    // A client that gives up sees no answer; reset() frees the server at once.
    server.forceStall("*", 60000);
    auto impatient = clientFor(server);
    impatient->set_read_timeout(0, 300000);
    EXPECT_FALSE(impatient->Get(path.c_str()));
    server.forceStall("*", 60000);
    auto waiting = std::async(std::launch::async, [&] { return clientFor(server)->Get(path.c_str()).error(); });
    ASSERT_TRUE(server.waitForRequests("*", 2));
    const auto resetAt = Clock::now();
    server.reset();
    EXPECT_EQ(waiting.get(), httplib::Error::Success);
    EXPECT_LT(Clock::now() - resetAt, std::chrono::seconds(10));
}

TEST(LocalServer, CloseDropsTheConnectionWithoutAnAnswer)
{
    LocalServer server;
    const std::string path = "/clientApi/users/" + server.demoAccount().userId;
    server.forceClose("/clientApi/users/*");
    auto client = clientFor(server);
    const auto dropped = client->Get(path.c_str());
    EXPECT_FALSE(dropped);
    EXPECT_EQ(server.requests().size(), 1u);
    const auto next = clientFor(server)->Get(path.c_str());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200);
}

TEST(LocalServer, CertificateVerifiesForBothNamesOnlyInTrustedMode)
{
    LocalServer trusted;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(host);
        auto client = clientFor(trusted, host);
        const auto result = client->Get("/download/bm/version_mac_bm.json");
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200);
    }

    LocalServer::Options options;
    options.untrustedCertificate = true;
    LocalServer untrusted(options);
    auto client = clientFor(untrusted);
    const auto refused = client->Get("/download/bm/version_mac_bm.json");
    EXPECT_EQ(refused.error(), httplib::Error::SSLServerVerification);
    untrusted.setManifest(R"({"version":"2.0.0"})");  // the control side still works
}

// The demo run starts the server without the test control, which would hand
// out every password and let anybody reset the server: its routes are unknown.
// A second server on a port that one serves already fails to start, instead
// of sharing the port and answering some of the first one's requests.
TEST(LocalServer, APortTakenByAnotherServerIsRefused)
{
    LocalServer first;
    char dirTemplate[] = "/tmp/velto_taken_port.XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    std::string binary = VELTO_SERVER_BINARY;
    std::string portOption = "--port", port = std::to_string(first.port()), dirOption = "--cert-dir",
                dirArgument = dir;
    char* argv[] = {binary.data(), portOption.data(), port.data(), dirOption.data(), dirArgument.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !(ended = waitpid(pid, &status, WNOHANG) == pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!ended) {
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended) << "it serves the taken port";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    std::filesystem::remove_all(dir);
}

TEST(LocalServer, TheTestControlIsServedOnlyWhenAskedFor)
{
    char dirTemplate[] = "/tmp/velto_no_control.XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string binary = VELTO_SERVER_BINARY;
    std::string portOption = "--port", port = "0", dirOption = "--cert-dir", dirArgument = dir;
    char* argv[] = {binary.data(), portOption.data(), port.data(), dirOption.data(), dirArgument.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    char line[256] = "";
    const bool listening = fgets(line, sizeof line, lines) != nullptr;
    fclose(lines);

    int serverPort = 0;
    EXPECT_TRUE(listening && std::sscanf(line, "listening 127.0.0.1:%d", &serverPort) == 1) << line;
    if (serverPort > 0) {
        httplib::SSLClient client("127.0.0.1", serverPort);
        client.set_ca_cert_path((dir + "/ca.pem").c_str());
        client.enable_server_certificate_verification(true);
        client.set_connection_timeout(10);
        for (const char* path : {"/_test/accounts", "/_test/info", "/_test/signals"}) {
            const auto answer = client.Get(path);
            ASSERT_TRUE(answer) << path;
            EXPECT_EQ(answer->status, 404) << path;
            EXPECT_EQ(answer->body.find("password"), std::string::npos) << path;
        }
        const auto reset = client.Post("/_test/reset", "", "application/json");
        ASSERT_TRUE(reset);
        EXPECT_EQ(reset->status, 404);
        const auto manifest = client.Get("/download/bm/version_mac_bm.json");
        ASSERT_TRUE(manifest);
        EXPECT_EQ(manifest->status, 200) << "the rest is served as always";
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(dir);
}

}  // namespace
