// The REST client behind VeltoHttpSdkInterface.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "VeltoHttpAnswer.h"
#include "VeltoHttpSdkInterface.h"

namespace velto_http {
class Url;
class Transfers;
}

class VeltoHttpSignal : public VeltoHttpSdkInterface {
public:
    VeltoHttpSignal();
    ~VeltoHttpSignal() override;

    VeltoHttpSignal(const VeltoHttpSignal&) = delete;
    VeltoHttpSignal& operator=(const VeltoHttpSignal&) = delete;

    // The limits the next transfer runs under.
    TransferLimits GetTransferLimits() const;

    void SetCallback(VeltoHttpCallback* callback) override;

    int Login(std::string server, std::string username, std::string password,
              std::string clientType, std::string domain, bool anonymous) override;
    int KeepAlive(std::string userId, std::string endpoint, std::string currentTimeMillis) override;
    int CreateOrJoinConference(std::string room, std::string password, std::string ownerPassword,
                               std::string jid) override;
    int GrantAdmin(std::string room, std::string jid, std::string userId) override;
    int GetModerator(std::string room, std::string jid, std::string password) override;
    int GetMyConferences(int count, std::string userId, std::string date, int page,
                         std::string type, std::string status, std::string search) override;
    int BookConferences(std::string userId, std::string body) override;
    int DeleteConference(std::string userId, std::string conferenceId) override;
    int SelectFriends(std::string userId, std::string search) override;
    int GetContacts(std::string userId) override;
    int AddFriends(std::string userId, std::string friendId, std::string body) override;
    int DeleteFriends(std::string userId, std::string friendId) override;
    int QueryUsers(std::string userId, std::string& meetPassword, std::string& ownerPassword) override;
    int ModifyUsers(std::string body) override;

    int LockConference(std::string userId, std::string room, bool lock) override;
    int StartRecord(std::string userId, std::string room, std::string record, std::string userJid,
                    std::string roomPassword, std::string rule) override;
    int StopRecord(std::string userId, std::string userJid, std::string room,
                   std::string recordJid) override;
    int MyRecords(std::string userId) override;
    int GetRecordDetails(std::string userId, std::string recordId) override;
    int GetConferenceDetail(std::string userId, std::string conferenceId,
                            conferences_info& info) override;
    int SetStage(std::string room, std::string userJid, std::string stageJid, bool screen) override;
    int SplitScreen(std::string room, std::string userJid, std::string splitScreen) override;
    int SelectParticipants(std::string room, std::string userJid, std::string participants) override;
    int GetConferenceResource(std::string roomNumber, std::string userJid, std::string& gw,
                              std::string& record) override;
    int HandsUp(std::string action, std::string room, std::string userJid,
                std::string nickname) override;
    int ExtendConferenceTime(std::string room, std::string userId, int lengthTime) override;
    int CallPhone(std::string roomNumber, std::string userJid, std::string phone,
                  std::string& sipTarget, int& code) override;

    void CancelTransfers() override;
    void SetTransferLimits(const TransferLimits& limits) override;

private:
    enum class Trace { Url, UrlAndBody, None };

    // A URL on the current server.
    velto_http::Url url(const char* path) const;
    // One request and the answer rule.
    velto_http::Answer exchange(const velto_http::Url& url, HTTP_CMD verb = HTTP_GET,
                                const std::string& body = {}, Trace trace = Trace::Url);
    // Fills recordDetails from the answer at `url`.
    int readRecordDetails(const velto_http::Url& url);

    // Appends the answer body to `response`, which stays empty when the transfer fails;
    // returns the libcurl result. The login's token goes along once there is one.
    int http_request(const char* url, std::string& response, HTTP_CMD verb,
                     const std::string& body) const;
    // Where libcurl's write callback collects the answer.
    struct AnswerSink {
        std::string& text;
        std::size_t maxBytes;  // a longer answer ends the transfer as a failure
    };
    static size_t curl_recv_data(char* data, size_t size, size_t count, void* userdata);

    VeltoHttpCallback* callback = nullptr;
    std::string server;  // guarded by targetMutex: read by every thread, written by Login
    // The login answer's "accessToken", sent in the header of that name with
    // every later request, so that the server knows whose they are; guarded
    // by targetMutex, empty until a login hands one out.
    std::string accessToken;
    conference_login_info loginInfo;
    conference_join_info joinInfo;
    query_user_info userInfo;
    record_details recordDetails;

    mutable std::mutex targetMutex;
    TransferLimits limits;  // guarded by targetMutex

    const std::unique_ptr<velto_http::Transfers> transfers;  // those in flight
};
