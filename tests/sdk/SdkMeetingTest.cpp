// Meeting operations of the SDK against the local conference server: what
// each wrapper sends, the JSON bodies, the call-out rules and the operations
// reserved to the moderator.
#include <glog/logging.h>
#include <json/json.h>

#include <cctype>
#include <chrono>
#include <functional>
#include <sstream>
#include <utility>

#include "SdkTestFixture.h"

namespace velto::test {
namespace {

using Params = std::vector<std::pair<std::string, std::string>>;

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

Json::Value parsed(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &value, &errors)) << errors << "\n" << text;
    return value;
}

// Compares a sent JSON object with the expected one member by member; numbers
// compare by value whatever their JSON type.
void expectMembers(const Json::Value& got, const Json::Value& expected)
{
    ASSERT_TRUE(got.isObject());
    EXPECT_EQ(got.getMemberNames(), expected.getMemberNames());
    for (const std::string& name : expected.getMemberNames())
        EXPECT_EQ(got[name].toStyledString(), expected[name].toStyledString()) << name;
}

void expectParams(const RecordedRequest& request, const Params& params)
{
    for (const auto& [key, value] : params)
        EXPECT_EQ(request.param(key), value) << key;
}

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Keeps every glog line written while it lives.
class LogCapture : public google::LogSink {
public:
    LogCapture() { google::AddLogSink(this); }
    ~LogCapture() override { google::RemoveLogSink(this); }

    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&, const char* message,
              size_t length) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(message, length);
    }

    std::vector<std::string> lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

TEST_F(SdkTest, MeetingOperationsAddTheUserAndTheRoom)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    const std::string myJid = startDemoMeeting(*sdk, callback);
    const Account demo = server().demoAccount();
    const std::string recorder = "recorder@" + server().messageServer() + "/rec1";
    push(myJid, {R"({"type":"record","jid":")" + recorder + R"(","on":true})"});
    ASSERT_TRUE(callback.waitForEvent("onNotifyRecord"));

    struct Case {
        const char* name;
        std::function<int(VeltoSdk&)> call;
        std::string path;
        Params params;
        const char* answer;  // the callback operation that reports the answer, if any
    };
    const std::string& room = demo.room;
    const std::string& id = demo.userId;
    const std::string stranger = "bob@" + server().messageServer() + "/pc9";
    const Case cases[] = {
        {"LockConference", [](VeltoSdk& s) { return s.LockConference(true); }, "/conference/lock",
         {{"i", id}, {"r", room}, {"l", "true"}}, nullptr},
        {"SetStage", [&](VeltoSdk& s) { return s.SetStage(myJid, true); }, "/clientApi/stage/" + room,
         {{"userJid", myJid}, {"stageJid", myJid}, {"screen", "true"}}, nullptr},
        {"SplitScreen", [](VeltoSdk& s) { return s.SplitScreen(4); }, "/clientApi/splitScreen/" + room,
         {{"userJid", myJid}, {"splitScreen", "4"}}, nullptr},
        {"SelectParticipants", [&](VeltoSdk& s) { return s.SelectParticipants(myJid); },
         "/clientApi/selectParticipants/" + room, {{"userJid", myJid}, {"participants", myJid}}, nullptr},
        {"HandsUp", [&](VeltoSdk& s) { return s.HandsUp("apply", myJid, "Hand"); },
         "/clientApi/handsUp/apply/" + room, {{"userJid", myJid}, {"nickname", "Hand"}}, nullptr},
        {"ExtendConferenceTime", [&](VeltoSdk& s) { return s.ExtendConferenceTime(room, 30); },
         "/clientApi/conferences/extend/" + room, {{"userId", id}, {"lengthTime", "30"}}, nullptr},
        {"GetModerator", [&](VeltoSdk& s) { return s.GetModerator(room, demo.ownerPassword); }, "/user/getModerator",
         {{"r", room}, {"j", myJid}, {"p", demo.ownerPassword}}, "onGetModerator"},
        // The server announces the recording; a later notice names the recorder to stop.
        {"StartRecord",
         [&](VeltoSdk& s) {
             const int result = s.StartRecord("recording");
             EXPECT_TRUE(callback.waitForEvent("onNotifyRecord", 2));
             push(myJid, {R"({"type":"record","jid":")" + recorder + R"(","on":true})"});
             EXPECT_TRUE(callback.waitForEvent("onNotifyRecord", 3));
             return result;
         },
         "/clientApi/record/call/" + id + "/" + room,
         {{"userId", id}, {"rule", "recording"}, {"roomPassword", demo.meetPassword}, {"userJid", myJid},
          {"record", sdk->getHttpCallback()->getJoinInfo().record}},
         "onStartRecord"},
        {"StopRecord", [](VeltoSdk& s) { return s.StopRecord(); }, "/clientApi/record/close/" + id + "/" + room,
         {{"recordJid", recorder}, {"userJid", myJid}}, "onStopRecord"},
        {"GetMyConferences", [](VeltoSdk& s) { return s.GetMyConferences(5, "", 1, "CTA0", "MSA0", ""); },
         "/clientApi/conferences/" + id, {{"count", "5"}, {"page", "1"}, {"type", "CTA0"}, {"status", "MSA0"}},
         "onGetMyConferences"},
        {"GetContacts", [](VeltoSdk& s) { return s.GetContacts(); }, "/clientApi/friends/" + id, {}, "onGetContacts"},
        {"GetSearchContacts", [](VeltoSdk& s) { return s.GetSearchContacts("ali"); },
         "/clientApi/selectFriends/" + id, {{"search", "ali"}}, "onGetSearchContacts"},
        {"SendModerator", [&](VeltoSdk& s) { return s.SendModerator(stranger); }, "/user/grantAdmin",
         {{"r", room}, {"j", stranger}, {"i", id}}, nullptr},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server().clearRequests();
        EXPECT_EQ(c.call(*sdk), 0);
        const auto requests = server().requests(c.path);
        ASSERT_EQ(requests.size(), 1u);
        expectParams(requests[0], c.params);
        if (c.answer) {
            EXPECT_EQ(callback.events(c.answer).at(0).args.at(0), "200");
        }
    }
    // The recording asks for the conference resources first, although it
    // does not use their answer.
    server().clearRequests();
    ASSERT_EQ(sdk->StartRecord("recording"), 0);
    const auto requests = restRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].path, "/clientApi/conference/resources");
    EXPECT_EQ(requests[1].path, "/clientApi/record/call/" + id + "/" + room);
    // The hand-over to a participant who is not there fails in the signalling
    // client, so the role stays.
    EXPECT_TRUE(sdk->isModerator());
}

TEST_F(SdkTest, ReservationBodyCarriesTheFormTheServerAndTheUpperCasedUser)
{
    struct Case {
        const char* name;
        reservation_conference form;
    };
    const std::int64_t start = nowMs() + 3600 * 1000;
    reservation_conference once;
    once.title = "Budget review";
    once.startTime = start;
    once.lengthTime = 3600;
    once.autoRecord = "CRAO";
    once.ownerPassword = "Own-3141";
    once.meetPassword = "Meet-2718";
    once.videoNum = 9;
    reservation_conference weekly = once;
    weekly.title = "周会 weekly";
    weekly.autoRecord = "CRAC";
    weekly.cycle = 1;
    weekly.cycleDmy = 1;
    weekly.cycleStart = 36000;
    weekly.cycleEndDay = start + 14LL * 24 * 3600 * 1000;
    weekly.videoNum = 0;
    const Case cases[] = {{"one-time with nine windows", once}, {"weekly without window count", weekly}};

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    const std::string userId = server().demoAccount().userId;
    ASSERT_NE(upper(userId), userId) << "the test needs a user id with lower-case letters";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server().clearRequests();
        ASSERT_EQ(sdk->ReserveConference(c.form), 0);
        EXPECT_EQ(callback.events("onReserveConference").back().args, std::vector<std::string>{"200"});

        const auto requests = server().requests("/clientApi/conferences/" + upper(userId));
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].target, "/clientApi/conferences/" + upper(userId));
        EXPECT_EQ(requests[0].body.rfind("{\n   \"", 0), 0u) << "styled text";

        const reservation_conference& f = c.form;
        Json::Value expected(Json::objectValue);
        expected["title"] = f.title;
        expected["startTime"] = Json::Int64(f.startTime);
        expected["lengthTime"] = f.lengthTime;
        expected["number"] = 1;
        expected["meetPassword"] = f.meetPassword;
        expected["ownerPassword"] = f.ownerPassword;
        expected["cycle"] = f.cycle;
        expected["cycleDmy"] = f.cycleDmy;
        expected["cycleStart"] = f.cycleStart;
        expected["cycleEndDay"] = Json::Int64(f.cycleEndDay);
        expected["domain"] = server().host();
        expected["autoRecord"] = f.autoRecord;
        expected["mConferenceId"] = "";
        if (f.videoNum != 0)
            expected["videoNum"] = f.videoNum;
        expected["mConferenceUsers"][0]["mUserId"] = upper(userId);
        expectMembers(parsed(requests[0].body), expected);
    }

    // The reservations are there, with their details, and can be deleted.
    ASSERT_EQ(sdk->GetMyConferences(0, "", 1, "CTA0", "", ""), 0);
    const std::vector<std::string> listed = callback.events("onGetMyConferences").back().args;  // code, total, ids
    int reserved = 0;
    for (auto id = listed.begin() + 2; id != listed.end(); ++id) {
        conferences_info detail;
        ASSERT_EQ(sdk->GetConferenceDetail(*id, detail), 0);
        if (detail.title != once.title && detail.title != weekly.title)
            continue;
        ++reserved;
        EXPECT_EQ(sdk->DeleteConference(*id), 0);
        EXPECT_EQ(restRequests().back().path, "/clientApi/conferences/" + *id + "/" + userId);
    }
    EXPECT_EQ(reserved, 2);
}

TEST_F(SdkTest, ContactAndPasswordBodies)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    ASSERT_EQ(loginDemo(*sdk), 0);
    const std::string userId = server().demoAccount().userId;
    const std::string bob = server().account("bob").userId;

    server().clearRequests();
    ASSERT_EQ(sdk->AddContact(bob, "Bobby"), 0);
    const RecordedRequest added = restRequests().back();
    EXPECT_EQ(added.method, "POST");
    EXPECT_EQ(added.path, "/clientApi/friends/" + userId + "/" + bob) << "the user id as it is";
    Json::Value contact(Json::objectValue);
    contact["nickname"] = "Bobby";
    expectMembers(parsed(added.body), contact);

    ASSERT_EQ(sdk->ModifyConferences("Meet-5151", "Own-6161"), 0);
    const RecordedRequest changed = restRequests().back();
    EXPECT_EQ(changed.method, "PUT");
    EXPECT_EQ(changed.path, "/clientApi/users");
    Json::Value user(Json::objectValue);
    user["mUserId"] = upper(userId);
    user["meetPassword"] = "Meet-5151";
    user["ownerPassword"] = "Own-6161";
    expectMembers(parsed(changed.body), user);

    std::string meetPassword;
    std::string ownerPassword;
    ASSERT_EQ(sdk->QueryUsers(meetPassword, ownerPassword), 0);
    EXPECT_EQ(restRequests().back().path, "/clientApi/users/" + userId);
    EXPECT_EQ(meetPassword, "Meet-5151");
    EXPECT_EQ(ownerPassword, "Own-6161");
}

TEST_F(SdkTest, NoPasswordReachesTheLog)
{
    LogCapture log;
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    const Account demo = server().demoAccount();
    startDemoMeeting(*sdk, callback);
    ASSERT_EQ(sdk->StartRecord("recording"), 0);
    ASSERT_EQ(sdk->ModifyConferences("Meet-5151", "Own-6161"), 0);
    reservation_conference form;
    form.title = "Secret meeting";
    form.startTime = nowMs() + 3600 * 1000;
    form.lengthTime = 600;
    form.meetPassword = "Meet-7373";
    form.ownerPassword = "Own-8383";
    ASSERT_EQ(sdk->ReserveConference(form), 0);

    const auto lines = log.lines();
    ASSERT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("ModifyConferences") != std::string::npos;
    })) << "the capture sees the SDK's lines";
    for (const std::string& line : lines)
        for (const std::string& secret : {demo.password, demo.meetPassword, demo.ownerPassword,
                                          std::string("Meet-5151"), std::string("Own-6161"), form.meetPassword,
                                          form.ownerPassword})
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
}

TEST_F(SdkTest, HangUpTargetsThePhoneCallUnlessAnotherNumberIsNamed)
{
    struct Case {
        const char* name;
        const char* phone;  // dialled first, when given
        const char* number;
        std::string target;
    };
    const std::string gateway = "gateway@" + server().messageServer();
    const std::string phoneTarget = "13800138000@gateway." + server().messageServer();
    // The hang-up is queued: a call the server does not know is refused there.
    const Case cases[] = {
        {"no number", "13800138000", "", phoneTarget},
        {"the dialled number", "13800138000", "13800138000", phoneTarget},
        {"part of the target", "13800138000", "gateway", phoneTarget},
        {"a SIP address", nullptr, "sip:1001@example.org", "sip:1001@example.org"},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    startDemoMeeting(*sdk, callback);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.phone) {
            int code = 0;
            const std::size_t calls = sentCount("SipCall");
            ASSERT_EQ(sdk->CallPhone(c.phone, code), 0);
            EXPECT_EQ(code, 200);
            ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SipCall"; }, calls + 1));
            EXPECT_EQ(sent("SipCall").back().args, (std::vector<std::string>{gateway, phoneTarget,
                                                                             server().demoAccount().meetPassword}));
        }
        const std::size_t hangUps = sentCount("SipHangUp");
        EXPECT_EQ(sdk->HangUp(c.number), 0);
        ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SipHangUp"; }, hangUps + 1));
        EXPECT_EQ(sent("SipHangUp").back().args, (std::vector<std::string>{gateway, c.target}));
    }

    // A SIP call is hung up under its own address.
    ASSERT_EQ(sdk->CallSip("h323:10.0.0.9"), 0);
    EXPECT_EQ(sdk->HangUp("h323:10.0.0.9"), 0);
}

TEST_F(SdkTest, RefusedPhoneCallKeepsThePreviousTarget)
{
    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    startDemoMeeting(*sdk, callback);
    int code = 0;
    ASSERT_EQ(sdk->CallPhone("13800138000", code), 0);
    ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SipCall"; }));
    const std::size_t calls = sentCount("SipCall");

    server().setNoCredit(true);
    EXPECT_EQ(sdk->CallPhone("13900139000", code), -1);
    EXPECT_EQ(code, 301);
    EXPECT_EQ(sdk->HangUp(""), 0);
    ASSERT_TRUE(waitForSent([](const SentSignal& m) { return m.operation == "SipHangUp"; }));
    EXPECT_EQ(sentCount("SipCall"), calls) << "nothing is dialled";
    EXPECT_EQ(sent("SipHangUp").back().args.at(1), "13800138000@gateway." + server().messageServer());
}

TEST_F(SdkTest, OnlyTheModeratorDrawsOnTheWhiteboardAndAnnotates)
{
    struct Case {
        const char* name;
        bool moderator;
        std::function<int(VeltoSdk&)> send;
        const char* operation;
    };
    const Case cases[] = {
        {"whiteboard by the moderator", true, [](VeltoSdk& s) { return s.SendWhiteboard("message", "draw", "{}"); },
         "SendWhiteboardData"},
        {"whiteboard by a participant", false, [](VeltoSdk& s) { return s.SendWhiteboard("message", "draw", "{}"); },
         "SendWhiteboardData"},
        {"annotation by the moderator", true,
         [](VeltoSdk& s) { return s.SendAnnotate("message", "draw", "{}", ""); }, "SendAnnotateData"},
        {"annotation by a participant", false,
         [](VeltoSdk& s) { return s.SendAnnotate("message", "draw", "{}", ""); }, "SendAnnotateData"},
    };

    RecordingCallback callback;
    auto sdk = makeSdk(&callback);
    startDemoMeeting(*sdk, callback);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sdk->getHttpCallback()->setModerator(c.moderator);
        const std::size_t before = sentCount(c.operation);
        EXPECT_EQ(c.send(*sdk), c.moderator ? 0 : -1);
        if (c.moderator) {
            EXPECT_TRUE(waitForSent([&](const SentSignal& m) { return m.operation == c.operation; }, before + 1));
        } else {
            EXPECT_EQ(sentCount(c.operation), before);
        }
    }
}

}  // namespace
}  // namespace velto::test
