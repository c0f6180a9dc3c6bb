// Devices, camera size, strip geometry, participant list and presence.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "cglobalinstance.h"
#include "settings.h"

#include <gtest/gtest.h>

using namespace velto::test;

namespace {

using Devices = std::vector<velto_webrtc::rtc_device_>;

class DevicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    FakeVeltoInterface sdk;
};

TEST_F(DevicesTest, CheckDevicesCodes)
{
    const Devices one{{0, "device", "id-0"}};
    const std::tuple<bool, bool, bool, int> cases[] = {
        // camera, microphone, speaker -> code
        {true, true, true, 0},    {true, true, false, 2},   {true, false, true, 1},  {true, false, false, 1},
        {false, true, true, -1},  {false, true, false, -3}, {false, false, true, -2}, {false, false, false, -2},
    };
    for (const auto& [camera, microphone, speaker, code] : cases) {
        sdk.cameras = camera ? one : Devices{};
        sdk.microphones = microphone ? one : Devices{};
        sdk.speakers = speaker ? one : Devices{};
        EXPECT_EQ(CGlobalInstance::checkDevices(), code) << camera << microphone << speaker;
        EXPECT_EQ(CGlobalInstance::video_devices.size(), camera ? 1u : 0u);
        EXPECT_EQ(CGlobalInstance::audio_record_devices.size(), microphone ? 1u : 0u);
        EXPECT_EQ(CGlobalInstance::audio_playout_devices.size(), speaker ? 1u : 0u);
    }
}

struct OccupiedCase {
    const char* name;
    Devices cameras;
    const char* ini;  // stored camera keys, nullptr: none
    int index;
    std::set<int> busy;
    bool expected;
    const char* tested;  // camera handed to the SDK, nullptr: none
    int storedAfter;     // "/Video/index" afterwards
};

TEST_F(DevicesTest, CheckVideoOccupied)
{
    const Devices two{{0, "Front", "f"}, {1, "Back", "b"}};
    const OccupiedCase cases[] = {
        {"no camera", {}, nullptr, -1, {}, false, nullptr, -1},
        {"nothing stored: first camera", two, nullptr, -1, {0}, true, "Front", -1},
        {"stored camera moved to the front", {{0, "USB", "u"}, {1, "Front", "f"}},
         "[Video]\nindex=2\nid=u\nname=USB\n", -1, {}, false, "USB", 0},
        {"stored camera found at its index", two, "[Video]\nindex=1\nid=b\nname=Back\n", -1, {1}, true, "Back", 1},
        {"stored camera gone, index out of range", two, "[Video]\nindex=5\nid=x\nname=Gone\n", -1, {}, false, "Front",
         5},
        {"stored camera gone, index kept", two, "[Video]\nindex=1\nid=x\nname=Gone\n", -1, {}, false, "Back", 1},
        {"explicit row", two, nullptr, 1, {1}, true, "Back", -1},
        {"row past the list", two, nullptr, 7, {0, 1}, false, nullptr, -1},
        {"negative row", two, nullptr, -5, {0, 1}, false, nullptr, -1},
    };
    for (const OccupiedCase& c : cases) {
        SCOPED_TRACE(c.name);
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        sdk.clear();
        if (c.ini)
            writeIni(c.ini);
        CGlobalInstance::video_devices = c.cameras;
        sdk.occupiedCameras = c.busy;
        EXPECT_EQ(CGlobalInstance::CheckVideoOccupied(c.index), c.expected);
        if (c.tested) {
            EXPECT_EQ(sdk.count("IsVideoDeviceOccupied"), 1);
            EXPECT_EQ(sdk.last("IsVideoDeviceOccupied").args, Args{c.tested});
        } else {
            EXPECT_EQ(sdk.count("IsVideoDeviceOccupied"), 0);
        }
        EXPECT_EQ(Settings().intValue("/Video/index"), c.storedAfter);
        EXPECT_EQ(sdk.count("getVideoCaptureDevices"), 0) << "the list is not refreshed here";
    }
}

TEST_F(DevicesTest, StoredCameraForTheSecondCameraDialog)
{
    EXPECT_EQ(CGlobalInstance::getVideoDevices(), 0);
    sdk.cameras.clear();
    EXPECT_EQ(CGlobalInstance::getVideoDevices(), -1);

    CGlobalInstance::getDefultVideoDevice();
    EXPECT_EQ(CGlobalInstance::preferences.videoDevice.index, 0);
    writeIni("[Video]\nindex=3\nid=cam\nname=Desk\n");
    CGlobalInstance::getDefultVideoDevice();
    EXPECT_EQ(CGlobalInstance::preferences.videoDevice.index, 3);
    EXPECT_EQ(CGlobalInstance::preferences.videoDevice.id, "cam");
    EXPECT_EQ(CGlobalInstance::preferences.videoDevice.name, "Desk");
}

TEST_F(DevicesTest, CaptureSizeIsRequestedOnlyWhenItChanges)
{
    CGlobalInstance::userInfo.videoLabel = "own";
    CGlobalInstance::conferenceInfo.width = 1280;
    CGlobalInstance::conferenceInfo.resolution = 720;
    CGlobalInstance::resolution = {640, 360};

    struct Step {
        int views;
        Args request;  // empty: no SDK call
    };
    const Step steps[] = {
        {4, {"own", "640", "480", "30"}},  // same width, other height: still a change
        {4, {}},
        {5, {}},
        {7, {"own", "320", "180", "30"}},
        {9, {}},
        {2, {"own", "1280", "720", "30"}},
        {1, {}},
    };
    for (const Step& step : steps) {
        sdk.clear();
        CGlobalInstance::changeVideoResolution(step.views);
        if (step.request.empty()) {
            EXPECT_EQ(sdk.count("ChangeCameraResolution"), 0) << step.views;
        } else {
            EXPECT_EQ(sdk.names(), std::vector<std::string>{"ChangeCameraResolution"}) << step.views;
            EXPECT_EQ(sdk.last("ChangeCameraResolution").args, step.request);
        }
    }
    EXPECT_EQ(CGlobalInstance::resolution.width, 1280);
    EXPECT_EQ(CGlobalInstance::resolution.height, 720);
}

TEST_F(DevicesTest, MainViewCaptureSize)
{
    CGlobalInstance::conferenceInfo.width = 1280;
    CGlobalInstance::conferenceInfo.resolution = 720;
    CGlobalInstance::setMasterVideoResolution("cam", false);
    CGlobalInstance::setMasterVideoResolution("cam", false);
    CGlobalInstance::setMasterVideoResolution("cam", true);
    CGlobalInstance::setMasterVideoResolution("cam", true);
    const auto calls = sdk.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, (Args{"cam", "320", "180", "30"}));
    EXPECT_EQ(calls[1].args, (Args{"cam", "1280", "720", "30"}));
}

TEST(StripGeometry, CalcVideoWidgetPosX)
{
    const std::tuple<int, int, int> cases[] = {{1780, 0, 20}, {1780, 1, 240}, {1780, 2, 460}, {1780, 7, 1560},
                                               {180, 3, 80},  {100, 0, 20},   {100, 1, 30}};
    for (const auto& [width, i, x] : cases)
        EXPECT_EQ(CGlobalInstance::calcVideoWidgetPosX(width, i), x) << width << "," << i;
}

// A participant with a second stream beside each one it announces.
user_info sharingParticipant(std::string jid, std::string nickname, std::string ssrc = "", std::string label = "",
                             bool moderator = false, bool videoMute = false)
{
    user_info user = participant(std::move(jid), std::move(nickname), std::move(ssrc), std::move(label));
    user.secondSsrc = user.ssrc.empty() ? "" : user.ssrc + "-2";
    user.secondLabel = user.label.empty() ? "" : user.label + "-share";
    user.isModerator = moderator;
    user.videoMute = videoMute;
    return user;
}

TEST_F(DevicesTest, ParticipantList)
{
    EXPECT_TRUE(CGlobalInstance::isLostModerator());
    CGlobalInstance::updateUserList(sharingParticipant("ann@m/ep1", "Ann", "11", "la"));
    CGlobalInstance::updateUserList(sharingParticipant("bob@m/ep2", "Bob", "22", "lb", true, true));
    CGlobalInstance::updateUserList(sharingParticipant("other@m/ep1", "Ann again", "33", "lc"));
    ASSERT_EQ(CGlobalInstance::user_list.size(), 2u);
    EXPECT_EQ(CGlobalInstance::getUsernameByJid("x@y/ep1"), "Ann again");
    EXPECT_EQ(CGlobalInstance::getUsernameByJid("nobody@m/ep9"), "");
    EXPECT_FALSE(CGlobalInstance::isLostModerator());

    std::string jid = "keep", nickname = "keep";
    bool videoMute = false;
    EXPECT_EQ(CGlobalInstance::getLabelBySsrc("ep2", "22", jid, nickname, videoMute), "lb");
    EXPECT_EQ(jid, "bob@m/ep2");
    EXPECT_TRUE(videoMute);
    jid = nickname = "keep";
    EXPECT_EQ(CGlobalInstance::getLabelBySsrc("ep2", "99", jid, nickname, videoMute), "");
    EXPECT_EQ(jid, "keep");

    std::string label = "keep";
    EXPECT_EQ(CGlobalInstance::getUserBySsrc("33", label, nickname, false), 0);
    EXPECT_EQ(label, "lc");
    EXPECT_EQ(CGlobalInstance::getUserBySsrc("22-2", label, nickname, true), 0);
    EXPECT_EQ(label, "lb-share");
    EXPECT_EQ(nickname, "Bob");
    label = "keep";
    EXPECT_EQ(CGlobalInstance::getUserBySsrc("22-2", label, nickname, false), -1);
    EXPECT_EQ(label, "keep");

    EXPECT_TRUE(CGlobalInstance::getVideoMuteByLabel("lb"));
    EXPECT_FALSE(CGlobalInstance::getVideoMuteByLabel("none"));

    CGlobalInstance::removeUserFromList("bob@m/ep2");
    EXPECT_TRUE(CGlobalInstance::isLostModerator());
    CGlobalInstance::clearUserList();
    EXPECT_TRUE(CGlobalInstance::user_list.empty());
}

TEST_F(DevicesTest, PhoneParticipants)
{
    CGlobalInstance::updateUserList(sharingParticipant("gateway@m/tel1", "tel:5551234"));
    CGlobalInstance::updateUserList(sharingParticipant("gateway@m/sip1", "sip:room@example.org"));
    CGlobalInstance::updateUserList(sharingParticipant("ann@m/tel2", "tel:5550000"));
    const std::pair<const char*, bool> cases[] = {
        {"gateway@m/tel1", true}, {"gateway@m/sip1", false}, {"ann@m/tel2", false}, {"gateway@m/none", false}};
    for (const auto& [jid, phone] : cases)
        EXPECT_EQ(CGlobalInstance::isPhoneOrSip(jid), phone) << jid;
}

TEST_F(DevicesTest, PresenceLooksUpLowerCaseIds)
{
    CGlobalInstance::updateUserOnline("alice", true);
    CGlobalInstance::updateUserOnline("bob", false);
    EXPECT_TRUE(CGlobalInstance::getUserOnline("ALICE"));
    EXPECT_TRUE(CGlobalInstance::getUserOnline("Alice"));
    EXPECT_FALSE(CGlobalInstance::getUserOnline("bob"));
    EXPECT_FALSE(CGlobalInstance::getUserOnline("carol"));
    CGlobalInstance::updateUserOnline("alice", false);
    EXPECT_FALSE(CGlobalInstance::getUserOnline("alice"));
}

}  // namespace
