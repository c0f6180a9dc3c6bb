// A running meeting's end as its participants see it: warnings 15, 10 and 5
// minutes before, then "closed" and the kick-out. The server's clock is moved
// ahead instead of waiting.

#include "LocalServer.h"
#include "ServerTestSupport.h"
#include "SignalClient.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <functional>

namespace {

using namespace std::chrono_literals;
using velto::test::Account;
using velto::test::LocalServer;
using velto::test::Rest;
using velto::test::SignalClient;

// A personal room runs this long from its first join.
constexpr std::chrono::minutes kPersonalRoomRun{120};

// The end of meeting messages in a batch, as "control VALUE" or "kickout".
std::vector<std::string> endMessages(const std::vector<Json::Value>& batch)
{
    std::vector<std::string> lines;
    for (const Json::Value& m : batch) {
        if (m["type"] == "control" && (m["control"] == "toClose" || m["control"] == "closed"))
            lines.push_back(m["control"].asString() + " " + m["value"].asString());
        else if (m["type"] == "kickout")
            lines.push_back("kickout");
    }
    return lines;
}

TEST(MeetingEnd, WarnsFifteenTenAndFiveMinutesBeforeThenClosesAndKicksOut)
{
    LocalServer server;
    server.setCaBundleEnv();
    const Account owner = server.demoAccount();
    SignalClient demo(server, owner);
    SignalClient alice(server, server.account("alice"));
    ASSERT_TRUE(demo.connect());
    ASSERT_TRUE(alice.connect());
    ASSERT_TRUE(demo.join(owner.room));
    ASSERT_TRUE(alice.join(owner.room, owner.meetPassword));
    demo.drain();
    alice.drain();

    // The run began a moment ago: moving the clock to `left` minutes before
    // its planned end leaves a moment less.
    std::chrono::minutes run = kPersonalRoomRun;
    std::chrono::minutes moved{0};
    const auto leave = [&](std::chrono::minutes left) {
        server.advanceClock(run - left - moved);
        moved = run - left;
    };
    Rest rest(server);
    struct Step {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> seen;
    };
    const Step steps[] = {
        {"16 minutes left", [&] { leave(16min); }, {}},
        {"15 minutes left", [&] { leave(15min); }, {"toClose 15"}},
        {"11 minutes left", [&] { leave(11min); }, {}},
        {"10 minutes left", [&] { leave(10min); }, {"toClose 10"}},
        {"5 minutes left", [&] { leave(5min); }, {"toClose 5"}},
        {"1 minute left", [&] { leave(1min); }, {}},
        // 15 minutes left again: the warnings start over.
        {"extended by 14 minutes",
         [&] {
             EXPECT_EQ(rest.call("GET",
                                 "/clientApi/conferences/extend/" + owner.room + "?userId=" + owner.userId +
                                     "&lengthTime=14",
                                 "", demo.login().token)["code"]
                           .asInt(),
                       200);
             run += 14min;
             server.advanceClock(0ms);
         },
         {"toClose 15"}},
        // A warning passed over is not sent late.
        {"3 minutes left", [&] { leave(3min); }, {"toClose 5"}},
        {"at the new end", [&] { leave(0min); }, {"closed true", "kickout"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(endMessages(demo.drain()), step.seen);
        EXPECT_EQ(endMessages(alice.drain()), step.seen);
    }
    EXPECT_TRUE(server.signalRoom(owner.room).empty());
    EXPECT_FALSE(demo.closed()) << "the connections stay";
}

}  // namespace
