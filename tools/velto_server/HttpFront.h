#pragma once
#include "Certificates.h"
#include "ConferenceService.h"
#include "MediaUnit.h"
#include "MessageService.h"
#include "TestControl.h"

#include <httplib.h>

#include <string>

namespace velto::server {

// The HTTPS side: hands every REST request to the service. With a test
// control it also records them, applies forced answers and serves the
// test-control routes under "/_test/"; without one those paths are unknown.
class HttpFront {
public:
    struct Info {
        std::string caFile;
        std::string messageServer;
        std::string messageServerPort;
    };

    HttpFront(const ServerIdentity& identity, bool verbose);

    // Binds `address`:`port` (0 = any free port); returns the port, -1 on failure.
    int bind(const std::string& address, int port);
    // `control` null: no test control (the demo run).
    void attach(ConferenceService& service, TestControl* control, MessageService& messages, MediaUnit& media,
                Info info);
    // Serves until stop(); false when serving failed.
    bool run();
    void stop();

private:
    void serve(const httplib::Request& request, httplib::Response& response);
    void serveControl(const Call& call, httplib::Response& response);
    // Records the request; true when a forced answer took its place.
    bool forcedAnswer(const httplib::Request& request, const Call& call, httplib::Response& response);

    httplib::SSLServer server_;
    const bool verbose_;
    int port_ = -1;
    ConferenceService* service_ = nullptr;
    TestControl* control_ = nullptr;  // null without the test control
    MessageService* messages_ = nullptr;
    MediaUnit* media_ = nullptr;
    Info info_;
};

}  // namespace velto::server
