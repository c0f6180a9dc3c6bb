#pragma once
#include "Certificates.h"
#include "ConferenceService.h"
#include "MediaUnit.h"
#include "MessageService.h"
#include "TestControl.h"

#include <httplib.h>

#include <string>

namespace velto::server {

// The HTTPS side: records every REST request, applies forced answers, hands
// the rest to the service, and serves the test-control routes under "/_test/".
class HttpFront {
public:
    struct Info {
        std::string caFile;
        std::string messageServer;
        std::string messageServerPort;
    };

    HttpFront(const ServerIdentity& identity, bool verbose);

    // Binds 127.0.0.1:`port` (0 = any free port); returns the port, -1 on failure.
    int bind(int port);
    void attach(ConferenceService& service, TestControl& control, MessageService& messages, MediaUnit& media,
                Info info);
    // Serves until stop(); false when serving failed.
    bool run();
    void stop();

private:
    void serve(const httplib::Request& request, httplib::Response& response);
    void serveControl(const Call& call, httplib::Response& response);

    httplib::SSLServer server_;
    const bool verbose_;
    int port_ = -1;
    ConferenceService* service_ = nullptr;
    TestControl* control_ = nullptr;
    MessageService* messages_ = nullptr;
    MediaUnit* media_ = nullptr;
    Info info_;
};

}  // namespace velto::server
