// The server's REST side: what it answers, and the state it keeps between
// requests. Each test walks a table of requests with their expected codes.

#include "LocalServer.h"
#include "ServerTestSupport.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <ctime>
#include <limits>
#include <memory>
#include <sstream>

namespace {

using velto::test::LocalServer;
using velto::test::Login;
using velto::test::Rest;
using velto::test::login;

std::string localDay(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string reservation(std::int64_t startMs, const std::string& userId, const std::string& id = "",
                        const std::string& title = "Planning")
{
    Json::Value body;
    body["title"] = title;
    body["startTime"] = Json::Int64(startMs);
    body["lengthTime"] = 1800u;
    body["number"] = 1;
    body["meetPassword"] = "5555";
    body["ownerPassword"] = "7777";
    body["cycle"] = 0u;
    body["cycleDmy"] = 0u;
    body["cycleStart"] = 0u;
    body["cycleEndDay"] = Json::Int64(0);
    body["domain"] = "127.0.0.1";
    body["autoRecord"] = "CRAC";
    body["mConferenceId"] = id;
    body["mConferenceUsers"][0]["mUserId"] = userId;
    return Json::writeString(Json::StreamWriterBuilder(), body);
}

TEST(ServerRoutes, LoginAndKeepAlive)
{
    LocalServer server;
    Rest rest(server);
    rest.expect({
        {"GET", "/clientApi/loginClient?username=demo&password=demo1234&clientType=pc-win&domain=", "", 200},
        {"GET", "/clientApi/loginClient?username=demo&password=wrong&clientType=pc-win&domain=", "", 601},
        {"GET", "/clientApi/loginClient?username=nobody&password=demo1234&clientType=pc-win&domain=", "", 601},
        {"GET", "/clientApi/loginClient?username=&password=demo1234&clientType=pc-win&domain=", "", 106},
        {"GET", "/clientApi/loginClient?username=demo&password=&clientType=pc-win&domain=", "", 107},
        {"GET", "/clientApi/loginClient?username=demo&password=demo1234", "", 110},
        {"GET", "/clientApi/loginClientAnonymous?nickname=John%20Smith&password=&clientType=pc-win", "", 200},
        {"GET", "/clientApi/loginClientAnonymous?nickname=&password=&clientType=pc-win", "", 108},
        {"GET", "/clientApi/noSuchRoute", "", 500},
    });

    const Json::Value obj = rest.call("GET", "/clientApi/loginClient?username=demo&password=demo1234"
                                             "&clientType=pc-win&domain=")["obj"];
    EXPECT_EQ(obj["mUserId"].asString(), server.demoAccount().userId);
    EXPECT_EQ(obj["cNumber"].asString(), server.demoAccount().room);
    EXPECT_EQ(obj["messageServer"].asString(), server.messageServer());
    EXPECT_EQ(obj["messageServerPort"].asString(), server.messageServerPort());
    ASSERT_EQ(obj["turn"]["iceServers"].size(), 2u);
    for (const Json::Value& ice : obj["turn"]["iceServers"])
        EXPECT_NE(ice["url"].asString().find("127.0.0.1"), std::string::npos);

    const std::string keepAlive = "/clientApi/keepAlive/" + obj["mUserId"].asString() + "/";
    rest.expect({
        {"GET", keepAlive + obj["endpoint"].asString() + "/" + obj["currentTimeMillis"].asString(), "", 200},
        {"GET", keepAlive + obj["endpoint"].asString() + "/1", "", 119},
        {"GET", keepAlive + "unknown/" + obj["currentTimeMillis"].asString(), "", 605},
    });
    EXPECT_EQ(server.keepAliveCount(), 3);
}

TEST(ServerRoutes, InstantMeetingAndItsControls)
{
    LocalServer server;
    Rest rest(server);
    const auto demoAccount = server.demoAccount();
    const Login demo = login(rest, demoAccount);
    const Login alice = login(rest, server.account("alice"));
    const Login bob = login(rest, server.account("bob"));
    const std::string room = demoAccount.room;

    const Json::Value created = rest.call("GET", "/clientApi/createOrJoinConference?j=" + demo.jid);
    ASSERT_EQ(created["code"].asInt(), 200) << created;
    EXPECT_EQ(created["obj"]["r"].asString(), room);
    EXPECT_EQ(created["obj"]["moderatorJid"].asString(), demo.jid);
    EXPECT_EQ(created["obj"]["rbwc"].size(), 3u);

    const std::string join = "/clientApi/createOrJoinConference?r=" + room + "&j=";
    const std::string lock = "/conference/lock?r=" + room + "&i=";
    const std::string extend = "/clientApi/conferences/extend/" + room + "?userId=";
    const std::string phone = "/clientApi/phone/13900000000?roomNumber=" + room + "&userJid=" + demo.jid;
    rest.expect({
        {"GET", join + alice.jid + "&p=wrong", "", 406},
        {"GET", join + alice.jid + "&p=" + demoAccount.meetPassword, "", 200},
        {"GET", join + bob.jid + "&op=wrong", "", 703},
        {"GET", lock + alice.id + "&l=true", "", 507},
        {"GET", lock + demo.id + "&l=maybe", "", 118},
        {"GET", lock + demo.id + "&l=true", "", 200},
        {"GET", join + bob.jid + "&p=" + demoAccount.meetPassword, "", 403},
        {"GET", lock + demo.id + "&l=false", "", 200},
        {"GET", join + bob.jid + "&p=" + demoAccount.meetPassword, "", 200},
        // The extend route and the detail route have the same shape.
        {"GET", extend + demo.id + "&lengthTime=30", "", 200},
        {"GET", extend + demo.id + "&lengthTime=61", "", 124},
        {"GET", extend + alice.id + "&lengthTime=30", "", 507},
        {"GET", "/clientApi/stage/" + room + "?userJid=" + demo.jid + "&stageJid=" + alice.jid + "&screen=true", "", 200},
        {"GET", "/clientApi/splitScreen/" + room + "?userJid=" + demo.jid + "&splitScreen=5", "", 200},
        {"GET", "/clientApi/selectParticipants/" + room + "?userJid=" + demo.jid + "&participants=", "", 417},
        {"GET", "/clientApi/selectParticipants/" + room + "?userJid=" + demo.jid + "&participants=a,b", "", 200},
        {"GET", "/clientApi/handsUp/apply/" + room + "?userJid=" + alice.jid + "&nickname=", "", 200},
        {"GET", "/clientApi/handsUp/agree/" + room + "?userJid=" + alice.jid, "", 200},
        {"GET", "/clientApi/handsUp/wave/" + room + "?userJid=" + alice.jid, "", 500},
        {"GET", "/clientApi/conference/resources?roomNumber=" + room + "&userJid=" + demo.jid, "", 200},
        {"GET", "/clientApi/record/call/" + demo.id + "/" + room + "?userId=" + demo.id + "&rule=recording&roomPassword=" +
                    demoAccount.meetPassword + "&userJid=" + demo.jid + "&record=recorder",
         "", 200},
        {"GET", "/clientApi/record/call/" + demo.id + "/" + room + "?userId=" + demo.id + "&rule=recording&roomPassword=" +
                    demoAccount.meetPassword + "&userJid=" + demo.jid + "&record=recorder",
         "", 512},
        {"GET", "/clientApi/record/close/" + demo.id + "/" + room + "?recordJid=r@x&userJid=" + demo.jid, "", 200},
        {"GET", "/clientApi/record/close/" + demo.id + "/" + room + "?recordJid=r@x&userJid=" + demo.jid, "", 502},
        {"GET", "/clientApi/records/" + demo.id, "", 200},
        {"GET", phone, "", 200},
        {"GET", "/clientApi/phone/12ab?roomNumber=" + room + "&userJid=" + demo.jid, "", 511},
        {"GET", "/user/grantAdmin?r=" + room + "&j=" + alice.jid + "&i=" + alice.id, "", 507},
        {"GET", "/user/grantAdmin?r=" + room + "&j=" + alice.jid + "&i=" + demo.id, "", 200},
        {"GET", lock + alice.id + "&l=true", "", 200},
        {"GET", "/user/getModerator?r=" + room + "&j=" + bob.jid + "&p=wrong", "", 703},
        {"GET", "/user/getModerator?r=" + room + "&j=" + bob.jid + "&p=" + demoAccount.ownerPassword, "", 200},
        {"GET", lock + bob.id + "&l=false", "", 200},
    });

    const Json::Value target = rest.call("GET", phone)["obj"];
    EXPECT_TRUE(target.isString() && !target.asString().empty()) << target;
    server.setNoCredit(true);
    rest.expect({{"GET", phone, "", 301}});
    server.setNoCredit(false);
    rest.expect({{"GET", phone, "", 200}});

    // The personal room's detail, through the route that "extend" must not shadow.
    const Json::Value list = rest.call("GET", "/clientApi/conferences/" + demo.id + "?count=0&page=1&type=CTF1");
    ASSERT_EQ(list["obj"].size(), 1u) << list;
    EXPECT_EQ(list["obj"][0]["status"].asString(), "MSD0");
    const std::string id = list["obj"][0]["mConferenceId"].asString();
    const Json::Value detail = rest.call("GET", "/clientApi/conferences/" + id + "/" + demo.id);
    EXPECT_EQ(detail["obj"]["mConferenceId"].asString(), id);
    EXPECT_EQ(detail["obj"]["lengthTime"].asUInt(), 30u * 60);
}

TEST(ServerRoutes, ReservationsAreBookedListedChangedAndDeleted)
{
    LocalServer server;
    Rest rest(server);
    const Login demo = login(rest, server.demoAccount());
    const Login alice = login(rest, server.account("alice"));
    const std::string upperId = [&] {
        std::string text = demo.id;
        for (char& c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }();
    const std::int64_t soon = nowMs() + 5 * 60 * 1000;
    const std::int64_t later = nowMs() + 3 * 24 * 3600 * 1000LL;
    const std::string book = "/clientApi/conferences/" + upperId;

    const Json::Value booked = rest.call("POST", book, reservation(soon, upperId));
    ASSERT_EQ(booked["code"].asInt(), 200) << booked;
    const std::string id = booked["obj"]["mConferenceId"].asString();
    const std::string number = booked["obj"]["cNumber"].asString();
    const std::string farId = rest.call("POST", book, reservation(later, upperId))["obj"]["mConferenceId"].asString();

    Json::Value tooMany;
    std::istringstream text(reservation(soon, upperId));
    text >> tooMany;
    tooMany["videoNum"] = 10;
    Json::Value noUsers = tooMany;
    noUsers.removeMember("mConferenceUsers");
    rest.expect({
        {"POST", book, reservation(nowMs() - 3600 * 1000, upperId), 414},
        {"POST", book, reservation(std::numeric_limits<std::int64_t>::max(), upperId), 129},
        {"POST", book, reservation(-1, upperId), 129},
        {"POST", book, Json::writeString(Json::StreamWriterBuilder(), tooMany), 139},
        {"POST", book, Json::writeString(Json::StreamWriterBuilder(), noUsers), 417},
        {"POST", book, "{not json", 500},
        {"POST", book, reservation(soon, upperId, id, "Planning, moved"), 200},
        {"POST", book, reservation(soon, upperId, "unknown"), 401},
        {"GET", "/clientApi/conferences/" + demo.id + "?count=x&page=1", "", 126},
        {"GET", "/clientApi/conferences/" + demo.id + "?count=0&page=1&date=2024-02-30", "", 129},
    });

    const auto listed = [&](const std::string& query) {
        const Json::Value answer = rest.call("GET", "/clientApi/conferences/" + demo.id + "?" + query);
        std::vector<std::string> ids;
        for (const Json::Value& meeting : answer["obj"])
            ids.push_back(meeting["mConferenceId"].asString());
        EXPECT_EQ(answer["msg"].asString(), std::to_string(answer["obj"].size())) << query;
        return ids;
    };
    using Ids = std::vector<std::string>;
    const std::string soonDay = localDay(soon);
    EXPECT_EQ(listed("count=0&page=1&type=CTA0&date=" + soonDay + "&search=moved"), Ids{id});
    EXPECT_EQ(listed("count=0&page=1&type=CTA0&date=" + localDay(later) + "&search=Planning"), Ids{farId});
    EXPECT_EQ(listed("count=0&page=1&type=CTA0&date=" + soonDay + "&status=MSA0&search=Planning"), (Ids{id, farId}));
    EXPECT_EQ(listed("count=0&page=1&type=CTA0&date=" + localDay(later) + "&status=MSA0&search=Planning"), Ids{farId});
    const Json::Value paged = rest.call("GET", "/clientApi/conferences/" + demo.id +
                                                   "?count=1&page=2&type=CTA0&status=MSA0&search=Planning");
    EXPECT_EQ(paged["msg"].asString(), "2");
    ASSERT_EQ(paged["obj"].size(), 1u);
    EXPECT_EQ(paged["obj"][0]["mConferenceId"].asString(), farId);

    // Only the owner sees the moderator password.
    EXPECT_EQ(rest.call("GET", "/clientApi/conferences/" + id + "/" + demo.id)["obj"]["ownerPassword"].asString(), "7777");
    EXPECT_EQ(rest.call("GET", "/clientApi/conferences/" + id + "/" + alice.id)["obj"]["ownerPassword"].asString(), "");

    const std::string join = "/clientApi/createOrJoinConference?j=";
    rest.expect({
        {"GET", join + alice.jid + "&r=" + number + "&p=5555", "", 200},
        {"GET", join + alice.jid + "&r=" + rest.call("GET", "/clientApi/conferences/" + farId + "/" + demo.id)["obj"]["cNumber"].asString() + "&p=5555", "", 424},
        {"DELETE", "/clientApi/conferences/" + id + "/" + demo.id, "", 426},
        {"DELETE", "/clientApi/conferences/" + farId + "/" + alice.id, "", 606},
        {"DELETE", "/clientApi/conferences/" + farId + "/" + demo.id, "", 200},
        {"GET", "/clientApi/conferences/" + farId + "/" + demo.id, "", 401},
        {"DELETE", "/clientApi/conferences/" + farId + "/" + demo.id, "", 401},
    });
}

TEST(ServerRoutes, ContactsAndPersonalPasswordsUntilReset)
{
    LocalServer server;
    Rest rest(server);
    const auto demoAccount = server.demoAccount();
    const std::string demo = demoAccount.userId;
    const std::string bob = server.account("bob").userId;
    const std::string alice = server.account("alice").userId;

    const auto friendIds = [&](const std::string& target) {
        const Json::Value answer = rest.call("GET", target);
        std::vector<std::string> ids;
        for (const Json::Value& contact : answer["obj"])
            ids.push_back(contact["mUserId"].asString());
        return ids;
    };
    using Ids = std::vector<std::string>;
    EXPECT_EQ(friendIds("/clientApi/friends/" + alice), Ids{demo});
    EXPECT_EQ(friendIds("/clientApi/selectFriends/" + alice + "?search=MARTIN"), Ids{bob});
    EXPECT_EQ(friendIds("/clientApi/selectFriends/" + alice + "?search=").size(), 3u);

    const std::string users = "/clientApi/users";
    rest.expect({
        {"POST", "/clientApi/friends/" + alice + "/" + bob, R"({"nickname":"Bobby"})", 200},
        {"POST", "/clientApi/friends/" + alice + "/" + bob, R"({"nick":"x"})", 131},
        {"POST", "/clientApi/friends/" + alice + "/nobody", R"({"nickname":""})", 603},
        {"POST", "/clientApi/friends/" + alice + "/", R"({"nickname":""})", 130},
        {"DELETE", "/clientApi/friends/" + alice + "/" + demo, "", 200},
        {"DELETE", "/clientApi/friends/" + alice + "/" + demo, "", 603},
        {"PUT", users, R"({"mUserId":")" + demo + R"(","meetPassword":"","ownerPassword":"999"})", 200},
        {"PUT", users, R"({"mUserId":")" + demo + R"(","meetPassword":"1"})", 115},
        {"PUT", users, R"({"meetPassword":"1","ownerPassword":"2"})", 101},
        {"GET", "/clientApi/users/unknown", "", 603},
    });
    const Json::Value contacts = rest.call("GET", "/clientApi/friends/" + alice)["obj"];
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0]["nickName"].asString(), "Bobby");
    const Json::Value changed = rest.call("GET", "/clientApi/users/" + demo)["obj"];
    EXPECT_EQ(changed["meetPassword"].asString(), "");
    EXPECT_EQ(changed["ownerPassword"].asString(), "999");
    EXPECT_EQ(changed["loginPassword"].asString(), "");

    server.reset();
    EXPECT_EQ(friendIds("/clientApi/friends/" + alice), Ids{demo});
    const Json::Value restored = rest.call("GET", "/clientApi/users/" + demo)["obj"];
    EXPECT_EQ(restored["meetPassword"].asString(), demoAccount.meetPassword);
    EXPECT_EQ(restored["ownerPassword"].asString(), demoAccount.ownerPassword);
}

}  // namespace
