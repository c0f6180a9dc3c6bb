#ifndef CGLOBALINSTANCE_H
#define CGLOBALINSTANCE_H

#include "VeltoInterface.h"

#include <QDateTime>
#include <QPoint>
#include <QRect>
#include <QString>

#include <map>
#include <string>
#include <vector>

class CVeltoCallback;
class MainWindow;

// Interface language, as stored under "/Language/language".
enum eLANGUAGE { eCHINESE = 0, eENGLISH = 1 };

// The signed-in user.
struct UserInfo
{
    std::string server;     // conference server used for the login or anonymous join
    std::string username;   // login name; the nickname of an anonymous join
    std::string password;   // login password; the meeting password of an anonymous join
    std::string mUserName;  // display name from the login answer
    std::string myJid;      // own full signalling address
    std::string phone;
    std::string email;
    std::string videoLabel; // label of the own camera stream of the current meeting
    std::string shareLabel; // label of the own screen-share stream
    std::string photo;      // photo URL from the login answer
    int videoNum = 0;       // default maximum video number of the reservation form
};

// The personal room and the current meeting.
struct ConferenceInfo
{
    std::string room;
    int conferenceType = 0;
    int resolution = 0;     // camera height of the meeting
    int width = 0;          // camera width of the meeting
    int bandwidth = 0;
    std::string stageJid;
    std::string meetPassword;  // personal room's meeting password
    std::string ownerPassword; // personal room's moderator password
    bool withAudio = false;
    bool withVideo = false;
    bool recordFlag = false;
    int maxViewNum = 0;
};

// The general preferences, each named after its "/General/" key.
struct Preferences
{
    bool autoStart = false;
    bool autoLogin = false;
    bool fullScreen = false;
    bool audioMute = false;
    bool videoMute = false;
    bool showOffline = false;
    velto_webrtc::rtc_device_ videoDevice; // the stored camera, see getDefultVideoDevice
};

// Own camera capture size last requested from the SDK.
struct VideoResolution
{
    int width = 1920;
    int height = 1080;
};

// The program's process-wide state: static members and functions only.
//
// Threading rule for the whole program: everything here is read and written on
// the GUI thread only. SDK events that arrive on signalling or media threads are
// handed to the GUI thread by the callback bridge before they touch this state;
// the list and device functions assert it in debug builds.
class CGlobalInstance
{
public:
    CGlobalInstance() = delete;

    // --- state -------------------------------------------------------------
    static int eLanguage;
    static bool isLogin;
    static bool isAnonymousLogin;
    static bool isJoinConference;
    static int selectAppId;
    static int eSplitScreen;
    static bool isAudioMute;
    static bool isVideoMute;
    static bool isSecondStreamModel;
    // This client draws a whiteboard of its own (the meeting toolbar's); the
    // meeting window ends it with "destroy" when the user leaves.
    static bool isWhiteboard;
    // A read-only copy of another participant's whiteboard is open (the main
    // window's relay); nothing is sent when it closes.
    static bool isWhiteboardViewer;
    // Either of the two: the meeting window keeps its control bar while hidden.
    static bool anyWhiteboardOpen() { return isWhiteboard || isWhiteboardViewer; }
    static bool isShareWhiteboard;
    static std::string answerUserId;
    static constexpr int NO_POSITION = -1000;  // a saved coordinate that means "none saved"
    static QPoint mainPos;  // (NO_POSITION, NO_POSITION): no saved position
    static VideoResolution resolution;
    static UserInfo userInfo;
    static ConferenceInfo conferenceInfo;
    static Preferences preferences;
    static std::vector<bool> polling;
    static std::vector<std::string> user_subwidgets;
    static std::map<std::string, user_info> user_list;   // keyed by endpoint
    static std::map<std::string, bool> userOnline;       // keyed by lower-case user id
    static std::map<std::string, std::string> handsup_list;
    static std::vector<velto_webrtc::rtc_device_> video_devices;
    static std::vector<velto_webrtc::rtc_device_> audio_record_devices;
    static std::vector<velto_webrtc::rtc_device_> audio_playout_devices;
    static VeltoInterface* veltoSdk;
    static CVeltoCallback* veltoCallback;
    static MainWindow* mainWindow;
    static constexpr int SPACING = 20;
    static constexpr int VIDEO_NUM = 8;

    // --- paths -------------------------------------------------------------
    // The per-user data folder (private to the user), created when missing.
    static QString getDocumentPath();
    static QString getLogPath();
    static QString getIniPath();
    static QString getFullImagePath(QString name);
    // Cache file name of a photo URL: base name + query item "r" + "." + suffix,
    // always a plain file name inside the photos folder.
    static QString getImageName(QString url);
    static bool isFileExist(QString path);

    // --- SDK object and main window ------------------------------------------
    static VeltoInterface* getVeltoInterface();
    static void setMainWindow(MainWindow* window);
    static void showOrHideMainWindow(bool show);

    // --- preferences and settings file --------------------------------------
    static void getDefaultPreferences();
    static void setDefaultPreferences();
    static void setLanguage(eLANGUAGE language);
    // Registers (or removes) the program for start at log-in.
    static void autoStart(bool on);

    // --- screens and texts -----------------------------------------------------
    static QRect getScreenRect();
    static QRect getAvailableScreenRect();
    static QString getDataTimeByLanguage(QDateTime when, QString format);
    static QString getErrorByCode(int code);

    // --- jid parts ---------------------------------------------------------------
    static std::string getEndpointByJid(std::string jid);
    static std::string getUserId(std::string jid);
    static std::vector<std::string> split(std::string s, std::string sep);

    // --- participant list --------------------------------------------------------
    static void updateUserList(user_info user);
    static void removeUserFromList(std::string jid);
    static void clearUserList();
    static bool isLostModerator();
    static std::string getUsernameByJid(std::string jid);
    static std::string getLabelBySsrc(std::string endpoint, std::string ssrc, std::string& jid,
                                      std::string& nickname, bool& videoMute);
    static int getUserBySsrc(std::string ssrc, std::string& label, std::string& nickname, bool second);
    // The participant `jid` when it sends a stream but no video (no camera source): 0 and its label and name.
    static int getUserWithoutVideo(std::string jid, std::string& label, std::string& nickname);
    static bool getVideoMuteByLabel(std::string label);
    static bool isPhoneOrSip(std::string jid);

    // --- presence ----------------------------------------------------------------
    static void updateUserOnline(std::string userId, bool online);
    static bool getUserOnline(std::string userId);

    // --- devices -----------------------------------------------------------------
    static void getVideoAudioDevices();
    // 0 all present; -1 no camera; -2 no camera and no microphone; -3 no camera
    // and no speaker; 1 no microphone; 2 no speaker.
    static int checkDevices();
    // Whether another program holds the camera at `index` of video_devices
    // (-1: the stored camera). False when there is no such camera.
    static bool CheckVideoOccupied(int index);
    // Position in video_devices of the camera named by the "/Video/" keys:
    // found by name and id (rewriting "/Video/index" when it moved), else the
    // stored index, else 0. Call with a non-empty camera list.
    static int storedVideoDeviceIndex();
    static void getDefultVideoDevice();
    static int getVideoDevices();

    // --- camera size and strip geometry ----------------------------------------
    static void changeVideoResolution(int views);
    static void setMasterVideoResolution(std::string label, bool full);
    static int calcVideoWidgetPosX(int width, int i);

private:
    static void requestResolution(const std::string& label, int width, int height);
};

#endif // CGLOBALINSTANCE_H
