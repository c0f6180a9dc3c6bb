// Two scripted peers on "machines" of the test's own (network namespaces):
// one on the server's LAN, one at home behind a NAT router. They see each
// other through the unit's checks; with UDP blocked at home, through a TURN
// server over TCP; each peer's statistics name the path its media took.
#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <string>

#include "JsonFile.h"
#include "LocalServer.h"
#include "MediaFiles.h"
#include "NetworkLab.h"
#include "PeerProcess.h"

namespace velto::test {
namespace {

constexpr auto kMeeting = 5s;

struct Expected {
    const char* name;
    bool udpBlockedAtHome;
    const char* homeLocal;
    const char* homeTransport;
};

TEST(PeerNetworkTest, PeersOnTheLanAndBehindANatSeeEachOtherDirectlyOrThroughTurnOverTcp)
{
    if (const std::string why = NetworkLab::unavailable(); !why.empty())
        GTEST_SKIP() << why;
    const Expected cases[] = {
        {"behind a NAT", false, "prflx", "udp"},  // the unit saw the router's address
        {"behind a NAT that lets no UDP out", true, "relay", "tcp"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.name);
        // server 192.0.2.1 -- lan 192.0.2.2; server 198.51.100.1 -- router 198.51.100.2;
        // router 203.0.113.1 -- home 203.0.113.2 (the router masquerades home).
        NetworkLab lab;
        const std::string serverMachine = lab.add("server"), lan = lab.add("lan"), router = lab.add("router"),
                          home = lab.add("home");
        lab.link(serverMachine, "192.0.2.1/24", lan, "192.0.2.2/24");
        const auto outside = lab.link(router, "198.51.100.2/24", serverMachine, "198.51.100.1/24");
        lab.link(home, "203.0.113.2/24", router, "203.0.113.1/24");
        lab.route(home, "203.0.113.1");
        lab.route(router, "198.51.100.1");
        lab.masquerade(router, outside.first);
        if (c.udpBlockedAtHome)
            lab.dropUdp(home);
        const std::string dir = freshTestDirectory("peer_network");
        lab.startTurnServer(serverMachine, "198.51.100.1", 3479, "u", "p", dir);

        LocalServer::Options options;
        options.networkNamespace = serverMachine;
        options.listen = "192.0.2.1";
        options.iceServers = {"turn:198.51.100.1:3479?transport=tcp,u,p"};
        NetworkLab::Inside onTheLan(lan);
        LocalServer server(options);
        server.setCaBundleEnv();
        const Account demo = server.account("alice");
        {
            PeerProcess host(server.host(), demo, demo.room, demo.meetPassword, {"--stats", dir + "/lan.json"});
            ASSERT_EQ(host.waitFor("result join "), "result join 0");
            std::unique_ptr<PeerProcess> guest;
            {
                NetworkLab::Inside atHome(home);
                guest = std::make_unique<PeerProcess>(server.host(), server.account("bob"), demo.room,
                                                      demo.meetPassword,
                                                      std::vector<std::string>{"--stats", dir + "/home.json"});
            }
            ASSERT_EQ(guest->waitFor("result join ", 20s), "result join 0");
            std::this_thread::sleep_for(kMeeting);
        }  // both quit, and leave

        for (const char* machine : {"lan", "home"}) {
            SCOPED_TRACE(machine);
            const Json::Value stats = readJsonFile(dir + "/" + machine + ".json");
            ASSERT_TRUE(stats["streams"].isArray()) << stats;
            unsigned int pictures = 0;
            for (const Json::Value& s : stats["streams"])
                if (s["kind"].asString() == "video")
                    pictures += s["frames_decoded"].asUInt();
            EXPECT_GT(pictures, 10u) << "the other's camera crossed";
            const bool atHome = std::string(machine) == "home";
            EXPECT_EQ(stats["ice"]["local"].asString(), atHome ? c.homeLocal : "host") << stats["ice"];
            EXPECT_EQ(stats["ice"]["transport"].asString(), atHome ? c.homeTransport : "udp") << stats["ice"];
            EXPECT_EQ(stats["ice"]["remote"].asString(), "host") << stats["ice"];
        }
        std::filesystem::remove_all(dir);
    }
}

}  // namespace
}  // namespace velto::test
