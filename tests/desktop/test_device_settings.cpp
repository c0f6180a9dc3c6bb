// Device settings: the level rules, the device-name matching that joins system
// and engine devices, the device check's stored choice, and the preferences'
// pages, audio tests and meter.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "audioiodevice.h"
#include "avcheckwidget.h"
#include "cglobalinstance.h"
#include "devicechoice.h"
#include "preferenceswidget.h"
#include "settings.h"
#include "updaterules.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAudioDeviceInfo>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <thread>

using namespace velto::test;

namespace {

using Devices = std::vector<velto_webrtc::rtc_device_>;

TEST(AudioLevels, EveryFourthCaptureByteBecomesALevel)
{
    const std::pair<QByteArray, QList<int>> cases[] = {
        {QByteArray::fromHex("80000000" "00000000" "ff000000" "40000000"), {0, 128, 127, 64}},
        {QByteArray::fromHex("000000"), {}},
        {QByteArray::fromHex("00111111" "222222"), {128}},
        {QByteArray::fromHex("7f7f7f7f" "81"), {1}},
    };
    for (const auto& [bytes, levels] : cases) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        AudioIODevice device;
        device.open(QIODevice::WriteOnly);
        QSignalSpy spy(&device, &AudioIODevice::sigDBdata);
        EXPECT_EQ(device.write(bytes), bytes.size());
        QList<int> seen;
        for (const QList<QVariant>& args : spy)
            seen << args.at(0).toInt();
        EXPECT_EQ(seen, levels);
    }
}

TEST(AudioLevels, MeterAveragesTenLevelsOntoTheBar)
{
    struct Case {
        const char* name;
        std::vector<int> levels;
        int shown;  // -1: nothing shown yet
    };
    const Case cases[] = {
        {"ten of 75", std::vector<int>(10, 75), 40},
        {"ten of 50", std::vector<int>(10, 50), 0},
        {"nine levels", std::vector<int>(9, 75), -1},
        {"60..69", {60, 61, 62, 63, 64, 65, 66, 67, 68, 69}, 18},
        {"average 90", std::vector<int>(10, 90), 70},
        {"average above 90 stays on the bar", std::vector<int>(10, 100), 70},
        {"negative levels", std::vector<int>(10, -20), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        devicechoice::MicLevelMeter meter;
        int shown = -1;
        for (int level : c.levels)
            if (const int value = meter.add(level); value >= 0)
                shown = value;
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(DeviceNames, EngineDeviceFoundByTheSystemName)
{
    const Devices engine{{0, "Front (USB Mic)", "a"}, {1, "USB Mic", "b"}, {2, "Monitor of Null Output (vsink.monitor)", "c"}};
    const std::pair<const char*, int> cases[] = {
        {"USB Mic", 0},          // contained in two: the first in the engine's list
        {"vsink.monitor", 2},    //
        {"USB Mic Pro", -1},     // an engine name that is only part of the system name
        {"", -1},                // no choice matches nothing
        {"usb mic", -1},         // bytes, not letters
    };
    for (const auto& [text, position] : cases)
        EXPECT_EQ(devicechoice::findDeviceContaining(engine, QByteArray(text)), position) << text;
}

TEST(DeviceNames, SystemOutputFoundForTheEngineSpeaker)
{
    const QStringList system{"", "vsink", "vsink.monitor", "alsa_output"};
    const std::pair<const char*, int> cases[] = {
        {"Null Output (vsink)", 1},
        {"Null Output (vsink.monitor)", 1},  // the leading name comes first in the system's list
        {"HDMI", -1},
        {"", -1},
    };
    for (const auto& [engine, position] : cases)
        EXPECT_EQ(devicechoice::findSystemDevice(system, engine), position) << engine;
    EXPECT_EQ(devicechoice::findSystemDevice({""}, "anything"), -1);
}

TEST(DeviceNames, ComboRowDataIsBoundsChecked)
{
    const std::tuple<QVariant, size_t, int> cases[] = {
        {QVariant(1), 2, 1}, {QVariant(2), 2, -1}, {QVariant(-1), 2, -1}, {QVariant(), 2, -1}, {QVariant("x"), 2, -1},
        {QVariant(0), 0, -1},
    };
    for (const auto& [data, count, position] : cases)
        EXPECT_EQ(devicechoice::positionFromItemData(data, count), position) << data.toString().toStdString();
}

TEST(UpdateRules, OnlyAStrictlyNewerPlainVersionIsOffered)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"1.0.9", "1.0.10", true}, {"1.0.9", "1.1", true},     {"1.0.9", "2.0.0", true},  {"1.0.9", "1.0.9.1", true},
        {"1.0.9", "1.0.9", false}, {"1.0.9", "1.0.8", false},  {"1.0.9", "", false},      {"1.0.9", "test_2.0", false},
        {"1.0.9", "2.0.0-beta", false}, {"1.0.9", "v2", false}, {"1.0.9", "1.0.9.0", false}, {"1.0.9", " 1.1 ", true},
    };
    for (const auto& [current, latest, newer] : cases)
        EXPECT_EQ(updaterules::isNewerVersion(current, latest), newer) << current << " -> " << latest;
}

TEST(UpdateRules, PackageNamesAndDigests)
{
    const std::pair<const char*, bool> names[] = {
        {"velto-1.1.0.pkg", true}, {"a.b", true},      {"", false},         {".", false},   {"..", false},
        {"../x", false},           {"a/b", false},     {"a\\b", false},     {"x..", false}, {"/etc/passwd", false},
        {"a\nb", false},
    };
    for (const auto& [name, plain] : names)
        EXPECT_EQ(updaterules::isPlainFileName(name), plain) << name;

    const QString digest = "0123456789abcdef0123456789abcdef";
    const std::tuple<QString, QString, bool> digests[] = {
        {digest, digest, true},          {digest, digest.toUpper(), true}, {digest, " " + digest + " ", true},
        {digest, digest.left(31), false}, {"", "", false},                  {"zz", "zz", false},
    };
    for (const auto& [computed, expected, same] : digests)
        EXPECT_EQ(updaterules::sameDigest(computed, expected), same) << expected.toStdString();
}

class DeviceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    template <typename T>
    static T* child(QWidget* window, const char* name)
    {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    FakeVeltoInterface sdk;
};

TEST_F(DeviceWindowTest, DeviceCheckStoresTheEngineDeviceThatNamesTheChoice)
{
    struct Case {
        const char* name;
        Devices engine;
        const char* chosen;
        const char* ini;       // before
        QStringList expected;  // index, id, name afterwards ("" when absent)
    };
    const Case cases[] = {
        {"system name inside the engine name", {{0, "Null Output (vsink)", "s-0"}}, "vsink", nullptr, {"0", "s-0", "Null Output (vsink)"}},
        {"two engine names contain it: the first", {{3, "USB Mic", "u-3"}, {4, "USB Mic 2", "u-4"}}, "USB Mic", nullptr,
         {"3", "u-3", "USB Mic"}},
        {"engine name only part of the choice", {{0, "USB", "u"}}, "USB Mic Pro", nullptr, {"", "", ""}},
        {"nothing chosen", {{0, "USB", "u"}}, "", "[Micphone]\nindex=7\nid=old\nname=Old\n", {"7", "old", "Old"}},
        {"no match keeps the stored device", {{0, "USB", "u"}}, "HDMI", "[Micphone]\nindex=7\nid=old\nname=Old\n",
         {"7", "old", "Old"}},
    };
    // One window for all rows: listing the system's devices is slow under the sanitizers.
    AVCheckWidget check;
    auto* box = child<QComboBox>(&check, "micphoneComboBox");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        if (c.ini)
            writeIni(c.ini);
        CGlobalInstance::audio_record_devices = c.engine;
        box->clear();
        box->addItem(c.chosen);  // a system device the list does not hold: starts no capture
        check.updateProfile();
        Settings settings;
        const QString index = settings.intValue("/Micphone/index") == -1 ? QString() : settings.value("/Micphone/index");
        EXPECT_EQ((QStringList{index, settings.value("/Micphone/id"), settings.value("/Micphone/name")}), c.expected);
    }
}

// Needs the null sink that the test command starts.
TEST_F(DeviceWindowTest, DeviceCheckPreselectsTheSystemDeviceOfTheStoredChoice)
{
    QStringList inputs;
    for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioInput))
        inputs << device.deviceName();
    if (!inputs.contains("vsink.monitor"))
        GTEST_SKIP() << "no PulseAudio null sink";
    AVCheckWidget check;
    auto* box = child<QComboBox>(&check, "micphoneComboBox");
    for (const char* stored : {"vsink.monitor", "Stand-in Microphone (vsink.monitor)"}) {
        SCOPED_TRACE(stored);
        writeIni(QString("[Micphone]\nname=%1\n").arg(stored));
        box->setCurrentIndex(0);
        check.refreshInputDevices();
        EXPECT_EQ(box->currentText(), "vsink.monitor");
    }
}

TEST_F(DeviceWindowTest, DeviceCheckEndsOnceAndStoresOnlyOnOk)
{
    const std::pair<const char*, bool> exits[] = {{"back", false}, {"title bar", false}, {"ok", true}};
    for (const auto& [how, joins] : exits) {
        SCOPED_TRACE(how);
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::video_devices = {{0, "Camera", "camera-0"}, {1, "Camera 2", "camera-1"}};
        QPointer<AVCheckWidget> check = new AVCheckWidget();
        check->show();
        child<QComboBox>(check, "cameraComboBox")->setCurrentIndex(1);
        QSignalSpy closed(check.data(), &AVCheckWidget::sigClose);
        bool storedBeforeJoin = false;
        QObject::connect(check.data(), &AVCheckWidget::sigJoin, check.data(),
                         [&] { storedBeforeJoin = Settings().value("/Video/name") == "Camera 2"; });
        if (std::string(how) == "title bar")
            check->close();
        else
            child<QAbstractButton>(check, how)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(check.isNull()) << "deleted on close";
        EXPECT_EQ(closed.count(), joins ? 0 : 1);
        EXPECT_EQ(storedBeforeJoin, joins);
        EXPECT_EQ(Settings().value("/Video/id"), joins ? "camera-1" : "");
    }
}

TEST_F(DeviceWindowTest, PreferencesChooseTheStoredCameraOrTheFirst)
{
    sdk.cameras = {{0, "Front", "f"}, {1, "Back", "b"}};
    const std::pair<const char*, QStringList> cases[] = {
        {nullptr, {"0", "f", "Front"}},
        {"[Video]\nindex=5\nid=b\nname=Back\n", {"1", "b", "Back"}},
        {"[Video]\nindex=1\nid=other\nname=Back\n", {"0", "f", "Front"}},  // same name, another id
    };
    for (const auto& [ini, expected] : cases) {
        SCOPED_TRACE(ini ? ini : "none");
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        if (ini)
            writeIni(ini);
        auto* preferences = new PreferencesWidget();
        EXPECT_EQ(child<QComboBox>(preferences, "videoComboBox")->currentText(), expected.last());
        delete preferences;
        Settings settings;
        EXPECT_EQ((QStringList{settings.value("/Video/index"), settings.value("/Video/id"), settings.value("/Video/name")}),
                  expected);
    }
}

TEST_F(DeviceWindowTest, PreferencesGeneralFlagWritesAllSix)
{
    auto* preferences = new PreferencesWidget();
    child<QCheckBox>(preferences, "autoLoginCheckBox")->click();
    delete preferences;
    Settings settings;
    for (const char* key : {"autoStart", "autoLogin", "fullScreen", "audioMute", "videoMute", "showOffline"})
        EXPECT_FALSE(settings.value(QString("/General/") + key).isEmpty()) << key;
    EXPECT_TRUE(CGlobalInstance::preferences.autoLogin);
}

TEST_F(DeviceWindowTest, PreferencesVideoPageStartsThePreviewOnce)
{
    sdk.cameras = {{0, "Front", "f"}};
    auto* preferences = new PreferencesWidget();
    auto* video = child<QAbstractButton>(preferences, "btnPreferencesVideo");
    video->click();
    video->click();
    EXPECT_EQ(sdk.count("ShowLocalPreview"), 1);
    child<QAbstractButton>(preferences, "btnPreferencesGerenal")->click();
    video->click();
    EXPECT_EQ(sdk.count("ShowLocalPreview"), 2);
    delete preferences;
}

// During a meeting the engine's microphone and speaker are the meeting's: a
// choice switches them for the meeting (a running direction goes on with the
// new device), and the microphone test shows the meeting's capture level
// without changing the engine's work mode or stopping what the meeting runs.
TEST_F(DeviceWindowTest, PreferencesDuringAMeetingSwitchItsDevicesAndShowItsLevel)
{
    for (bool capturing : {true, false}) {
        SCOPED_TRACE(capturing ? "the meeting captures" : "the meeting does not capture yet");
        resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        sdk.microphones = {{0, "Mic A", "a"}, {1, "Mic B", "b"}};
        sdk.speakers = {{0, "Speaker A", "a"}, {1, "Speaker B", "b"}};
        sdk.audioRecording = capturing;
        sdk.audioPlaying = true;
        CGlobalInstance::isJoinConference = true;
        sdk.clear();
        auto* preferences = new PreferencesWidget();
        // Opening switches nothing: the meeting runs on the stored devices.
        EXPECT_EQ(sdk.count("SetAudioRecordDevice") + sdk.count("SetAudioPlayoutDevice"), 0);

        child<QAbstractButton>(preferences, "btnPreferencesAudio")->click();
        child<QAbstractButton>(preferences, "btnTestMicphone")->click();
        EXPECT_EQ(sdk.count("StartAudioRecording"), capturing ? 0 : 1);
        ASSERT_NE(sdk.levelObserver.load(), nullptr);
        for (int i = 0; i < 10; ++i)
            sdk.levelObserver.load()->OnCaptureDataDB(75);
        QCoreApplication::processEvents();
        EXPECT_EQ(child<QProgressBar>(preferences, "micphoneLevelProgressBar")->value(), 40);

        // Another microphone ends the test (no level shown any more) and
        // becomes the meeting's.
        child<QComboBox>(preferences, "micphoneComboBox")->setCurrentIndex(1);
        EXPECT_EQ(sdk.levelObserver.load(), nullptr);
        EXPECT_EQ(sdk.last("SetAudioRecordDevice").args, (Args{"1"}));
        EXPECT_EQ(sdk.audioRecording, capturing);
        sdk.clear();
        child<QComboBox>(preferences, "speakerComboBox")->setCurrentIndex(1);
        EXPECT_EQ(sdk.names(), (std::vector<std::string>{"AudioPlaying", "StopAudioPlayout", "SetAudioPlayoutDevice",
                                                         "StartAudioPlayout", "SpeakerVolumeIsAvailable",
                                                         "MinSpeakerVolume", "MaxSpeakerVolume", "SpeakerVolume"}));
        EXPECT_EQ(sdk.last("SetAudioPlayoutDevice").args, (Args{"1"}));

        child<QAbstractButton>(preferences, "btnPreferencesGerenal")->click();
        preferences->close();
        delete preferences;
        EXPECT_EQ(sdk.count("SetAudioDeviceWorkMode"), 0);
        EXPECT_EQ(sdk.audioRecording, capturing);
        EXPECT_TRUE(sdk.audioPlaying);
        EXPECT_EQ(Settings().value("/Micphone/name"), "Mic B");
        EXPECT_EQ(Settings().value("/Speaker/name"), "Speaker B");
    }
}

TEST_F(DeviceWindowTest, PreferencesMicrophoneTestStartsAndStops)
{
    auto* preferences = new PreferencesWidget();
    auto* test = child<QAbstractButton>(preferences, "btnTestMicphone");
    sdk.clear();
    test->click();
    EXPECT_EQ(sdk.names(), (std::vector<std::string>{"SetAudioCaptureDataDBObserver", "SetAudioDeviceWorkMode",
                                                     "StartAudioRecording", "StartAudioPlayout"}));
    EXPECT_EQ(sdk.last("SetAudioDeviceWorkMode").args, (Args{"1"}));
    test->click();
    EXPECT_FALSE(sdk.audioRecording);
    EXPECT_FALSE(sdk.audioPlaying);
    EXPECT_EQ(sdk.last("SetAudioDeviceWorkMode").args, (Args{"0"}));
    delete preferences;
    EXPECT_EQ(sdk.last("SetAudioCaptureDataDBObserver").args, (Args{"false"}));
}

TEST_F(DeviceWindowTest, PreferencesSlidersAndSpeakerDriveTheEngine)
{
    sdk.speakers = {{0, "Speaker A", "a"}, {4, "Speaker B", "b"}};
    auto* preferences = new PreferencesWidget();
    sdk.clear();
    child<QSlider>(preferences, "micphoneVolumeHorizontalSlider")->setValue(77);
    EXPECT_EQ(sdk.last("SetMicrophoneVolume").args, (Args{"77"}));
    child<QSlider>(preferences, "speakerVolumeHorizontalSlider")->setValue(33);
    EXPECT_EQ(sdk.last("SetSpeakerVolume").args, (Args{"33"}));
    child<QComboBox>(preferences, "speakerComboBox")->setCurrentText("Speaker B");
    EXPECT_EQ(sdk.last("SetAudioPlayoutDevice").args, (Args{"4"}));
    EXPECT_EQ(Settings().value("/Speaker/index"), "4");
    delete preferences;
}

TEST_F(DeviceWindowTest, LevelMeterFedFromTheEngineThread)
{
    auto* preferences = new PreferencesWidget();
    auto* bar = child<QProgressBar>(preferences, "micphoneLevelProgressBar");
    AudioDbObserver observer;
    observer.setPreferenceWidget(preferences);
    std::thread engine([&] {
        for (int i = 0; i < 2000; ++i)
            observer.OnCaptureDataDB(75);
    });
    engine.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 40);
    delete preferences;
}

}  // namespace
