// The REST client of the conference server: its interface, factory and callback.
//
// Every operation sends one HTTPS request on the calling thread, blocks until the
// answer (or the time limit), calls its callback operation (where it has one) on
// the same thread and returns 0 when the server answered with code 200, -1
// otherwise. A failed transfer or an unreadable answer reports code 0.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "common.h"

// The request verb of one transfer.
enum HTTP_CMD {
    HTTP_GET = 0,     // plain GET
    HTTP_POST = 1,    // POST with a JSON body
    HTTP_DELETE = 2,  // DELETE, body only when one is given
    HTTP_PUT = 3,     // PUT with a JSON body, body only when one is given
};

// Bounds of one transfer. A transfer that overruns one ends as a failed
// transfer (code 0). The calling thread (for most operations the program's
// main thread) waits at most `total`.
struct TransferLimits {
    std::chrono::milliseconds connect{std::chrono::seconds(10)};
    std::chrono::milliseconds total{std::chrono::seconds(20)};
    // A transfer that moves less than one byte per second for this long is given up.
    std::chrono::seconds lowSpeed{10};
    std::size_t maxAnswerBytes = 16u << 20;
};

// Receives the answers of the operations that report through a callback. Every
// call arrives on the thread that called the operation, before it returns; the
// records passed by reference live only for the duration of the call.
class VeltoHttpCallback {
public:
    virtual ~VeltoHttpCallback() = default;
    virtual void onLogin(int code, conference_login_info& info) = 0;
    virtual void onCreateOrJoinConference(int code, const conference_join_info& info) = 0;
    virtual void onGrantAdmin(int code, std::string jid) = 0;
    virtual void onGetModerator(int code) = 0;
    virtual void onGetMyConferences(int code, const conferences& data) = 0;
    virtual void onBookConferences(int code) = 0;
    virtual void onDeleteConferece(int code) = 0;
    virtual void onQueryUser(int code, const query_user_info& info) = 0;
    virtual void onStartRecord(int code) = 0;
    virtual void onStopRecord(int code) = 0;
    virtual void onGetContacts(int code, conference_contacts& contacts) = 0;
    virtual void onGetSearchContacts(int code, conference_contacts& contacts) = 0;
};

class VeltoHttpSdkInterface {
public:
    // A new client; the caller owns it and deletes it through this interface.
    static VeltoHttpSdkInterface* CreateNew();

    virtual ~VeltoHttpSdkInterface() = default;

    // Not owned; null stops all callback calls.
    virtual void SetCallback(VeltoHttpCallback* callback) = 0;

    // Login, conferences, contacts and users.
    virtual int Login(std::string server, std::string username, std::string password,
                      std::string clientType, std::string domain, bool anonymous) = 0;
    virtual int KeepAlive(std::string userId, std::string endpoint,
                          std::string currentTimeMillis) = 0;
    virtual int CreateOrJoinConference(std::string room, std::string password,
                                       std::string ownerPassword, std::string jid) = 0;
    virtual int GrantAdmin(std::string room, std::string jid, std::string userId) = 0;
    virtual int GetModerator(std::string room, std::string jid, std::string password) = 0;
    virtual int GetMyConferences(int count, std::string userId, std::string date, int page,
                                 std::string type, std::string status, std::string search) = 0;
    virtual int BookConferences(std::string userId, std::string body) = 0;
    virtual int DeleteConference(std::string userId, std::string conferenceId) = 0;
    virtual int SelectFriends(std::string userId, std::string search) = 0;
    virtual int GetContacts(std::string userId) = 0;
    virtual int AddFriends(std::string userId, std::string friendId, std::string body) = 0;
    virtual int DeleteFriends(std::string userId, std::string friendId) = 0;
    virtual int QueryUsers(std::string userId, std::string& meetPassword,
                           std::string& ownerPassword) = 0;
    virtual int ModifyUsers(std::string body) = 0;

    // In-meeting control and recording.
    virtual int LockConference(std::string userId, std::string room, bool lock) = 0;
    virtual int StartRecord(std::string userId, std::string room, std::string record,
                            std::string userJid, std::string roomPassword, std::string rule) = 0;
    virtual int StopRecord(std::string userId, std::string userJid, std::string room,
                           std::string recordJid) = 0;
    virtual int MyRecords(std::string userId) = 0;
    virtual int GetRecordDetails(std::string userId, std::string recordId) = 0;
    virtual int GetConferenceDetail(std::string userId, std::string conferenceId,
                                    conferences_info& info) = 0;
    virtual int SetStage(std::string room, std::string userJid, std::string stageJid,
                         bool screen) = 0;
    virtual int SplitScreen(std::string room, std::string userJid, std::string splitScreen) = 0;
    virtual int SelectParticipants(std::string room, std::string userJid,
                                   std::string participants) = 0;
    virtual int GetConferenceResource(std::string roomNumber, std::string userJid,
                                      std::string& gw, std::string& record) = 0;
    virtual int HandsUp(std::string action, std::string room, std::string userJid,
                        std::string nickname) = 0;
    virtual int ExtendConferenceTime(std::string room, std::string userId, int lengthTime) = 0;
    virtual int CallPhone(std::string roomNumber, std::string userJid, std::string phone,
                          std::string& sipTarget, int& code) = 0;

    // Ends every transfer of this client that is in flight now, on whatever
    // thread, as a failed transfer (code 0, -1 returned); transfers started
    // afterwards run normally. Any thread may call it. Stopping a thread that
    // waits on a stalled server must not wait for the transfer limit.
    // Appended after the REST operations so that their slots keep their order.
    virtual void CancelTransfers() = 0;

    // Applies to the transfers that start afterwards; any thread may call it.
    // Until then every transfer runs under the defaults of TransferLimits.
    virtual void SetTransferLimits(const TransferLimits& limits) = 0;
};
