// Two scripted peers on "machines" of the test's own (network namespaces):
// both on the server's link, or one on the server's LAN and one at home
// behind a NAT router. They see each other through the unit's checks; with
// UDP blocked at home, through a TURN server over TCP or over TLS (only when
// its certificate is trusted); each peer's statistics name the path its
// media took. A member on a lossy link keeps its media through loss and a
// short outage, and learns once that it lost it when its link is cut for
// good.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "JsonFile.h"
#include "LocalServer.h"
#include "MediaFiles.h"
#include "MediaTestSupport.h"
#include "NetworkLab.h"
#include "PeerProcess.h"
#include "TestCertificates.h"

namespace velto::test {
namespace {

constexpr auto kMeeting = 5s;
constexpr int kWidth = 320;
constexpr int kHeight = 180;

// Counts UDP datagrams to or from 127.0.0.0/8 in `ns` from now on (rules
// without a target only count).
void countLoopbackDatagrams(NetworkLab& lab, const std::string& ns)
{
    for (const char* direction : {"-s", "-d"})
        lab.run(ns, {"iptables", "-A", "OUTPUT", "-o", "lo", "-p", "udp", direction, "127.0.0.0/8"});
}

// What those rules counted so far.
long loopbackDatagrams(NetworkLab& lab, const std::string& ns)
{
    std::istringstream rules(lab.run(ns, {"iptables", "-L", "OUTPUT", "-v", "-x", "-n"}));
    long datagrams = 0;
    for (std::string line; std::getline(rules, line);) {
        if (line.find("127.0.0.0/8") == std::string::npos)
            continue;
        long packets = 0;
        std::istringstream(line) >> packets;
        datagrams += packets;
    }
    return datagrams;
}

// How close the newest picture a peer kept (of the one stream it receives)
// came to `sent`; 0 when it kept none.
double newestPictureMatch(const std::string& frames, const Picture& sent)
{
    const std::vector<std::string> files = filesStartingWith(frames, "");
    if (files.empty())
        return 0;
    const Picture got = readPng(files.back());
    return got.width == sent.width && got.height == sent.height ? media_test::psnr(got.argb, sent.argb) : 0;
}

TEST(PeerNetworkTest, TwoMachinesOnOneLinkSeeEachOthersPicturesAndNoDatagramUsesLoopback)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    // server 192.0.2.1 (a peer runs there too) -- other 192.0.2.2
    NetworkLab lab;
    const std::string serverMachine = lab.add("server"), other = lab.add("other");
    lab.link(serverMachine, "192.0.2.1/24", other, "192.0.2.2/24");
    const std::string dir = freshTestDirectory("peer_network_link");
    const std::string machines[] = {serverMachine, other};
    const char* names[] = {"server", "other"};
    Picture sent[2];
    for (int i = 0; i < 2; ++i) {
        sent[i] = {kWidth, kHeight, media_test::testPicture(kWidth, kHeight, 70 * i)};
        ASSERT_TRUE(writePng(dir + "/" + names[i] + ".png", sent[i]));
        std::filesystem::create_directories(dir + "/" + names[i] + "-frames");
        countLoopbackDatagrams(lab, machines[i]);
    }

    LocalServer::Options options;
    options.networkNamespace = serverMachine;
    options.listen = "192.0.2.1";
    double seen[2] = {0, 0};
    {
        NetworkLab::Inside onTheOther(other);
        LocalServer server(options);
        server.setCaBundleEnv();
        const Account demo = server.account("alice");
        const Account accounts[] = {demo, server.account("bob")};
        std::unique_ptr<PeerProcess> peers[2];
        for (int i = 0; i < 2; ++i) {
            std::optional<NetworkLab::Inside> there;
            if (i == 0)
                there.emplace(machines[i]);
            peers[i] = std::make_unique<PeerProcess>(
                server.host(), accounts[i], demo.room, demo.meetPassword,
                std::vector<std::string>{"--camera-image", dir + "/" + names[i] + ".png", "--dump-frames",
                                         dir + "/" + names[i] + "-frames", "--stats", dir + "/" + names[i] + ".json"});
        }
        for (int i = 0; i < 2; ++i)
            ASSERT_EQ(peers[i]->waitFor("result join ", 20s), "result join 0") << names[i];
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while ((seen[0] <= 30 || seen[1] <= 30) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(200ms);
            for (int i = 0; i < 2; ++i)
                seen[i] = newestPictureMatch(dir + "/" + names[i] + "-frames", sent[1 - i]);
        }
    }  // both quit, and leave

    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_GT(seen[i], 30) << "dB: the other's picture crossed";
        const Json::Value stats = readJsonFile(dir + "/" + names[i] + ".json");
        EXPECT_EQ(stats["ice"]["local"].asString(), "host") << stats["ice"];
        EXPECT_EQ(stats["ice"]["remote"].asString(), "host") << stats["ice"];
        EXPECT_EQ(loopbackDatagrams(lab, machines[i]), 0) << "UDP datagrams over 127.0.0.0/8";
    }
    std::filesystem::remove_all(dir);
}

// server 192.0.2.1 -- lan 192.0.2.2; server 198.51.100.1 -- router 198.51.100.2;
// router 203.0.113.1 -- home 203.0.113.2 (the router masquerades home).
struct NatMachines {
    std::string server, lan, router, home;
};

NatMachines behindANat(NetworkLab& lab, bool udpBlockedAtHome)
{
    NatMachines m{lab.add("server"), lab.add("lan"), lab.add("router"), lab.add("home")};
    lab.link(m.server, "192.0.2.1/24", m.lan, "192.0.2.2/24");
    const auto outside = lab.link(m.router, "198.51.100.2/24", m.server, "198.51.100.1/24");
    lab.link(m.home, "203.0.113.2/24", m.router, "203.0.113.1/24");
    lab.route(m.home, "203.0.113.1");
    lab.route(m.router, "198.51.100.1");
    lab.masquerade(m.router, outside.first);
    if (udpBlockedAtHome)
        lab.dropUdp(m.home);
    return m;
}

// The server's demo account (on the LAN) and "bob" (at home) meet for
// kMeeting; each writes its statistics into DIR/lan.json or DIR/home.json,
// and the one at home its error output into DIR/home.log. The exit status of
// each.
std::pair<int, int> meetLanAndHome(LocalServer& server, const std::string& home, const std::string& dir)
{
    const Account demo = server.account("alice");
    PeerProcess host(server.host(), demo, demo.room, demo.meetPassword, {"--stats", dir + "/lan.json"});
    EXPECT_EQ(host.waitFor("result join "), "result join 0");
    std::unique_ptr<PeerProcess> guest;
    {
        NetworkLab::Inside atHome(home);
        guest = std::make_unique<PeerProcess>(server.host(), server.account("bob"), demo.room, demo.meetPassword,
                                              std::vector<std::string>{"--stats", dir + "/home.json"},
                                              dir + "/home.log");
    }
    EXPECT_EQ(guest->waitFor("result join ", 20s), "result join 0");
    std::this_thread::sleep_for(kMeeting);
    const int guestStatus = guest->quit();
    return {host.quit(), guestStatus};
}

struct Expected {
    const char* machine;
    const char* local;
    const char* transport;
};

// Both saw the other's camera, over the path `expected` names for each.
void expectMet(const std::string& dir, const Expected (&expected)[2])
{
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.machine);
        const Json::Value stats = readJsonFile(dir + "/" + e.machine + ".json");
        ASSERT_TRUE(stats["streams"].isArray()) << stats;
        unsigned int pictures = 0;
        for (const Json::Value& s : stats["streams"])
            if (s["kind"].asString() == "video")
                pictures += s["frames_decoded"].asUInt();
        EXPECT_GT(pictures, 10u) << "the other's camera crossed";
        EXPECT_EQ(stats["ice"]["local"].asString(), e.local) << stats["ice"];
        EXPECT_EQ(stats["ice"]["transport"].asString(), e.transport) << stats["ice"];
        EXPECT_EQ(stats["ice"]["remote"].asString(), "host") << stats["ice"];
    }
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(PeerNetworkTest, PeersOnTheLanAndBehindANatSeeEachOtherDirectlyOrThroughTurnOverTcp)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    struct Case {
        const char* name;
        bool udpBlockedAtHome;
        const char* homeLocal;
        const char* homeTransport;
    };
    const Case cases[] = {
        {"behind a NAT", false, "prflx", "udp"},  // the unit saw the router's address
        {"behind a NAT that lets no UDP out", true, "relay", "tcp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkLab lab;
        const NatMachines m = behindANat(lab, c.udpBlockedAtHome);
        const std::string dir = freshTestDirectory("peer_network");
        lab.startTurnServer(m.server, "198.51.100.1", 3479, "u", "p", dir);

        LocalServer::Options options;
        options.networkNamespace = m.server;
        options.listen = "192.0.2.1";
        options.iceServers = {"turn:198.51.100.1:3479?transport=tcp,u,p"};
        NetworkLab::Inside onTheLan(m.lan);
        LocalServer server(options);
        server.setCaBundleEnv();
        meetLanAndHome(server, m.home, dir);  // both quit, and leave
        expectMet(dir, {{"lan", "host", "udp"}, {"home", c.homeLocal, c.homeTransport}});
        std::filesystem::remove_all(dir);
    }
}

TEST(PeerNetworkTest, BehindANatThroughTurnOverTlsOnlyWithACertificateItTrusts)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    struct Case {
        const char* name;
        TestCa::Issuer issuer;
        const char* names;  // what the TURN server's certificate names
        bool udpBlockedAtHome;
        const char* homeLocal;
        const char* homeTransport;
    };
    const Case cases[] = {
        {"trusted, no UDP out", TestCa::ThisCa, "198.51.100.1", true, "relay", "tls"},
        // Refused: the relay gives nothing, the path the unit saw still works.
        {"self-signed", TestCa::SelfSigned, "198.51.100.1", false, "prflx", "udp"},
        {"of another address", TestCa::ThisCa, "198.51.100.9", false, "prflx", "udp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkLab lab;
        const NatMachines m = behindANat(lab, c.udpBlockedAtHome);
        const std::string dir = freshTestDirectory("peer_network_tls");
        TestCa ca(dir);
        const TestCa::Files certificate = ca.issue("turn", {c.names}, c.issuer);
        lab.startTurnServer(m.server, "198.51.100.1", 3479, "u", "p", dir,
                            TurnTls{5349, certificate.certificate, certificate.key});

        LocalServer::Options options;
        options.networkNamespace = m.server;
        options.listen = "192.0.2.1";
        options.iceServers = {"turns:198.51.100.1:5349?transport=tcp,u,p"};
        NetworkLab::Inside onTheLan(m.lan);
        LocalServer server(options);
        // The peers trust the server's CA and the TURN server's.
        {
            std::ofstream bundle(dir + "/bundle.pem");
            bundle << fileText(server.caFile()) << fileText(ca.caFile());
        }
        setenv("VELTO_CA_BUNDLE", (dir + "/bundle.pem").c_str(), 1);
        const auto [lanStatus, homeStatus] = meetLanAndHome(server, m.home, dir);
        EXPECT_EQ(lanStatus, 0);
        EXPECT_EQ(homeStatus, 0);
        expectMet(dir, {{"lan", "host", "udp"}, {"home", c.homeLocal, c.homeTransport}});

        const std::string log = fileText(dir + "/home.log");
        const bool refused = c.homeTransport != std::string("tls");
        EXPECT_EQ(log.find("TURN server 198.51.100.1:5349 over TLS left out: its certificate was refused (") !=
                      std::string::npos,
                  refused)
            << log;
        EXPECT_EQ(log.find("\"p\""), std::string::npos) << log;
        const std::string turnLog = fileText(dir + "/turnserver.log");
        EXPECT_EQ(turnLog.find("ALLOCATE processed, success") != std::string::npos, !refused) << turnLog;
        std::filesystem::remove_all(dir);
    }
}

TEST(PeerNetworkTest, AMemberOnALossyLinkKeepsItsMediaThroughOutagesAndLearnsOnceWhenItIsCutOff)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    // server 192.0.2.1 (the sender runs there) -- member 192.0.2.2.
    NetworkLab lab;
    const std::string serverMachine = lab.add("server"), member = lab.add("member");
    lab.link(serverMachine, "192.0.2.1/24", member, "192.0.2.2/24");
    const std::string dir = freshTestDirectory("peer_network_loss");
    const std::string frames = dir + "/frames";
    std::filesystem::create_directories(frames);
    const Picture sent{kWidth, kHeight, media_test::testPicture(kWidth, kHeight, 0)};
    ASSERT_TRUE(writePng(dir + "/sent.png", sent));

    LocalServer::Options options;
    options.networkNamespace = serverMachine;
    options.listen = "192.0.2.1";
    NetworkLab::Inside atTheMember(member);
    LocalServer server(options);
    server.setCaBundleEnv();
    const Account demo = server.account("alice");
    std::unique_ptr<PeerProcess> sender;
    {
        NetworkLab::Inside there(serverMachine);
        sender = std::make_unique<PeerProcess>(server.host(), demo, demo.room, demo.meetPassword,
                                               std::vector<std::string>{"--camera-image", dir + "/sent.png"});
    }
    const std::string memberLog = dir + "/member.log";
    PeerProcess receiver(server.host(), server.account("bob"), demo.room, demo.meetPassword,
                         {"--receive-only", "--dump-frames", frames}, memberLog);
    ASSERT_EQ(sender->waitFor("result join ", 20s), "result join 0");
    ASSERT_EQ(receiver.waitFor("result join ", 20s), "result join 0");
    const auto pictures = [&] { return filesStartingWith(frames, "").size(); };
    const auto logged = [&](const std::string& text, std::chrono::seconds timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (fileText(memberLog).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(100ms);
        }
        return true;
    };
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (pictures() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(200ms);
    ASSERT_GT(pictures(), 0u) << "the sender's camera crossed the link";

    // The link loses a fifth of the datagrams each way from now on (a join
    // over it may fail: libnice gives the first check four tries). Loss,
    // then 15 s without any datagram (consent lasts 30 s without an answer),
    // then loss again: the picture keeps coming.
    for (const std::string& end : {serverMachine, member})
        lab.loseUdp(end, 0.2);
    std::this_thread::sleep_for(15s);
    for (const bool cut : {true, false}) {
        for (const std::string& end : {serverMachine, member})
            lab.cutUdp(end, cut);
        if (cut)
            std::this_thread::sleep_for(15s);
    }
    std::this_thread::sleep_for(5s);
    const size_t before = pictures();
    std::this_thread::sleep_for(10s);
    EXPECT_GT(pictures(), before + 3) << "pictures a second came after the outage";

    // The link heals. A consent check goes out about every 5 s; only the ones
    // answered after the outage keep the pair from here on: one left over
    // from before it would run out (50 s after its answer) within these 25 s.
    // On the lossy link a check is answered only two times in three, so the
    // last answer before a cut there could lie 20 s back and more.
    for (const std::string& end : {serverMachine, member})
        lab.loseUdp(end, 0.2, false);
    std::this_thread::sleep_for(25s);
    EXPECT_EQ(receiver.count("event onNetworkError"), 0u) << "the media connection held";

    // An outage longer than consent lasts: the member stops sending on its
    // pair and checks its candidates again; the link is back by then, and
    // the media goes on.
    for (const std::string& end : {serverMachine, member})
        lab.cutUdp(end, true);
    ASSERT_TRUE(logged("pair lost consent: its candidates are checked again", 75s)) << fileText(memberLog);
    for (const std::string& end : {serverMachine, member})
        lab.cutUdp(end, false);
    EXPECT_TRUE(logged("candidates answered again", 5s)) << fileText(memberLog);
    std::this_thread::sleep_for(3s);
    const size_t resumed = pictures();
    std::this_thread::sleep_for(5s);
    EXPECT_GT(pictures(), resumed + 3) << "pictures a second came after the recheck";
    EXPECT_EQ(receiver.count("event onNetworkError"), 0u) << "the media connection came back";

    // Cut off for good, soon after: lost, said once, and not before consent
    // ran out (a lapse so soon after the last is not checked again).
    const auto cut = std::chrono::steady_clock::now();
    for (const std::string& end : {serverMachine, member})
        lab.cutUdp(end, true);
    EXPECT_EQ(receiver.waitFor("event onNetworkError", 75s), "event onNetworkError");
    const auto lost = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - cut);
    EXPECT_GE(lost.count(), 30) << "s until the loss was reported";
    std::cout << "media connection reported lost " << lost.count() << " s after the cut" << std::endl;
    std::this_thread::sleep_for(5s);
    EXPECT_EQ(receiver.count("event onNetworkError"), 1u);
    EXPECT_EQ(fileText(memberLog).find("checked again", fileText(memberLog).find("answered again")),
              std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velto::test
