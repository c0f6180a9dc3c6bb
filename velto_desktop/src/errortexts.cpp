#include "cglobalinstance.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <iterator>

namespace {

struct ErrorText
{
    int code;
    const char* text; // English source text, the translation key
};

// Sorted by code.
const ErrorText kErrorTexts[] = {
    {0, QT_TRANSLATE_NOOP("QObject", "Request timeout")},
    {101, QT_TRANSLATE_NOOP("QObject", "ID is null")},
    {102, QT_TRANSLATE_NOOP("QObject", "JID is null")},
    {103, QT_TRANSLATE_NOOP("QObject", "JID is illegal")},
    {104, QT_TRANSLATE_NOOP("QObject", "Authorized user JID is null")},
    {105, QT_TRANSLATE_NOOP("QObject", "Authorized user JID is illegal")},
    {106, QT_TRANSLATE_NOOP("QObject", "Username is null")},
    {107, QT_TRANSLATE_NOOP("QObject", "Passeord is null")},
    {108, QT_TRANSLATE_NOOP("QObject", "Nickname is null")},
    {109, QT_TRANSLATE_NOOP("QObject", "Endpoint is null")},
    {110, QT_TRANSLATE_NOOP("QObject", "Client type is null")},
    {111, QT_TRANSLATE_NOOP("QObject", "Domain is null")},
    {112, QT_TRANSLATE_NOOP("QObject", "Nickname is null")},
    {113, QT_TRANSLATE_NOOP("QObject", "Conference ID is null")},
    {114, QT_TRANSLATE_NOOP("QObject", "Conference number is null")},
    {115, QT_TRANSLATE_NOOP("QObject", "Moderator password is null")},
    {116, QT_TRANSLATE_NOOP("QObject", "Conference password is null")},
    {117, QT_TRANSLATE_NOOP("QObject", "Lock type is null")},
    {118, QT_TRANSLATE_NOOP("QObject", "Lock type is illegal")},
    {119, QT_TRANSLATE_NOOP("QObject", "timestamp is illegal")},
    {120, QT_TRANSLATE_NOOP("QObject", "Recorder server is null")},
    {121, QT_TRANSLATE_NOOP("QObject", "Recorder rule is null")},
    {122, QT_TRANSLATE_NOOP("QObject", "Recorder JID is null")},
    {123, QT_TRANSLATE_NOOP("QObject", "Recorder resource ID is null")},
    {124, QT_TRANSLATE_NOOP("QObject", "Extend time is illegal,less than 60 minutes")},
    {125, QT_TRANSLATE_NOOP("QObject", "Count is null")},
    {126, QT_TRANSLATE_NOOP("QObject", "Count must be a number")},
    {127, QT_TRANSLATE_NOOP("QObject", "Page must be a number")},
    {128, QT_TRANSLATE_NOOP("QObject", "Page must be less than count")},
    {129, QT_TRANSLATE_NOOP("QObject", "Date format is illegal")},
    {130, QT_TRANSLATE_NOOP("QObject", "Friend ID is null")},
    {131, QT_TRANSLATE_NOOP("QObject", "Friend nickname is null")},
    {139, QT_TRANSLATE_NOOP("QObject", "Max video number is 9")},
    {140, QT_TRANSLATE_NOOP("QObject", "video number out of resource")},
    {401, QT_TRANSLATE_NOOP("QObject", "Conference is not exist")},
    {403, QT_TRANSLATE_NOOP("QObject", "Conference is Locked")},
    {404, QT_TRANSLATE_NOOP("QObject", "Focus is not found")},
    {405, QT_TRANSLATE_NOOP("QObject", "Videobridget is not found")},
    {406, QT_TRANSLATE_NOOP("QObject", "Conference password error")},
    {407, QT_TRANSLATE_NOOP("QObject", "No available Conference")},
    {408, QT_TRANSLATE_NOOP("QObject", "Conference number is illegal")},
    {409, QT_TRANSLATE_NOOP("QObject", "Conference is unopened")},
    {410, QT_TRANSLATE_NOOP("QObject", "User has already in Conference")},
    {411, QT_TRANSLATE_NOOP("QObject", "The Conference has ended")},
    {412, QT_TRANSLATE_NOOP("QObject", "Create or join Conference failure")},
    {413, QT_TRANSLATE_NOOP("QObject", "No available Conference in the reservation time range")},
    {414, QT_TRANSLATE_NOOP("QObject", "Conference endtime should be less than current time ")},
    {415, QT_TRANSLATE_NOOP("QObject", "Conference lock status error")},
    {417, QT_TRANSLATE_NOOP("QObject", " Participants are required")},
    {418, QT_TRANSLATE_NOOP("QObject", "Joining conference failed")},
    {419, QT_TRANSLATE_NOOP("QObject", "Not receiving messages of joining conference")},
    {420, QT_TRANSLATE_NOOP("QObject", "Conference is not in progress")},
    {423, QT_TRANSLATE_NOOP("QObject", "Conference room attendance limit or concurrent user number upper limit")},
    {424, QT_TRANSLATE_NOOP("QObject", "You can enter the meeting 15 minutes before the meeting starts")},
    {425, QT_TRANSLATE_NOOP("QObject", "The conference room is being closed, please wait later")},
    {426, QT_TRANSLATE_NOOP("QObject", "The conference began immediately, can not be modified")},
    {427, QT_TRANSLATE_NOOP("QObject", "The conference is not reserved, cannot be modified")},
    {429, QT_TRANSLATE_NOOP("QObject", "Resource error in conference room")},
    {500, QT_TRANSLATE_NOOP("QObject", "Request failed")},
    {501, QT_TRANSLATE_NOOP("QObject", "Conference password error")},
    {502, QT_TRANSLATE_NOOP("QObject", "Recorder is not exist")},
    {503, QT_TRANSLATE_NOOP("QObject", "Conference is not in progress")},
    {504, QT_TRANSLATE_NOOP("QObject", "Too less partipants in conferece,record failed")},
    {505, QT_TRANSLATE_NOOP("QObject", "The upper limit of recorder")},
    {506, QT_TRANSLATE_NOOP("QObject", "The recorder storage is full")},
    {507, QT_TRANSLATE_NOOP("QObject", "Current user is not moderator")},
    {508, QT_TRANSLATE_NOOP("QObject", "Conference has no moderator")},
    {509, QT_TRANSLATE_NOOP("QObject", "Recorder is closing,please waiting")},
    {510, QT_TRANSLATE_NOOP("QObject", "Recoder rule error")},
    {511, QT_TRANSLATE_NOOP("QObject", "SIP number error")},
    {512, QT_TRANSLATE_NOOP("QObject", "Recorder has existed")},
    {513, QT_TRANSLATE_NOOP("QObject", "Recorder params error")},
    {515, QT_TRANSLATE_NOOP("QObject", "Recorder server is not exist")},
    {601, QT_TRANSLATE_NOOP("QObject", "Username or password error")},
    {602, QT_TRANSLATE_NOOP("QObject", "User status error")},
    {603, QT_TRANSLATE_NOOP("QObject", "User is not exist")},
    {604, QT_TRANSLATE_NOOP("QObject", "Login failed")},
    {605, QT_TRANSLATE_NOOP("QObject", "User has logout")},
    {606, QT_TRANSLATE_NOOP("QObject", "User has no authority")},
    {607, QT_TRANSLATE_NOOP("QObject", "User origin password error")},
    {608, QT_TRANSLATE_NOOP("QObject", "Photo format is not supported")},
    {609, QT_TRANSLATE_NOOP("QObject", "Photo is too big")},
    {610, QT_TRANSLATE_NOOP("QObject", "Initialization of user information failure")},
    {612, QT_TRANSLATE_NOOP("QObject", "Users do not have second stream")},
    {701, QT_TRANSLATE_NOOP("QObject", "Authorized moderator failed")},
    {702, QT_TRANSLATE_NOOP("QObject", "Moderator has already exist")},
    {703, QT_TRANSLATE_NOOP("QObject", "Moderator password error")},
    {704, QT_TRANSLATE_NOOP("QObject", "Current user is not moderator")},
    {705, QT_TRANSLATE_NOOP("QObject", "Conference has no moderator")},
    {706, QT_TRANSLATE_NOOP("QObject", "Moderator is sharing screen")},
    {707, QT_TRANSLATE_NOOP("QObject", "Moderator is sharing whiteboard")},
    {4031, QT_TRANSLATE_NOOP("QObject", "Conference resource is full")},
    {4032, QT_TRANSLATE_NOOP("QObject", "Conference is unavailable")},
    {4033, QT_TRANSLATE_NOOP("QObject", "Conference is closing,please waiting")},
    {100000, QT_TRANSLATE_NOOP("QObject", "This operation will modify the participant's main audio switch, whether to continue")},
    {100001, QT_TRANSLATE_NOOP("QObject", "This operation will modify the attendees video switch, whether to continue")},
    {100002, QT_TRANSLATE_NOOP("QObject", "This operation will grant the host moderator permission, whether to continue")},
    {100003, QT_TRANSLATE_NOOP("QObject", "This operation will kick the participant out of the room, whether to continue")},
    {100004, QT_TRANSLATE_NOOP("QObject", "No permission to cancel after host mute")},
    {100005, QT_TRANSLATE_NOOP("QObject", "Screen sharing, you can not perform permission transfer operations")},
    {100006, QT_TRANSLATE_NOOP("QObject", "Whether to close whiteboard")},
    {100007, QT_TRANSLATE_NOOP("QObject", "Whether to close screen sharing")},
    {100008, QT_TRANSLATE_NOOP("QObject", "Whether to close record")},
    {100009, QT_TRANSLATE_NOOP("QObject", "Current display mode does not support screen sharing")},
    {100010, QT_TRANSLATE_NOOP("QObject", "Can not change display mode when screen sharing")},
    {100011, QT_TRANSLATE_NOOP("QObject", "Can not transfer moderator to sip")},
    {100012, QT_TRANSLATE_NOOP("QObject", "Can not screen share when video muted")},
    {100013, QT_TRANSLATE_NOOP("QObject", "Can not screen share when share whitebord")},
    {100014, QT_TRANSLATE_NOOP("QObject", "Can not share whitebord when screen sharing")},
    {100015, QT_TRANSLATE_NOOP("QObject", "Network error")},
    {100016, QT_TRANSLATE_NOOP("QObject", "Lost morderator,conference will be close in 5 mins")},
    {100017, QT_TRANSLATE_NOOP("QObject", "Video input device not detected")},
    {100018, QT_TRANSLATE_NOOP("QObject", "Audio input device not detected")},
    {100019, QT_TRANSLATE_NOOP("QObject", "Audio output device not detected")},
    {100020, QT_TRANSLATE_NOOP("QObject", "Video output device not detected,whether to join using single voice")},
    {100021, QT_TRANSLATE_NOOP("QObject", "Video output device not detected,whether to join conference")},
    {100022, QT_TRANSLATE_NOOP("QObject", "Video and audio device not detected")},
    {100023, QT_TRANSLATE_NOOP("QObject", "Audio device not detected")},
    {100024, QT_TRANSLATE_NOOP("QObject", "Video input device is occupied")},
    {100025, QT_TRANSLATE_NOOP("QObject", "Call sip error")},
    {100026, QT_TRANSLATE_NOOP("QObject", "Call phone number error")},
    {100027, QT_TRANSLATE_NOOP("QObject", "Update failed, Pleace check the network")},
    {100028, QT_TRANSLATE_NOOP("QObject", "Your charge has been used up, please contact the operator. Thank you.")},
    {100029, QT_TRANSLATE_NOOP("QObject", "Set up successfully, restart and take effect.")},
    {300002, QT_TRANSLATE_NOOP("QObject", "Server address is null")},
    {300103, QT_TRANSLATE_NOOP("QObject", "Username is null")},
    {300104, QT_TRANSLATE_NOOP("QObject", "Password is null")},
    {300110, QT_TRANSLATE_NOOP("QObject", "Get contact list error")},
    {300315, QT_TRANSLATE_NOOP("QObject", "Conference number is null")},
    {300417, QT_TRANSLATE_NOOP("QObject", "Moderator kicks you out from conference")},
    {400404, QT_TRANSLATE_NOOP("QObject", "No available input devices are found")},
    {600107, QT_TRANSLATE_NOOP("QObject", "The other refused to invite")},
    {600108, QT_TRANSLATE_NOOP("QObject", "The caller has hung up")},
    {600109, QT_TRANSLATE_NOOP("QObject", "The call has been processed on other devices")},
    {600110, QT_TRANSLATE_NOOP("QObject", "The call failed and the other was busy")},
    {600111, QT_TRANSLATE_NOOP("QObject", "The other side has no response")},
    {700105, QT_TRANSLATE_NOOP("QObject", "Too less partipants in conferece,share failed")},
};

QString translated(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

// Confirmations and device messages of the program itself read better without a code.
bool showsCode(int code)
{
    return code != 0 && (code < 100000 || code > 100029);
}

} // namespace

QString CGlobalInstance::getErrorByCode(int code)
{
    const QString suffix = translated(QT_TRANSLATE_NOOP("QObject", ",Error code:")) + QString::number(code);
    const auto entry = std::lower_bound(std::begin(kErrorTexts), std::end(kErrorTexts), code,
                                        [](const ErrorText& e, int c) { return e.code < c; });
    if (entry == std::end(kErrorTexts) || entry->code != code) {
        const QString unknown = translated(QT_TRANSLATE_NOOP("QObject", "Unkown Error")) + suffix;
        qDebug() << unknown << ":" << suffix;
        return unknown;
    }
    const QString text = translated(entry->text);
    return showsCode(code) ? text + suffix : text;
}
