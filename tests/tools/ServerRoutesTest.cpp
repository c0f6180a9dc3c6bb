// The server's REST side: what it answers, and the state it keeps between
// requests. Each test walks a table of requests with their expected codes.

#include "LocalServer.h"
#include "ServerTestSupport.h"
#include "WsLink.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
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
    const std::string token = obj["accessToken"].asString();
    rest.expect({
        {"GET", keepAlive + obj["endpoint"].asString() + "/" + obj["currentTimeMillis"].asString(), "", 200, token},
        {"GET", keepAlive + obj["endpoint"].asString() + "/1", "", 119, token},
        {"GET", keepAlive + "unknown/" + obj["currentTimeMillis"].asString(), "", 605, token},
        // Only under the user's own login.
        {"GET", keepAlive + obj["endpoint"].asString() + "/" + obj["currentTimeMillis"].asString(), "", 606,
         login(rest, server.account("alice")).token},
        {"GET", keepAlive + obj["endpoint"].asString() + "/" + obj["currentTimeMillis"].asString(), "", 605},
        {"GET", keepAlive + obj["endpoint"].asString() + "/" + obj["currentTimeMillis"].asString(), "", 605,
         "0123456789abcdef0123456789abcdef"},
    });
    EXPECT_EQ(server.keepAliveCount(), 6);
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
    rest.as(demo);

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
        {"GET", join + alice.jid + "&p=wrong", "", 406, alice.token},
        {"GET", join + alice.jid + "&p=" + demoAccount.meetPassword, "", 200, alice.token},
        {"GET", join + bob.jid + "&op=wrong", "", 703, bob.token},
        {"GET", lock + alice.id + "&l=true", "", 507, alice.token},
        {"GET", lock + demo.id + "&l=maybe", "", 118},
        {"GET", lock + demo.id + "&l=true", "", 200},
        {"GET", join + bob.jid + "&p=" + demoAccount.meetPassword, "", 403, bob.token},
        {"GET", lock + demo.id + "&l=false", "", 200},
        {"GET", join + bob.jid + "&p=" + demoAccount.meetPassword, "", 200, bob.token},
        // The extend route and the detail route have the same shape.
        {"GET", extend + demo.id + "&lengthTime=30", "", 200},
        {"GET", extend + demo.id + "&lengthTime=61", "", 124},
        {"GET", extend + alice.id + "&lengthTime=30", "", 507, alice.token},
        {"GET", "/clientApi/stage/" + room + "?userJid=" + demo.jid + "&stageJid=" + alice.jid + "&screen=true", "", 200},
        {"GET", "/clientApi/splitScreen/" + room + "?userJid=" + demo.jid + "&splitScreen=5", "", 200},
        {"GET", "/clientApi/selectParticipants/" + room + "?userJid=" + demo.jid + "&participants=", "", 417},
        {"GET", "/clientApi/selectParticipants/" + room + "?userJid=" + demo.jid + "&participants=a,b", "", 200},
        {"GET", "/clientApi/handsUp/apply/" + room + "?userJid=" + alice.jid + "&nickname=", "", 200, alice.token},
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
        // The moderator's own login, naming somebody else's address.
        {"GET", "/clientApi/record/call/" + demo.id + "/" + room + "?userId=" + demo.id + "&rule=recording&roomPassword=" +
                    demoAccount.meetPassword + "&userJid=" + alice.jid + "&record=recorder",
         "", 606},
        {"GET", "/clientApi/record/close/" + demo.id + "/" + room + "?recordJid=r@x&userJid=" + alice.jid, "", 606},
        // Somebody else's own address, naming the moderator in the path.
        {"GET", "/clientApi/record/call/" + demo.id + "/" + room + "?userId=" + demo.id + "&rule=recording&roomPassword=" +
                    demoAccount.meetPassword + "&userJid=" + alice.jid + "&record=recorder",
         "", 606, alice.token},
        {"GET", "/clientApi/record/close/" + demo.id + "/" + room + "?recordJid=r@x&userJid=" + alice.jid, "", 606,
         alice.token},
        {"GET", "/clientApi/records/" + demo.id, "", 200},
        {"GET", phone, "", 200},
        {"GET", "/clientApi/phone/12ab?roomNumber=" + room + "&userJid=" + demo.jid, "", 511},
        {"GET", "/user/grantAdmin?r=" + room + "&j=" + alice.jid + "&i=" + alice.id, "", 507, alice.token},
        {"GET", "/user/grantAdmin?r=" + room + "&j=" + alice.jid + "&i=" + demo.id, "", 200},
        {"GET", lock + alice.id + "&l=true", "", 200, alice.token},
        {"GET", "/user/getModerator?r=" + room + "&j=" + bob.jid + "&p=wrong", "", 703, bob.token},
        {"GET", "/user/getModerator?r=" + room + "&j=" + bob.jid + "&p=" + demoAccount.ownerPassword, "", 200,
         bob.token},
        {"GET", lock + bob.id + "&l=false", "", 200, bob.token},
    });

    const std::string recording = rest.call("GET", "/clientApi/records/" + demo.id)["obj"]["id"].asString();
    rest.expect({
        {"GET", "/clientApi/records/" + demo.id + "/" + recording, "", 606, alice.token},
        {"GET", "/clientApi/records/" + demo.id + "/" + recording, "", 200},
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
    rest.as(demo);
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
    EXPECT_EQ(rest.call("GET", "/clientApi/conferences/" + id + "/" + alice.id, "", alice.token)["obj"]["ownerPassword"]
                  .asString(),
              "");

    const std::string join = "/clientApi/createOrJoinConference?j=";
    rest.expect({
        {"GET", join + alice.jid + "&r=" + number + "&p=5555", "", 200, alice.token},
        {"GET", join + alice.jid + "&r=" + rest.call("GET", "/clientApi/conferences/" + farId + "/" + demo.id)["obj"]["cNumber"].asString() + "&p=5555", "", 424, alice.token},
        {"DELETE", "/clientApi/conferences/" + id + "/" + demo.id, "", 426},
        {"DELETE", "/clientApi/conferences/" + farId + "/" + alice.id, "", 606, alice.token},
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
    Login aliceLogin = login(rest, server.account("alice"));
    Login demoLogin = login(rest, demoAccount);
    rest.as(aliceLogin);

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
        {"PUT", users, R"({"mUserId":")" + demo + R"(","meetPassword":"","ownerPassword":"999"})", 200, demoLogin.token},
        {"PUT", users, R"({"mUserId":")" + demo + R"(","meetPassword":"1"})", 115, demoLogin.token},
        {"PUT", users, R"({"meetPassword":"1","ownerPassword":"2"})", 101},
        {"GET", "/clientApi/users/unknown", "", 603},
    });
    const Json::Value contacts = rest.call("GET", "/clientApi/friends/" + alice)["obj"];
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0]["nickName"].asString(), "Bobby");
    const Json::Value changed = rest.call("GET", "/clientApi/users/" + demo, "", demoLogin.token)["obj"];
    EXPECT_EQ(changed["meetPassword"].asString(), "");
    EXPECT_EQ(changed["ownerPassword"].asString(), "999");
    EXPECT_EQ(changed["loginPassword"].asString(), "");

    server.reset();
    rest.as(aliceLogin = login(rest, server.account("alice")));
    demoLogin = login(rest, demoAccount);
    EXPECT_EQ(friendIds("/clientApi/friends/" + alice), Ids{demo});
    const Json::Value restored = rest.call("GET", "/clientApi/users/" + demo, "", demoLogin.token)["obj"];
    EXPECT_EQ(restored["meetPassword"].asString(), demoAccount.meetPassword);
    EXPECT_EQ(restored["ownerPassword"].asString(), demoAccount.ownerPassword);
}

// Guessing passwords: after a few failures of one account, or more of one
// client whatever the accounts, the next tries wait (answered 604 unchecked,
// the right password too); a second, then longer.
TEST(ServerRoutes, LoginsAreSlowedAfterAFewFailuresOfAnAccountOrAClient)
{
    LocalServer server;
    Rest rest(server);
    const auto alice = server.account("alice");
    const auto bob = server.account("bob");
    const auto tryLogin = [&](const std::string& name, const std::string& password) {
        return rest.call("GET", "/clientApi/loginClient?username=" + name + "&password=" + password +
                                    "&clientType=pc-win&domain=")["code"].asInt();
    };
    using namespace std::chrono_literals;
    struct Step {
        const char* name;
        std::function<void()> act;  // before the try
        std::string user;
        std::string password;
        int code;
    };
    const Step steps[] = {
        {"1st failure", [] {}, alice.userName, "wrong", 601},
        {"2nd failure", [] {}, alice.userName, "wrong", 601},
        {"3rd failure", [] {}, alice.userName, "wrong", 601},
        {"4th failure", [] {}, alice.userName, "wrong", 601},
        {"5th failure", [] {}, alice.userName, "wrong", 601},
        {"the right password at once", [] {}, alice.userName, alice.password, 604},
        {"another account", [] {}, bob.userName, bob.password, 200},
        {"a second later", [&] { server.advanceClock(1s); }, alice.userName, "wrong", 601},
        {"the right password a second after the 6th failure", [&] { server.advanceClock(1s); }, alice.userName,
         alice.password, 604},
        {"two seconds after it", [&] { server.advanceClock(1s); }, alice.userName, alice.password, 200},
        {"the account starts afresh", [] {}, alice.userName, "wrong", 601},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(tryLogin(step.user, step.password), step.code);
    }

    // One client trying many accounts: each of them only a few times.
    server.reset();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(tryLogin("nobody" + std::to_string(i % 5), "wrong"), 601) << i;
    EXPECT_EQ(tryLogin(bob.userName, bob.password), 604);
    server.advanceClock(1s);
    EXPECT_EQ(tryLogin(bob.userName, bob.password), 200);
}

// Anonymous users exist only as long as their login: a goodbye on the
// message service, or keep-alives that stopped, and they are gone.
TEST(ServerRoutes, AnonymousUsersAreForgottenAtLogoutAndWhenTheirKeepAlivesLapse)
{
    using namespace std::chrono_literals;
    LocalServer server;
    server.setCaBundleEnv();
    Rest rest(server);
    const auto keepAlive = [&](const Login& login) {
        return rest.call("GET", "/clientApi/keepAlive/" + login.id + "/" + login.endpoint + "/" + login.millis, "",
                         login.token)["code"].asInt();
    };
    const auto connect = [&](const Login& login, velto_rtc::WsLink& link) {
        if (!link.open("127.0.0.1", server.messageServerPort(), 10s).empty())
            return false;
        link.send(R"({"type":"connect","id":1,"user":")" + login.id + R"(","domain":")" + login.messageServer +
                  R"(","endpoint":")" + login.endpoint + R"(","secret":")" + login.secret + "\"}");
        return server.waitForSignals([&](const std::vector<velto::test::SentSignal>&) {
            const std::vector<std::string> clients = server.signalClients();
            return std::find(clients.begin(), clients.end(), login.jid) != clients.end();
        });
    };

    // Logged out: its goodbye on the message service ends it.
    const Login leaving = rest.loginAnonymous("Guest%201");
    ASSERT_EQ(keepAlive(leaving), 200);
    {
        velto_rtc::WsLink link([](std::string) {}, [] {});
        ASSERT_TRUE(connect(leaving, link));
        link.send(R"({"type":"bye","id":2})");
        ASSERT_TRUE(server.waitForSignals(
            [&](const std::vector<velto::test::SentSignal>&) { return server.signalClients().empty(); }));
    }
    EXPECT_EQ(keepAlive(leaving), 603) << "no such user any more";

    // Kept alive, or connected, it stays; left alone, it lapses.
    const Login kept = rest.loginAnonymous("Guest%202");
    const Login connected = rest.loginAnonymous("Guest%203");
    const Login lapsing = rest.loginAnonymous("Guest%204");
    const Login named = rest.login(server.demoAccount());
    velto_rtc::WsLink link([](std::string) {}, [] {});
    ASSERT_TRUE(connect(connected, link));
    server.advanceClock(15min);
    ASSERT_EQ(keepAlive(kept), 200);
    server.advanceClock(6min);
    EXPECT_EQ(keepAlive(kept), 200);
    EXPECT_EQ(rest.call("GET", "/clientApi/createOrJoinConference?j=" + connected.jid + "&r=" +
                                   server.account("alice").room,
                        "", connected.token)["code"]
                  .asInt(),
              200);
    EXPECT_EQ(keepAlive(lapsing), 603);
    EXPECT_EQ(keepAlive(named), 605) << "a named user stays, its login does not";
    EXPECT_EQ(rest.call("GET", "/clientApi/friends/" + named.id, "", named.token)["code"].asInt(), 605);
}

}  // namespace
