// The REST client against the local conference server over HTTPS.
#include "VeltoHttpSignal.h"

#include "LocalServer.h"

#include <arpa/inet.h>
#include <glog/logging.h>
#include <gtest/gtest.h>
#include <json/writer.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using velto::test::LocalServer;
using velto::test::RecordedRequest;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// Generous bounds: a healthy loopback exchange takes milliseconds.
const TransferLimits kTestLimits{5s, 10s, 10s};

// Remembers every callback call and the records it was given.
struct Recorder : VeltoHttpCallback {
    std::vector<std::string> calls;  // "onLogin:200", in call order
    conference_login_info login;
    conference_join_info join;
    std::string grantedJid;
    conferences meetings;
    query_user_info user;
    conference_contacts contacts;
    std::function<void()> afterLogin;

    void note(const char* name, int code) { calls.push_back(std::string(name) + ":" + std::to_string(code)); }

    void onLogin(int code, conference_login_info& info) override {
        note("onLogin", code);
        login = info;
        if (afterLogin) afterLogin();
    }
    void onCreateOrJoinConference(int code, const conference_join_info& info) override {
        note("onCreateOrJoinConference", code);
        join = info;
    }
    void onGrantAdmin(int code, std::string jid) override {
        note("onGrantAdmin", code);
        grantedJid = jid;
    }
    void onGetModerator(int code) override { note("onGetModerator", code); }
    void onGetMyConferences(int code, const conferences& data) override {
        note("onGetMyConferences", code);
        meetings = data;
    }
    void onBookConferences(int code) override { note("onBookConferences", code); }
    void onDeleteConferece(int code) override { note("onDeleteConferece", code); }
    void onQueryUser(int code, const query_user_info& info) override {
        note("onQueryUser", code);
        user = info;
    }
    void onStartRecord(int code) override { note("onStartRecord", code); }
    void onStopRecord(int code) override { note("onStopRecord", code); }
    void onGetContacts(int code, conference_contacts& list) override {
        note("onGetContacts", code);
        contacts = list;
    }
    void onGetSearchContacts(int code, conference_contacts& list) override {
        note("onGetSearchContacts", code);
        contacts = list;
    }
};

class HttpClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new LocalServer();
        server_->setCaBundleEnv();
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        server_->reset();
        client.SetTransferLimits(kTestLimits);
        client.SetCallback(&calls);
    }

    LocalServer& server() { return *server_; }

    // Points the client at the server with an accepted login, then forgets it.
    void connect() {
        server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{"mUserId":"u1"}})");
        ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
        server().clearRequests();
        calls.calls.clear();
    }

    // The answer of the next request, whatever its path.
    void answerNext(const std::string& body, int status = 200) { server().forceNext("*", status, body); }

    VeltoHttpSignal client;
    Recorder calls;

private:
    static LocalServer* server_;
};

LocalServer* HttpClientTest::server_ = nullptr;

// ---- Requests: verb, path, query order and body ----------------------------------

struct RequestCase {
    const char* name;
    std::function<int(VeltoHttpSignal&, const std::string& host)> call;
    const char* method;
    std::string target;  // raw, as it travels
    const char* body;    // nullptr: no body at all
    const char* callback;  // "" when the operation reports only by its result
};

TEST_F(HttpClientTest, EachOperationSendsItsRequest) {
    std::string s1, s2;
    int code = 0;
    conferences_info info;
    const RequestCase cases[] = {
        {"Login", [](auto& c, auto& h) { return c.Login(h, "demo", "pw", "pc-win", "", false); }, "GET",
         "/clientApi/loginClient?username=demo&password=pw&clientType=pc-win&domain=", nullptr, "onLogin"},
        {"Login anonymous", [](auto& c, auto& h) { return c.Login(h, "Guest", "", "pc-win", "dom", true); },
         "GET", "/clientApi/loginClientAnonymous?nickname=Guest&password=&clientType=pc-win", nullptr, "onLogin"},
        {"KeepAlive", [](auto& c, auto&) { return c.KeepAlive("u1", "ep1", "1700000000000"); }, "GET",
         "/clientApi/keepAlive/u1/ep1/1700000000000", nullptr, ""},
        {"CreateOrJoin bare", [](auto& c, auto&) { return c.CreateOrJoinConference("", "", "", ""); }, "GET",
         "/clientApi/createOrJoinConference?j=", nullptr, "onCreateOrJoinConference"},
        {"CreateOrJoin full", [](auto& c, auto&) { return c.CreateOrJoinConference("8001", "p1", "o1", "u1@vc/ep"); },
         "GET", "/clientApi/createOrJoinConference?j=u1%40vc%2Fep&r=8001&p=p1&op=o1", nullptr,
         "onCreateOrJoinConference"},
        {"GrantAdmin", [](auto& c, auto&) { return c.GrantAdmin("8001", "j2", "u1"); }, "GET",
         "/user/grantAdmin?r=8001&j=j2&i=u1", nullptr, "onGrantAdmin"},
        {"GetModerator", [](auto& c, auto&) { return c.GetModerator("8001", "j1", "mp"); }, "GET",
         "/user/getModerator?r=8001&j=j1&p=mp", nullptr, "onGetModerator"},
        {"GetMyConferences bare", [](auto& c, auto&) { return c.GetMyConferences(10, "u1", "", 2, "", "", ""); },
         "GET", "/clientApi/conferences/u1?count=10&page=2", nullptr, "onGetMyConferences"},
        {"GetMyConferences full",
         [](auto& c, auto&) { return c.GetMyConferences(10, "u1", "2024-01-02", 1, "CTA0", "MSA0", "abc"); }, "GET",
         "/clientApi/conferences/u1?count=10&page=1&type=CTA0&date=2024-01-02&status=MSA0&search=abc", nullptr,
         "onGetMyConferences"},
        {"GetMyConferences search", [](auto& c, auto&) { return c.GetMyConferences(5, "u1", "", 0, "", "", "x"); },
         "GET", "/clientApi/conferences/u1?count=5&page=0&search=x", nullptr, "onGetMyConferences"},
        {"BookConferences", [](auto& c, auto&) { return c.BookConferences("u1", R"({"title":"t"})"); }, "POST",
         "/clientApi/conferences/u1", R"({"title":"t"})", "onBookConferences"},
        {"BookConferences empty", [](auto& c, auto&) { return c.BookConferences("u1", ""); }, "POST",
         "/clientApi/conferences/u1", "", "onBookConferences"},
        {"DeleteConference", [](auto& c, auto&) { return c.DeleteConference("u1", "c9"); }, "DELETE",
         "/clientApi/conferences/c9/u1", nullptr, ""},
        {"SelectFriends", [](auto& c, auto&) { return c.SelectFriends("u1", ""); }, "GET",
         "/clientApi/selectFriends/u1?search=", nullptr, "onGetSearchContacts"},
        {"GetContacts", [](auto& c, auto&) { return c.GetContacts("u1"); }, "GET", "/clientApi/friends/u1", nullptr,
         "onGetContacts"},
        {"AddFriends", [](auto& c, auto&) { return c.AddFriends("u1", "f2", R"({"a":1})"); }, "POST",
         "/clientApi/friends/u1/f2", R"({"a":1})", ""},
        {"DeleteFriends", [](auto& c, auto&) { return c.DeleteFriends("u1", "f2"); }, "DELETE",
         "/clientApi/friends/u1/f2", nullptr, ""},
        {"QueryUsers", [&](auto& c, auto&) { return c.QueryUsers("u1", s1, s2); }, "GET", "/clientApi/users/u1",
         nullptr, "onQueryUser"},
        {"ModifyUsers", [](auto& c, auto&) { return c.ModifyUsers(R"({"meetPassword":"1"})"); }, "PUT",
         "/clientApi/users", R"({"meetPassword":"1"})", ""},
        {"ModifyUsers empty", [](auto& c, auto&) { return c.ModifyUsers(""); }, "PUT", "/clientApi/users", "", ""},
        {"LockConference on", [](auto& c, auto&) { return c.LockConference("", "8001", true); }, "GET",
         "/conference/lock?i=&r=8001&l=true", nullptr, ""},
        {"LockConference off", [](auto& c, auto&) { return c.LockConference("u1", "8001", false); }, "GET",
         "/conference/lock?i=u1&r=8001&l=false", nullptr, ""},
        {"StartRecord", [](auto& c, auto&) { return c.StartRecord("u1", "8001", "rec", "me", "rp", "recording"); },
         "GET", "/clientApi/record/call/u1/8001?userId=u1&rule=recording&roomPassword=rp&userJid=me&record=rec",
         nullptr, "onStartRecord"},
        {"StopRecord", [](auto& c, auto&) { return c.StopRecord("u1", "me", "8001", "rj"); }, "GET",
         "/clientApi/record/close/u1/8001?recordJid=rj&userJid=me", nullptr, "onStopRecord"},
        {"MyRecords", [](auto& c, auto&) { return c.MyRecords("u1"); }, "GET", "/clientApi/records/u1", nullptr, ""},
        {"GetRecordDetails", [](auto& c, auto&) { return c.GetRecordDetails("u1", "r7"); }, "GET",
         "/clientApi/records/u1/r7", nullptr, ""},
        {"GetConferenceDetail", [&](auto& c, auto&) { return c.GetConferenceDetail("u1", "c9", info); }, "GET",
         "/clientApi/conferences/c9/u1", nullptr, ""},
        {"SetStage screen", [](auto& c, auto&) { return c.SetStage("8001", "me", "st", true); }, "GET",
         "/clientApi/stage/8001?userJid=me&stageJid=st&screen=true", nullptr, ""},
        {"SetStage camera", [](auto& c, auto&) { return c.SetStage("8001", "me", "st", false); }, "GET",
         "/clientApi/stage/8001?userJid=me&stageJid=st&screen=false", nullptr, ""},
        {"SplitScreen", [](auto& c, auto&) { return c.SplitScreen("8001", "me", "5"); }, "GET",
         "/clientApi/splitScreen/8001?userJid=me&splitScreen=5", nullptr, ""},
        {"SplitScreen empty", [](auto& c, auto&) { return c.SplitScreen("8001", "me", ""); }, "GET",
         "/clientApi/splitScreen/8001?userJid=me&splitScreen=", nullptr, ""},
        {"SelectParticipants", [](auto& c, auto&) { return c.SelectParticipants("8001", "me", "a,b&c"); }, "GET",
         "/clientApi/selectParticipants/8001?userJid=me&participants=a%2Cb%26c", nullptr, ""},
        {"GetConferenceResource", [&](auto& c, auto&) { return c.GetConferenceResource("8001", "me", s1, s2); },
         "GET", "/clientApi/conference/resources?roomNumber=8001&userJid=me", nullptr, ""},
        {"HandsUp apply", [](auto& c, auto&) { return c.HandsUp("apply", "8001", "me", ""); }, "GET",
         "/clientApi/handsUp/apply/8001?userJid=me&nickname=", nullptr, ""},
        {"HandsUp agree", [](auto& c, auto&) { return c.HandsUp("agree", "8001", "p2", "Nick"); }, "GET",
         "/clientApi/handsUp/agree/8001?userJid=p2", nullptr, ""},
        {"HandsUp refuse", [](auto& c, auto&) { return c.HandsUp("refuse", "8001", "p2", "Nick"); }, "GET",
         "/clientApi/handsUp/refuse/8001?userJid=p2", nullptr, ""},
        {"HandsUp apply in a word", [](auto& c, auto&) { return c.HandsUp("reapplying", "8001", "me", "N"); },
         "GET", "/clientApi/handsUp/reapplying/8001?userJid=me&nickname=N", nullptr, ""},
        {"HandsUp apply before agree", [](auto& c, auto&) { return c.HandsUp("agree_apply", "8001", "me", "N"); },
         "GET", "/clientApi/handsUp/agree_apply/8001?userJid=me&nickname=N", nullptr, ""},
        {"ExtendConferenceTime", [](auto& c, auto&) { return c.ExtendConferenceTime("8001", "u1", 30); }, "GET",
         "/clientApi/conferences/extend/8001?userId=u1&lengthTime=30", nullptr, ""},
        {"CallPhone", [&](auto& c, auto&) { return c.CallPhone("8001", "me", "13800000000", s1, code); }, "GET",
         "/clientApi/phone/13800000000?roomNumber=8001&userJid=me", nullptr, ""},
    };
    connect();
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        server().clearRequests();
        calls.calls.clear();
        answerNext(R"({"code":200})");

        EXPECT_EQ(c.call(client, server().host()), 0);

        const std::vector<RecordedRequest> sent = server().requests();
        ASSERT_EQ(sent.size(), 1u);
        const RecordedRequest& r = sent.front();
        EXPECT_EQ(r.method, c.method);
        EXPECT_EQ(r.target, c.target);
        const bool json = r.method == "POST" || r.method == "PUT";
        EXPECT_EQ(r.header("Content-Type"), json ? "application/json;charset=UTF-8" : "");
        if (c.body) {
            EXPECT_EQ(r.body, c.body);
            EXPECT_EQ(r.header("Content-Length"), std::to_string(std::string(c.body).size()));
        } else {
            EXPECT_TRUE(r.body.empty());
            EXPECT_FALSE(r.hasHeader("Content-Length") && r.header("Content-Length") != "0");
        }
        const std::vector<std::string> expected =
            *c.callback ? std::vector<std::string>{std::string(c.callback) + ":200"} : std::vector<std::string>{};
        EXPECT_EQ(calls.calls, expected);
    }
}

TEST_F(HttpClientTest, UnknownHandsUpActionSendsNothing) {
    connect();
    for (const char* action : {"", "raise", "APPLY"}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(client.HandsUp(action, "8001", "me", "N"), -1);
    }
    EXPECT_TRUE(server().requests().empty());
}

// ---- Escaping: every text reaches the server as it was given ----------------------

TEST_F(HttpClientTest, TextsRoundTripThroughQueryAndPath) {
    const std::string values[] = {"John Smith", "a&b#c", "x+y=z?", "100%", "Zo\u00eb \u4f1a\u8bae",
                                  "a/b",        "..",    ".",      "",     "abc-123_x.y~z"};
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        server().clearRequests();
        client.Login(server().host(), value, value, "pc-win", value, false);
        client.GetContacts(value);

        const std::vector<RecordedRequest> sent = server().requests();
        ASSERT_EQ(sent.size(), 2u);
        for (const char* key : {"username", "password", "domain"}) EXPECT_EQ(sent[0].param(key), value) << key;
        EXPECT_EQ(sent[0].query.size(), 4u);
        EXPECT_EQ(sent[1].path, "/clientApi/friends/" + value);
    }
    // Plain ids travel unchanged.
    EXPECT_EQ(server().lastRequest().target, "/clientApi/friends/abc-123_x.y~z");
}

// ---- The answer rule ----------------------------------------------------------------

TEST_F(HttpClientTest, AnswerCodeRule) {
    struct Case {
        const char* name;
        int status;
        std::string body;
        int code;
    };
    const Case cases[] = {
        {"mcode wins", 200, R"({"mcode":401,"code":200})", 401},
        {"null mcode", 200, R"({"mcode":null,"code":200})", 200},
        {"code as text", 200, R"({"code":"200"})", 0},
        {"no code", 200, R"({"msg":"ok","obj":{}})", 0},
        {"code out of range", 200, R"({"code":2e10})", 0},
        {"empty body", 200, "", 0},
        {"html page", 502, "<html><body><h1>502 Bad Gateway</h1></body></html>", 0},
        {"array at the top", 200, R"([{"code":200}])", 0},
        {"number at the top", 200, "200", 0},
        {"server error status, code 200", 500, R"({"code":200})", 200},
        {"not found", 404, R"({"code":404})", 404},
        {"comment before the object", 200, "/* c */ {\"code\":200}", 200},
        {"deeply nested", 200, R"({"code":200,"obj":)" + std::string(5000, '['), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.calls.clear();
        server().forceNext("/clientApi/loginClient", c.status, c.body);
        EXPECT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), c.code == 200 ? 0 : -1);
        EXPECT_EQ(calls.calls, std::vector<std::string>{"onLogin:" + std::to_string(c.code)});
    }
}

TEST_F(HttpClientTest, FailedAnswerLeavesRecordAsItStood) {
    server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{"mUserId":"u1","videoNum":4}})");
    ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
    server().forceNext("/clientApi/loginClient", 200, R"({"code":403,"obj":{"mUserId":"other"}})");
    EXPECT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), -1);
    EXPECT_EQ(calls.login.mUserId, "u1");
    EXPECT_EQ(calls.login.videoNum, 4);
}

TEST_F(HttpClientTest, TruncatedAnswerKeepsWhatArrived) {
    server().forceNext("/clientApi/loginClient", 200,
                       R"({"code":200,"obj":{"mUserId":"partial","videoNum":3,"mUserName":"cut-)");
    EXPECT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
    EXPECT_EQ(calls.login.mUserId, "partial");
    EXPECT_EQ(calls.login.videoNum, 3);
    EXPECT_EQ(calls.login.mUserName, "");
}

TEST_F(HttpClientTest, NoCallbackStillFillsAndReturns) {
    client.SetCallback(nullptr);
    server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{"mUserId":"u1"}})");
    EXPECT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
    client.SetCallback(&calls);
    server().forceNext("/clientApi/loginClient", 200, R"({"code":500})");
    client.Login(server().host(), "demo", "pw", "pc-win", "", false);
    EXPECT_EQ(calls.login.mUserId, "u1");  // filled by the first login, kept by the failed second
}

// ---- Records ---------------------------------------------------------------------

TEST_F(HttpClientTest, LoginFillsEveryMember) {
    server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{
        "currentTimeMillis":1700000000123,"mUserId":"u1","mUserName":"Demo","messageServer":"127.0.0.1",
        "messageServerPort":5222,"phone":"1380","email":"d@x","endpoint":"ep1","hasRecord":true,"cNumber":"8001",
        "photo":"p.png","logo":"l.png","mainLogo":"m.png","meetLogo":"ml.png","copyright":"c 2024","videoNum":9,
        "turn":{"iceServers":[{"url":"turn:a","username":"ua","credential":"ca"},{"url":"stun:b"},{}]}}})");
    ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
    const conference_login_info& l = calls.login;
    EXPECT_EQ((Texts{l.currentTimeMillis, l.mUserId, l.mUserName, l.messageServer, l.messageServerPort, l.phone,
                     l.email, l.endpoint, l.cNumber, l.photo, l.logo, l.mainLogo, l.meetLogo, l.copyright}),
              (Texts{"1700000000123", "u1", "Demo", "127.0.0.1", "5222", "1380", "d@x", "ep1", "8001", "p.png",
                     "l.png", "m.png", "ml.png", "c 2024"}));
    EXPECT_TRUE(l.hasRecord);
    EXPECT_EQ(l.videoNum, 9);
    ASSERT_EQ(l.iceServers.size(), 3u);
    EXPECT_EQ((Texts{l.iceServers[0].url, l.iceServers[0].username, l.iceServers[0].credential,
                     l.iceServers[1].url, l.iceServers[2].url}),
              (Texts{"turn:a", "ua", "ca", "stun:b", ""}));

    // Lists are replaced, not appended to.
    const std::pair<const char*, std::size_t> later[] = {
        {R"({"code":200,"obj":{"turn":{"iceServers":[{"url":"a"},{"url":"b"}]}}})", 2},
        {R"({"code":200,"obj":{"turn":{}}})", 0},
        {R"({"code":200,"obj":{"turn":null}})", 0},
    };
    for (const auto& [body, count] : later) {
        SCOPED_TRACE(body);
        server().forceNext("/clientApi/loginClient", 200, body);
        ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
        EXPECT_EQ(calls.login.iceServers.size(), count);
    }
}

TEST_F(HttpClientTest, JoinFillsEveryMember) {
    connect();
    answerNext(R"({"code":200,"obj":{"videoBandwidth":"2048","op":"o","moderatorJid":"m@x","vb":"v","focusJid":"f@x",
        "title":"T","resolution":"720","gw":"gw1","withAudio":false,"r":"8001","withVideo":true,"videoEncoding":"VP8",
        "audioEncoding":"opus","md5MeetPass":"h","stageJid":"s@x","maxViewNum":"9","conferenceType":"CTA0",
        "record":"rec@x","rules":{"autoRecord":"CRAO"},"rbwc":[{"width":"1280","height":720,"bandwidth":" 1024"}]}})");
    ASSERT_EQ(client.CreateOrJoinConference("8001", "", "", "me"), 0);
    const conference_join_info& j = calls.join;
    EXPECT_EQ((Texts{j.videoBandwidth, j.op, j.moderatorJid, j.vb, j.focusJid, j.title, j.resolution, j.gw, j.r,
                     j.videoEncoding, j.audioEncoding, j.md5MeetPass, j.stageJid, j.maxViewNum, j.conferenceType,
                     j.record, j.autoRecord}),
              (Texts{"2048", "o", "m@x", "v", "f@x", "T", "720", "gw1", "8001", "VP8", "opus", "h", "s@x", "9",
                     "CTA0", "rec@x", "CRAO"}));
    EXPECT_FALSE(j.withAudio);
    EXPECT_TRUE(j.withVideo);
    ASSERT_EQ(j.rbwc.size(), 1u);
    EXPECT_EQ((std::vector<int>{j.rbwc[0].width, j.rbwc[0].height, j.rbwc[0].bandwidth}),
              (std::vector<int>{1280, 720, 1024}));
}

TEST_F(HttpClientTest, MediaFlagsAreFalseOnlyForFalse) {
    const std::pair<const char*, bool> cases[] = {
        {"false", false}, {R"("false")", false}, {R"("FALSE")", true}, {"0", true},
        {"true", true},   {"null", true},        {R"("")", true},      {"1.5", true},
    };
    connect();
    for (const auto& [json, expected] : cases) {
        SCOPED_TRACE(json);
        answerNext(std::string(R"({"code":200,"obj":{"withAudio":)") + json + ",\"withVideo\":" + json + "}}");
        ASSERT_EQ(client.CreateOrJoinConference("8001", "", "", "me"), 0);
        EXPECT_EQ(calls.join.withAudio, expected);
        EXPECT_EQ(calls.join.withVideo, expected);
    }
    answerNext(R"({"code":200,"obj":{}})");
    ASSERT_EQ(client.CreateOrJoinConference("8001", "", "", "me"), 0);
    EXPECT_TRUE(calls.join.withAudio);
    EXPECT_TRUE(calls.join.withVideo);
}

// A member of a type its conversion cannot read makes the answer no valid
// answer: code 0, result -1, and nothing of it is taken.
TEST_F(HttpClientTest, MembersOfTheWrongTypeFailTheOperation) {
    struct Case {
        const char* name;
        std::string answer;
        std::function<int(VeltoHttpSignal&)> call;
        Texts reported;
    };
    connect();
    const std::string host = server().host();
    const auto login = [&](VeltoHttpSignal& c) { return c.Login(host, "demo", "pw", "pc-win", "", false); };
    const auto join = [](VeltoHttpSignal& c) { return c.CreateOrJoinConference("8001", "", "", "me"); };
    const auto meetings = [](VeltoHttpSignal& c) { return c.GetMyConferences(10, "u1", "", 1, "", "", ""); };
    std::string meet = "keep-m", owner = "keep-o", gw = "keep-g", record = "keep-r";
    conferences_info detail;
    detail.title = "keep";
    const Case cases[] = {
        {"text as a flag", R"({"code":200,"obj":{"mUserId":"x","hasRecord":"yes"}})", login, {"onLogin:0"}},
        {"object as a text", R"({"code":200,"obj":{"mUserId":"x","mUserName":{"first":"D"}}})", login, {"onLogin:0"}},
        {"text as a number", R"({"code":200,"obj":{"mUserId":"x","videoNum":"9"}})", login, {"onLogin:0"}},
        {"number beyond int", R"({"code":200,"obj":{"mUserId":"x","videoNum":2147483648}})", login, {"onLogin:0"}},
        {"text as a list", R"({"code":200,"obj":{"mUserId":"x","turn":{"iceServers":"none"}}})", login,
         {"onLogin:0"}},
        {"number as a list entry", R"({"code":200,"obj":{"mUserId":"x","turn":{"iceServers":[1]}}})", login,
         {"onLogin:0"}},
        {"list as the record", R"({"code":200,"obj":[{"mUserId":"x"}]})", login, {"onLogin:0"}},
        {"object as a media flag", R"({"code":200,"obj":{"r":"x","withAudio":{}}})", join,
         {"onCreateOrJoinConference:0"}},
        {"text as the steps", R"({"code":200,"obj":{"r":"x","rbwc":"1280"}})", join, {"onCreateOrJoinConference:0"}},
        {"text as the rules", R"({"code":200,"obj":{"r":"x","rules":"CRAO"}})", join,
         {"onCreateOrJoinConference:0"}},
        {"object as the meeting list", R"({"code":200,"msg":"1","obj":{}})", meetings, {"onGetMyConferences:0"}},
        {"negative as unsigned", R"({"code":200,"msg":"1","obj":[{"lengthTime":-5}]})", meetings,
         {"onGetMyConferences:0"}},
        {"object as the total", R"({"code":200,"msg":{},"obj":[]})", meetings, {"onGetMyConferences:0"}},
        {"text as a contact's flag", R"({"code":200,"obj":[{"mUserId":"f","onLine":"yes"}]})",
         [](VeltoHttpSignal& c) { return c.GetContacts("u1"); }, {"onGetContacts:0"}},
        {"negative as a detail's unsigned", R"({"code":200,"obj":{"title":"new","lengthTime":-5}})",
         [&](VeltoHttpSignal& c) { return c.GetConferenceDetail("u1", "c1", detail); }, {}},
        {"object as a password", R"({"code":200,"obj":{"meetPassword":{"x":1},"ownerPassword":"o"}})",
         [&](VeltoHttpSignal& c) { return c.QueryUsers("u1", meet, owner); }, {}},
        {"list as the gateway", R"({"code":200,"obj":{"gw":["a"],"record":"r"}})",
         [&](VeltoHttpSignal& c) { return c.GetConferenceResource("8001", "me", gw, record); }, {}},
    };
    const conference_login_info before = calls.login;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.calls.clear();
        calls.meetings.total = -1;
        calls.contacts.list.assign(2, {});
        answerNext(c.answer);
        EXPECT_EQ(c.call(client), -1);
        EXPECT_EQ(calls.calls, c.reported);
        // Records and out-arguments as they stood, lists empty.
        EXPECT_EQ(calls.login.mUserId, before.mUserId);
        EXPECT_EQ(calls.join.r, "");
        EXPECT_EQ(calls.meetings.total, c.reported == Texts{"onGetMyConferences:0"} ? 0 : -1);
        EXPECT_EQ(calls.contacts.list.size(), c.reported == Texts{"onGetContacts:0"} ? 0u : 2u);
        EXPECT_EQ((Texts{meet, owner, gw, record, detail.title}), (Texts{"keep-m", "keep-o", "keep-g", "keep-r", "keep"}));
    }
}

TEST_F(HttpClientTest, ResolutionStepsReadAsLeadingIntegers) {
    struct Case {
        const char* rbwc;
        std::vector<int> numbers;  // width, height, bandwidth of each step read
    };
    const Case cases[] = {
        {R"([{"width":"1280","height":720,"bandwidth":" 1024"}])", {1280, 720, 1024}},
        {R"([{"width":"1920px","height":"+1080","bandwidth":"-1"}])", {1920, 1080, -1}},
        {R"([{"width":"wide","height":1,"bandwidth":1},{"width":640,"height":360,"bandwidth":512}])", {640, 360, 512}},
        {R"([{"height":1,"bandwidth":1},{"width":"99999999999","height":1,"bandwidth":1}])", {}},
        {R"([{"width":2.5,"height":true,"bandwidth":3}])", {}},
        {"null", {}},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rbwc);
        answerNext(std::string(R"({"code":200,"obj":{"rbwc":)") + c.rbwc + "}}");
        ASSERT_EQ(client.CreateOrJoinConference("8001", "", "", "me"), 0);
        std::vector<int> numbers;
        for (const resolution_bandwidth& step : calls.join.rbwc) {
            numbers.insert(numbers.end(), {step.width, step.height, step.bandwidth});
        }
        EXPECT_EQ(numbers, c.numbers);
    }
}

TEST_F(HttpClientTest, MeetingListTakesTotalFromMsg) {
    struct Case {
        const char* answer;
        int result;
        int total;
        std::size_t entries;
    };
    const Case cases[] = {
        {R"({"code":200,"msg":"37","obj":[{},{},{}]})", 0, 37, 3},
        {R"({"code":200,"msg":"ok","obj":[{}]})", 0, 0, 1},
        {R"({"code":200,"msg":12,"obj":null})", 0, 12, 0},
        {R"({"code":200,"msg":"99999999999","obj":[]})", 0, 0, 0},
        {R"({"code":500,"msg":"37","obj":[{},{}]})", -1, 0, 0},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        answerNext(c.answer);
        EXPECT_EQ(client.GetMyConferences(10, "u1", "", 1, "", "", ""), c.result);
        EXPECT_EQ(calls.meetings.total, c.total);
        EXPECT_EQ(calls.meetings.list.size(), c.entries);
    }
}

TEST_F(HttpClientTest, MeetingFillsEveryMember) {
    connect();
    answerNext(R"({"code":200,"msg":"1","obj":[{"mConferenceId":"c1","cNumber":"8001","status":"MSA0","title":"T",
        "startTime":"2024-01-02 10:00","lengthTime":60,"number":5,"meetPassword":"mp","ownerPassword":"op",
        "cycle":1,"cycleDmy":2,"cycleStartPre":"a","cycleEndDay":"b","layout":3,"createTime":"ct","updateTime":"ut",
        "type":"CTOT","notice":4,"ownerUserId":"u1","mConferenceUsers":[{"mUserId":"u1","mConferenceId":"c1",
        "owner":"CRUO","userName":"Demo"},{"mUserId":"u2"}]}]})");
    ASSERT_EQ(client.GetMyConferences(10, "u1", "", 1, "", "", ""), 0);
    ASSERT_EQ(calls.meetings.list.size(), 1u);
    const conferences_info& m = calls.meetings.list[0];
    EXPECT_EQ((Texts{m.mConferenceId, m.cNumber, m.status, m.title, m.startTime, m.meetPassword, m.ownerPassword,
                     m.cycleStartPre, m.cycleEndDay, m.createTime, m.updateTime, m.type, m.ownerUserId}),
              (Texts{"c1", "8001", "MSA0", "T", "2024-01-02 10:00", "mp", "op", "a", "b", "ct", "ut", "CTOT", "u1"}));
    EXPECT_EQ((std::vector<unsigned>{m.lengthTime, m.number, m.cycle, m.cycleDmy, m.layout, m.notice}),
              (std::vector<unsigned>{60, 5, 1, 2, 3, 4}));
    ASSERT_EQ(m.mConferenceUsers.size(), 2u);
    const conference_user_info& u = m.mConferenceUsers[0];
    EXPECT_EQ((Texts{u.mUserId, u.mConferenceId, u.owner, u.userName, m.mConferenceUsers[1].mUserId}),
              (Texts{"u1", "c1", "CRUO", "Demo", "u2"}));
}

TEST_F(HttpClientTest, DetailReplacesTheCallersRecord) {
    connect();
    conferences_info info;
    info.title = "old";
    info.lengthTime = 30;
    info.mConferenceUsers = {{"a", "", "", ""}, {"b", "", "", ""}};

    answerNext(R"({"code":404})");
    EXPECT_EQ(client.GetConferenceDetail("u1", "c1", info), -1);
    EXPECT_EQ(info.title, "old");
    EXPECT_EQ(info.mConferenceUsers.size(), 2u);

    answerNext(R"({"code":200,"obj":{"mConferenceId":"c1","lengthTime":null,"mConferenceUsers":[{"mUserId":"c"}]}})");
    EXPECT_EQ(client.GetConferenceDetail("u1", "c1", info), 0);
    EXPECT_EQ(info.mConferenceId, "c1");
    EXPECT_EQ(info.title, "");
    EXPECT_EQ(info.lengthTime, 0u);
    ASSERT_EQ(info.mConferenceUsers.size(), 1u);
    EXPECT_EQ(info.mConferenceUsers[0].mUserId, "c");
}

TEST_F(HttpClientTest, ContactsFillEveryMemberAndFailEmpty) {
    connect();
    const std::function<int()> operations[] = {[&] { return client.GetContacts("u1"); },
                                               [&] { return client.SelectFriends("u1", "d"); }};
    for (const auto& operation : operations) {
        calls.contacts.list.assign(5, {});
        answerNext(R"({"code":200,"obj":[{"mUserId":"f1","userName":"F","nickName":"n","extra":"x","onLine":true,
            "tel":"1","photo":"p","email":"e","clientType":"pc-win"},{"onLine":0}]})");
        ASSERT_EQ(operation(), 0);
        ASSERT_EQ(calls.contacts.list.size(), 2u);
        const conference_contact& c = calls.contacts.list[0];
        EXPECT_EQ((Texts{c.mUserId, c.userName, c.nickName, c.extra, c.tel, c.photo, c.email, c.clientType}),
                  (Texts{"f1", "F", "n", "", "1", "p", "e", "pc-win"}));
        EXPECT_TRUE(c.onLine);
        EXPECT_FALSE(calls.contacts.list[1].onLine);

        answerNext(R"({"code":401,"obj":[{"mUserId":"f1"}]})");
        EXPECT_EQ(operation(), -1);
        EXPECT_TRUE(calls.contacts.list.empty());
    }
    EXPECT_EQ(calls.calls, (std::vector<std::string>{"onGetContacts:200", "onGetContacts:401",
                                                     "onGetSearchContacts:200", "onGetSearchContacts:401"}));
}

TEST_F(HttpClientTest, QueryUsersFillsRecordAndOutArguments) {
    connect();
    std::string meet = "keep-m", owner = "keep-o";
    answerNext(R"({"code":403,"obj":{"meetPassword":"x"}})");
    EXPECT_EQ(client.QueryUsers("u1", meet, owner), -1);
    EXPECT_EQ(meet, "keep-m");
    EXPECT_EQ(owner, "keep-o");
    EXPECT_TRUE(calls.calls.empty());

    answerNext(R"({"code":200,"obj":{"mUserId":"u1","userName":"D","loginName":"demo","loginPassword":"lp",
        "status":"s","accessToken":"t","createTime":"c","lastTime":"l","email":"e","phone":"p","tel":"t2",
        "level":"1","attribution":"a","type":"ty","ipSip":"i","protocol":"pr","creator":"cr","info":"in",
        "meetPassword":"111","ownerPassword":"222"}})");
    EXPECT_EQ(client.QueryUsers("u1", meet, owner), 0);
    EXPECT_EQ(meet, "111");
    EXPECT_EQ(owner, "222");
    const query_user_info& u = calls.user;
    EXPECT_EQ((Texts{u.mUserId, u.userName, u.loginName, u.loginPassword, u.status, u.accessToken, u.createTime,
                     u.lastTime, u.email, u.phone, u.tel, u.level, u.attribution, u.type, u.ipSip, u.protocol,
                     u.creator, u.info, u.meetPassword, u.ownerPassword}),
              (Texts{"u1", "D", "demo", "lp", "s", "t", "c", "l", "e", "p", "t2", "1", "a", "ty", "i", "pr", "cr",
                     "in", "111", "222"}));
    EXPECT_EQ(calls.calls, std::vector<std::string>{"onQueryUser:200"});
}

TEST_F(HttpClientTest, ResourceOutArguments) {
    connect();
    std::string gw = "g", record = "r";
    answerNext(R"({"code":500,"obj":{"gw":"x","record":"y"}})");
    EXPECT_EQ(client.GetConferenceResource("8001", "me", gw, record), -1);
    EXPECT_EQ(gw, "g");
    EXPECT_EQ(record, "r");

    answerNext(R"({"code":200,"obj":{"gw":"gw@x","record":7}})");
    EXPECT_EQ(client.GetConferenceResource("8001", "me", gw, record), 0);
    EXPECT_EQ(gw, "gw@x");
    EXPECT_EQ(record, "7");

    answerNext(R"({"code":200})");
    EXPECT_EQ(client.GetConferenceResource("8001", "me", gw, record), 0);
    EXPECT_EQ(gw, "");
    EXPECT_EQ(record, "");
}

TEST_F(HttpClientTest, CallPhoneReportsTheCodeOnEveryPath) {
    struct Case {
        const char* name;
        std::function<void(LocalServer&)> answer;
        int result;
        int code;
        std::string target;
    };
    const Case cases[] = {
        {"dialable", [](auto& s) { s.forceNext("*", 200, R"({"code":200,"obj":"sip:8001@gw"})"); }, 0, 200,
         "sip:8001@gw"},
        {"no credit", [](auto& s) { s.forceNext("*", 200, R"({"code":301})"); }, -1, 301, "kept"},
        {"object target", [](auto& s) { s.forceNext("*", 200, R"({"code":200,"obj":{"a":1}})"); }, -1, 0, "kept"},
        {"transfer failure", [](auto& s) { s.forceClose("*"); }, -1, 0, "kept"},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string target = "kept";
        int code = -7;
        c.answer(server());
        EXPECT_EQ(client.CallPhone("8001", "me", "+86 138", target, code), c.result);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(target, c.target);
    }
}

TEST_F(HttpClientTest, CallbacksReceiveFailureCodes) {
    connect();
    const std::pair<std::function<int()>, std::string> cases[] = {
        {[&] { return client.CreateOrJoinConference("8001", "", "", "me"); }, "onCreateOrJoinConference:409"},
        {[&] { return client.GrantAdmin("8001", "j9", "u1"); }, "onGrantAdmin:409"},
        {[&] { return client.GetModerator("8001", "me", "x"); }, "onGetModerator:409"},
        {[&] { return client.BookConferences("u1", "{}"); }, "onBookConferences:409"},
        {[&] { return client.StartRecord("u1", "8001", "", "me", "", "recording"); }, "onStartRecord:409"},
        {[&] { return client.StopRecord("u1", "me", "8001", "rj"); }, "onStopRecord:409"},
    };
    for (const auto& [operation, expected] : cases) {
        SCOPED_TRACE(expected);
        calls.calls.clear();
        answerNext(R"({"code":409})");
        EXPECT_EQ(operation(), -1);
        EXPECT_EQ(calls.calls, std::vector<std::string>{expected});
    }
    EXPECT_EQ(calls.grantedJid, "j9");
}

TEST_F(HttpClientTest, KeepAliveAlwaysReturnsZero) {
    connect();
    answerNext(R"({"code":500})");
    EXPECT_EQ(client.KeepAlive("u1", "ep", "1"), 0);
    server().forceClose("*");
    EXPECT_EQ(client.KeepAlive("u1", "ep", "1"), 0);
    EXPECT_TRUE(calls.calls.empty());
}

// ---- Transport failures: code 0 within the limit -----------------------------------

// A loopback port that refuses connections: bound, never listening.
class RefusingPort {
public:
    RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot reserve a loopback port");
        }
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd_); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int fd_;
    int port_ = 0;
};

class LogCapture : public google::LogSink {
public:
    LogCapture() { google::AddLogSink(this); }
    ~LogCapture() override { google::RemoveLogSink(this); }

    using google::LogSink::send;
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&, const char* message,
              size_t length) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(message, length);
    }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST_F(HttpClientTest, TransportFailuresGiveCodeZeroInTime) {
    RefusingPort refusing;
    std::unique_ptr<LocalServer> untrusted;
    std::unique_ptr<LocalServer> otherHost;
    const std::string caBundle = std::getenv("VELTO_CA_BUNDLE");

    // The reason of a failed verification, said in the log; the others say none.
    const char* const untrustedSaid = "HTTPS: the server's certificate is not trusted";
    struct Case {
        const char* name;
        TransferLimits limits;
        std::function<std::string()> prepare;  // gives the server to log in to
        const char* said = nullptr;            // the start of an error line that says why
    };
    const Case cases[] = {
        {"refused port", kTestLimits, [&] { return refusing.host(); }},
        {"untrusted certificate", kTestLimits,
         [&] {
             LocalServer::Options options;
             options.untrustedCertificate = true;
             untrusted = std::make_unique<LocalServer>(options);
             return untrusted->host();
         },
         untrustedSaid},
        {"trusted certificate issued to another host", kTestLimits,
         [&] {
             LocalServer::Options options;
             options.certificateHost = "other.host.invalid";
             otherHost = std::make_unique<LocalServer>(options);
             otherHost->setCaBundleEnv();
             return otherHost->host();
         },
         untrustedSaid},
        {"CA not trusted by the system store", kTestLimits,
         [&] {
             ::unsetenv("VELTO_CA_BUNDLE");
             return server().host();
         },
         untrustedSaid},
        {"unreadable CA bundle", kTestLimits,
         [&] {
             ::setenv("VELTO_CA_BUNDLE", "/nonexistent/ca.pem", 1);
             return server().host();
         },
         "HTTPS: the CA file VELTO_CA_BUNDLE names cannot be read"},
        {"stall beyond the total limit", {5s, 1s, 30s},
         [&] {
             server().forceStall("*", 20000);
             return server().host();
         }},
        {"stall beyond the low-speed limit", {5s, 30s, 1s},
         [&] {
             server().forceStall("*", 20000);
             return server().host();
         }},
        {"connection closed", kTestLimits,
         [&] {
             server().forceClose("*");
             return server().host();
         }},
        {"answer beyond the size cap", {5s, 10s, 10s, 4096},
         [&] {
             server().forceNext("*", 200, R"({"code":200,"obj":")" + std::string(4096, 'x') + "\"}");
             return server().host();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.calls.clear();
        client.SetTransferLimits(c.limits);
        const std::string host = c.prepare();
        const auto start = std::chrono::steady_clock::now();
        LogCapture log;
        EXPECT_EQ(client.Login(host, "demo", "pw", "pc-win", "", false), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
        EXPECT_EQ(calls.calls, std::vector<std::string>{"onLogin:0"});
        const std::vector<std::string> lines = log.lines();
        const auto saysWhy = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("HTTPS: ", 0) == 0;
        });
        if (c.said)
            EXPECT_TRUE(saysWhy != lines.end() && saysWhy->rfind(c.said, 0) == 0)
                << (saysWhy == lines.end() ? "no line says why" : *saysWhy);
        else
            EXPECT_TRUE(saysWhy == lines.end()) << *saysWhy;
        ::setenv("VELTO_CA_BUNDLE", caBundle.c_str(), 1);
        server().reset();
    }
}

// A stalled server must not hold the program's thread for long: these bound
// every transfer of a client that was given no limits of its own.
TEST(HttpClientLimits, DefaultsBoundEveryTransfer) {
    const VeltoHttpSignal fresh;
    const TransferLimits limits = fresh.GetTransferLimits();
    EXPECT_EQ(limits.connect, 10s);
    EXPECT_EQ(limits.lowSpeed, 10s);
    EXPECT_EQ(limits.total, 20s);
}

TEST_F(HttpClientTest, CancelEndsTransfersInFlightAtOnce) {
    const velto::test::Account demo = server().demoAccount();
    ASSERT_EQ(client.Login(server().host(), demo.userName, demo.password, "pc-win", "", false), 0);
    calls.calls.clear();
    // Limits far beyond the test: only the cancel can end the stalled requests.
    client.SetTransferLimits({5s, 120s, 120s});
    server().forceStall("*", 60000, 2);
    auto contacts = std::async(std::launch::async, [&] { return client.GetContacts("u1"); });
    auto keepAlive = std::async(std::launch::async, [&] { return client.KeepAlive("u1", "ep", "1"); });
    ASSERT_TRUE(server().waitForRequests("*", 2));

    // "At once" next to what the requests would wait without the cancel: a
    // minute's stall, two minutes' limits. What the cancel itself takes is
    // the hand-over of two threads, far below this even on a loaded machine
    // under a sanitizer.
    constexpr auto kAtOnce = 5s;
    const auto start = std::chrono::steady_clock::now();
    client.CancelTransfers();
    const bool ended = contacts.wait_for(kAtOnce) == std::future_status::ready &&
                       keepAlive.wait_for(kAtOnce) == std::future_status::ready;
    const auto took = std::chrono::steady_clock::now() - start;
    server().reset();  // ends the stalls, so that a failure here still finishes
    ASSERT_TRUE(ended);
    EXPECT_LT(took, kAtOnce);
    EXPECT_EQ(contacts.get(), -1);
    EXPECT_EQ(calls.calls, std::vector<std::string>{"onGetContacts:0"});

    // A cancel reaches only what was in flight.
    ASSERT_EQ(client.Login(server().host(), demo.userName, demo.password, "pc-win", "", false), 0);
    ASSERT_EQ(client.GetContacts(demo.userId), 0);
    EXPECT_EQ(calls.calls.back(), "onGetContacts:200");
}

TEST_F(HttpClientTest, NoServerBeforeLoginGivesCodeZero) {
    std::string gw, record;
    EXPECT_EQ(client.GetConferenceResource("8001", "me", gw, record), -1);
    EXPECT_EQ(client.GetContacts("u1"), -1);
    EXPECT_EQ(calls.calls, std::vector<std::string>{"onGetContacts:0"});
}

// ---- Logging ---------------------------------------------------------------------

TEST_F(HttpClientTest, SecretsNeverReachTheLog) {
    LogCapture log;
    std::string meet, owner;
    server().forceNext("/clientApi/loginClient", 200,
                       R"({"code":200,"obj":{"accessToken":"S3cret-token",)"
                       R"("turn":{"iceServers":[{"url":"turn:a","credential":"S3cret-turn"}]}}})");
    client.Login(server().host(), "demo", "S3cret-login", "pc-win", "", false);
    client.CreateOrJoinConference("8001", "S3cret-room", "S3cret-owner", "me");
    client.GetModerator("8001", "me", "S3cret-moderator");
    client.StartRecord("u1", "8001", "", "me", "S3cret-record", "recording");
    client.BookConferences("u1", R"({"title":"Weekly","meetPassword":"S3cret-book"})");
    answerNext(R"({"code":200,"obj":{"loginPassword":"S3cret-a","accessToken":"S3cret-b","meetPassword":"S3cret-c",
        "ownerPassword":"S3cret-d"}})");
    client.QueryUsers("u1", meet, owner);

    const std::vector<std::string> lines = log.lines();
    bool maskedUrl = false, bookedTitle = false;
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("S3cret"), std::string::npos) << line;
        maskedUrl |= line.find("password=***&clientType=pc-win") != std::string::npos;
        bookedTitle |= line.find("=params=") != std::string::npos && line.find("Weekly") != std::string::npos;
    }
    EXPECT_TRUE(maskedUrl);
    EXPECT_TRUE(bookedTitle);
}

// ---- The real server and threads ----------------------------------------------------

// Every operation against the server's own handlers, nothing forced: what the
// client sends is what the server understands, texts with blanks and "&" included.
TEST_F(HttpClientTest, WholeSessionAgainstTheServer) {
    const velto::test::Account demo = server().demoAccount();
    const velto::test::Account bob = server().account("bob");
    const velto::test::Account wang = server().account("wang");
    std::string meet, owner;
    int nestedResult = -2;
    calls.afterLogin = [&] { nestedResult = client.QueryUsers(calls.login.mUserId, meet, owner); };

    ASSERT_EQ(client.Login(server().host(), demo.userName, demo.password, "pc-win", "", false), 0);
    calls.afterLogin = nullptr;
    const conference_login_info me = calls.login;
    EXPECT_EQ(me.mUserId, demo.userId);
    EXPECT_EQ(me.messageServer, server().messageServer());
    EXPECT_EQ(me.messageServerPort, server().messageServerPort());
    EXPECT_EQ(nestedResult, 0);
    EXPECT_EQ(meet, demo.meetPassword);
    EXPECT_EQ(owner, demo.ownerPassword);
    const std::string jid = me.mUserId + "@" + me.messageServer + "/" + me.endpoint;
    ASSERT_EQ(client.CreateOrJoinConference("", meet, owner, jid), 0);
    const conference_join_info room = calls.join;
    EXPECT_EQ(room.r, demo.room);

    VeltoHttpSignal guest;
    Recorder guestCalls;
    guest.SetTransferLimits(kTestLimits);
    guest.SetCallback(&guestCalls);
    ASSERT_EQ(guest.Login(server().host(), "John Smith & Co", "", "pc-win", "", true), 0);
    ASSERT_FALSE(guestCalls.login.mUserId.empty());
    const std::string guestJid =
        guestCalls.login.mUserId + "@" + guestCalls.login.messageServer + "/" + guestCalls.login.endpoint;
    ASSERT_EQ(guest.CreateOrJoinConference(room.r, meet, "", guestJid), 0);

    std::string upperId = me.mUserId;
    for (char& c : upperId) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto jsonText = [](const Json::Value& value) { return Json::writeString(Json::StreamWriterBuilder(), value); };
    Json::Value reservation;
    reservation["title"] = "Plan & review #2";
    reservation["startTime"] = Json::Int64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::system_clock::now().time_since_epoch() + 24h)
                                               .count());
    reservation["lengthTime"] = 1800u;
    reservation["number"] = 1;
    reservation["meetPassword"] = "m p";
    reservation["ownerPassword"] = "o&p";
    reservation["cycle"] = reservation["cycleDmy"] = reservation["cycleStart"] = 0u;
    reservation["cycleEndDay"] = Json::Int64(0);
    reservation["domain"] = server().host();
    reservation["autoRecord"] = "CRAC";
    reservation["mConferenceId"] = "";
    reservation["mConferenceUsers"][0]["mUserId"] = upperId;
    Json::Value passwords;
    passwords["mUserId"] = upperId;
    passwords["meetPassword"] = "a&b #1";
    passwords["ownerPassword"] = "o/p?";

    std::string gw, record, target;
    int code = 0;
    const std::pair<const char*, std::function<int()>> steps[] = {
        {"BookConferences", [&] { return client.BookConferences(upperId, jsonText(reservation)); }},
        {"GetMyConferences", [&] { return client.GetMyConferences(0, me.mUserId, "", 1, "CTA0", "MSA0", "&"); }},
        {"AddFriends", [&] { return client.AddFriends(me.mUserId, bob.userId, R"({"nickname":"Bob & Co"})"); }},
        {"DeleteFriends", [&] { return client.DeleteFriends(me.mUserId, wang.userId); }},
        {"GetContacts", [&] { return client.GetContacts(me.mUserId); }},
        {"LockConference on", [&] { return client.LockConference(me.mUserId, room.r, true); }},
        {"LockConference off", [&] { return client.LockConference(me.mUserId, room.r, false); }},
        {"SetStage", [&] { return client.SetStage(room.r, jid, guestJid, true); }},
        {"SplitScreen", [&] { return client.SplitScreen(room.r, jid, "5"); }},
        {"SelectParticipants", [&] { return client.SelectParticipants(room.r, jid, guestJid + "," + jid); }},
        {"GetConferenceResource", [&] { return client.GetConferenceResource(room.r, jid, gw, record); }},
        {"StartRecord", [&] { return client.StartRecord(me.mUserId, room.r, room.record, jid, meet, "recording"); }},
        {"MyRecords", [&] { return client.MyRecords(me.mUserId); }},
        {"StopRecord", [&] { return client.StopRecord(me.mUserId, jid, room.r, record); }},
        {"HandsUp apply", [&] { return guest.HandsUp("apply", room.r, guestJid, "John Smith & Co"); }},
        {"HandsUp agree", [&] { return client.HandsUp("agree", room.r, guestJid, ""); }},
        {"ExtendConferenceTime", [&] { return client.ExtendConferenceTime(room.r, me.mUserId, 30); }},
        {"CallPhone", [&] { return client.CallPhone(room.r, jid, "+8613800000000", target, code); }},
        {"GetModerator", [&] { return guest.GetModerator(room.r, guestJid, owner); }},
        {"GrantAdmin", [&] { return guest.GrantAdmin(room.r, jid, guestCalls.login.mUserId); }},
        {"KeepAlive", [&] { return client.KeepAlive(me.mUserId, me.endpoint, me.currentTimeMillis); }},
        // Last: the room's passwords change with it.
        {"ModifyUsers", [&] { return client.ModifyUsers(jsonText(passwords)); }},
    };
    for (const auto& [name, step] : steps) EXPECT_EQ(step(), 0) << name;

    EXPECT_EQ(guestCalls.calls, (Texts{"onLogin:200", "onCreateOrJoinConference:200", "onGetModerator:200",
                                       "onGrantAdmin:200"}));
    EXPECT_FALSE(gw.empty() || record.empty());
    EXPECT_EQ(code, 200);
    EXPECT_NE(target.find("+8613800000000"), std::string::npos);
    // The keep-alive named the login the server handed out.
    const std::vector<RecordedRequest> keepAlives = server().requests("/clientApi/keepAlive/*");
    ASSERT_EQ(keepAlives.size(), 1u);
    EXPECT_EQ(keepAlives[0].path, "/clientApi/keepAlive/" + me.mUserId + "/" + me.endpoint + "/" + me.currentTimeMillis);

    // What the server kept of the changes.
    Texts contacts;
    for (const conference_contact& contact : calls.contacts.list) contacts.push_back(contact.nickName);
    EXPECT_EQ(contacts, (Texts{"Alice", "Bob & Co"}));
    ASSERT_EQ(client.SelectFriends(me.mUserId, "Bob M"), 0);
    ASSERT_EQ(calls.contacts.list.size(), 1u);
    EXPECT_EQ(calls.contacts.list[0].userName, "Bob Martin");
    ASSERT_EQ(client.QueryUsers(me.mUserId, meet, owner), 0);
    EXPECT_EQ((Texts{meet, owner}), (Texts{"a&b #1", "o/p?"}));
    ASSERT_EQ(calls.meetings.list.size(), 1u);
    const std::string booked = calls.meetings.list[0].mConferenceId;
    conferences_info detail;
    ASSERT_EQ(client.GetConferenceDetail(me.mUserId, booked, detail), 0);
    EXPECT_EQ((Texts{detail.title, detail.meetPassword, detail.ownerPassword}),
              (Texts{"Plan & review #2", "m p", "o&p"}));
    EXPECT_EQ(client.DeleteConference(me.mUserId, booked), 0);
    EXPECT_EQ(client.GetConferenceDetail(me.mUserId, booked, detail), -1);

    server().setNoCredit(true);
    target = "kept";
    EXPECT_EQ(client.CallPhone(room.r, jid, "13800000000", target, code), -1);
    EXPECT_EQ(code, 301);
    EXPECT_EQ(target, "kept");

    EXPECT_EQ(client.Login(server().host(), demo.userName, demo.password + "-wrong", "pc-win", "", false), -1);
    EXPECT_EQ(calls.calls.back(), "onLogin:601");
}

// The token of a login goes with every later request to that server, in one
// header of its own; the login itself and a new server see none.
TEST_F(HttpClientTest, TheLoginsTokenGoesWithEveryLaterRequest) {
    struct Case {
        const char* name;
        const char* token;  // in the login answer; nullptr: no member
        const char* sent;   // in the later requests' header; "" none
    };
    const Case cases[] = {
        {"a token", R"("t0k-3n")", "t0k-3n"},
        {"no token", nullptr, ""},
        {"a token that would break the header", R"("ab\r\nX-Forged: 1")", ""},
        {"a token of another type", "17", "17"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server().clearRequests();
        const std::string token = c.token ? std::string(R"("accessToken":)") + c.token + "," : std::string();
        server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{)" + token + R"("mUserId":"u1"}})");
        ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
        answerNext(R"({"code":200})");
        client.ModifyUsers(R"({"mUserId":"u1"})");
        client.GetContacts("u1");
        client.KeepAlive("u1", "ep", "1");

        const std::vector<RecordedRequest> sent = server().requests();
        ASSERT_EQ(sent.size(), 4u);
        EXPECT_FALSE(sent[0].hasHeader("accessToken"));
        for (std::size_t i = 1; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i].header("accessToken"), c.sent) << sent[i].path;
            EXPECT_EQ(sent[i].hasHeader("accessToken"), *c.sent != '\0') << sent[i].path;
            EXPECT_FALSE(sent[i].hasHeader("X-Forged"));
        }
        EXPECT_EQ(sent[1].header("Content-Type"), "application/json;charset=UTF-8") << "beside the body's type";
    }

    // Another login, to another server or failed, drops the token at once.
    server().forceNext("/clientApi/loginClient", 200, R"({"code":200,"obj":{"accessToken":"t1"}})");
    ASSERT_EQ(client.Login(server().host(), "demo", "pw", "pc-win", "", false), 0);
    server().clearRequests();
    server().forceNext("/clientApi/loginClient", 200, R"({"code":601})");
    EXPECT_EQ(client.Login(server().localhost(), "demo", "pw", "pc-win", "", false), -1);
    client.GetContacts("u1");
    const std::vector<RecordedRequest> sent = server().requests();
    ASSERT_EQ(sent.size(), 2u);
    for (const RecordedRequest& request : sent) EXPECT_FALSE(request.hasHeader("accessToken")) << request.path;
}

// Every request names the user it acts for; the server takes it only from
// that user's own login. One table of requests for the demo user, each sent
// first by Alice's client (refused) and then by the demo user's (done).
TEST_F(HttpClientTest, RequestsForAnotherUserAreRefusedTheUsersOwnAreDone) {
    const velto::test::Account demo = server().demoAccount();
    const velto::test::Account alice = server().account("alice");
    const velto::test::Account bob = server().account("bob");
    const velto::test::Account wang = server().account("wang");
    VeltoHttpSignal stranger;
    Recorder strangerCalls;
    stranger.SetTransferLimits(kTestLimits);
    stranger.SetCallback(&strangerCalls);
    ASSERT_EQ(stranger.Login(server().host(), alice.userName, alice.password, "pc-win", "", false), 0);
    ASSERT_EQ(client.Login(server().host(), demo.userName, demo.password, "pc-win", "", false), 0);
    const conference_login_info me = calls.login;
    const std::string jid = me.mUserId + "@" + me.messageServer + "/" + me.endpoint;
    ASSERT_EQ(client.CreateOrJoinConference("", "", demo.ownerPassword, jid), 0);
    const conference_join_info room = calls.join;
    ASSERT_EQ(client.GetMyConferences(0, demo.userId, "", 1, "CTA0", "", ""), 0);
    ASSERT_GE(calls.meetings.list.size(), 2u);
    const std::string detailed = calls.meetings.list[0].mConferenceId;
    const std::string deleted = calls.meetings.list[1].mConferenceId;
    std::string upperId = demo.userId;
    for (char& c : upperId) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    Json::Value booking;
    booking["title"] = "Planning";
    booking["startTime"] = Json::Int64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::system_clock::now().time_since_epoch() + 24h)
                                           .count());
    booking["lengthTime"] = 1800u;
    booking["mConferenceUsers"][0]["mUserId"] = upperId;
    const std::string book = Json::writeString(Json::StreamWriterBuilder(), booking);
    const std::string passwords = R"({"mUserId":")" + demo.userId + R"(","meetPassword":"1","ownerPassword":"2"})";

    std::string s1, s2, target;
    int code = 0;
    conferences_info info;
    const std::pair<const char*, std::function<int(VeltoHttpSignal&)>> requests[] = {
        {"read the account with its passwords", [&](auto& c) { return c.QueryUsers(demo.userId, s1, s2); }},
        {"read the meetings", [&](auto& c) { return c.GetMyConferences(0, demo.userId, "", 1, "", "", ""); }},
        {"read a meeting with its passwords",
         [&](auto& c) { return c.GetConferenceDetail(demo.userId, detailed, info); }},
        {"book a meeting", [&](auto& c) { return c.BookConferences(upperId, book); }},
        {"delete a meeting", [&](auto& c) { return c.DeleteConference(demo.userId, deleted); }},
        {"read the contacts", [&](auto& c) { return c.GetContacts(demo.userId); }},
        {"search as the user", [&](auto& c) { return c.SelectFriends(demo.userId, ""); }},
        {"add a contact", [&](auto& c) { return c.AddFriends(demo.userId, bob.userId, R"({"nickname":"B"})"); }},
        {"remove a contact", [&](auto& c) { return c.DeleteFriends(demo.userId, wang.userId); }},
        {"join as the user", [&](auto& c) { return c.CreateOrJoinConference(room.r, "", "", jid); }},
        {"claim the chair as the user",
         [&](auto& c) { return c.GetModerator(room.r, jid, demo.ownerPassword); }},
        {"lock the meeting as its moderator", [&](auto& c) { return c.LockConference(demo.userId, room.r, true); }},
        {"record as its moderator",
         [&](auto& c) { return c.StartRecord(demo.userId, room.r, room.record, jid, demo.meetPassword, "recording"); }},
        {"read the recordings", [&](auto& c) { return c.MyRecords(demo.userId); }},
        {"stop the recording as its moderator",
         [&](auto& c) { return c.StopRecord(demo.userId, jid, room.r, room.record); }},
        {"choose the stage as its moderator", [&](auto& c) { return c.SetStage(room.r, jid, jid, false); }},
        {"choose the layout as its moderator", [&](auto& c) { return c.SplitScreen(room.r, jid, "5"); }},
        {"choose who is shown as its moderator", [&](auto& c) { return c.SelectParticipants(room.r, jid, jid); }},
        {"read the room's resources as the user",
         [&](auto& c) { return c.GetConferenceResource(room.r, jid, s1, s2); }},
        {"extend the meeting as its moderator", [&](auto& c) { return c.ExtendConferenceTime(room.r, demo.userId, 5); }},
        {"call a phone as the user",
         [&](auto& c) { return c.CallPhone(room.r, jid, "13800000000", target, code); }},
        {"raise the user's hand", [&](auto& c) { return c.HandsUp("apply", room.r, jid, "Hand"); }},
        {"agree to a hand as if moderator", [&](auto& c) { return c.HandsUp("agree", room.r, jid, ""); }},
        {"hand the chair on as its moderator", [&](auto& c) { return c.GrantAdmin(room.r, jid, demo.userId); }},
        {"change the personal passwords", [&](auto& c) { return c.ModifyUsers(passwords); }},
    };
    for (const auto& [name, request] : requests) {
        SCOPED_TRACE(name);
        EXPECT_EQ(request(stranger), -1);
        EXPECT_EQ(request(client), 0);
    }
    ASSERT_EQ(client.QueryUsers(demo.userId, s1, s2), 0);
    EXPECT_EQ((Texts{s1, s2}), (Texts{"1", "2"})) << "changed once, by the user";
}

TEST_F(HttpClientTest, KeepAliveRunsBesideLogins) {
    connect();
    constexpr int kRounds = 20;
    std::thread keepAlive([&] {
        for (int i = 0; i < kRounds; ++i) client.KeepAlive("u1", "ep", std::to_string(i));
    });
    client.SetCallback(nullptr);
    for (int i = 0; i < kRounds; ++i) {
        client.Login(i % 2 ? server().host() : server().localhost(), "demo", "pw", "pc-win", "", false);
    }
    keepAlive.join();
    EXPECT_EQ(server().keepAliveCount(), kRounds);
}

}  // namespace
