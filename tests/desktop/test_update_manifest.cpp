// The update manifest, fetched from the local conference server over verified TLS.
#include "DesktopTestUtil.h"
#include "LocalServer.h"
#include "commonhelper.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

#include <functional>
#include <memory>

using velto::test::LocalServer;

namespace {

const char* const kManifest = "/download/bm/version_mac_bm.json";

struct Outputs {
    QString version = "v", fileName = "f", downPath = "d", md5 = "m";
    bool fetch() { return CommonHelper::getUpdateInfo(version, fileName, downPath, md5); }
    QStringList all() const { return {version, fileName, downPath, md5}; }
};

const QStringList kUntouched{"v", "f", "d", "m"};

TEST(UpdateManifest, Answers)
{
    LocalServer server;
    server.setProgramEnv();
    struct Case {
        const char* name;
        int status;
        const char* body;
        const char* contentType;
        bool result;
        QStringList outputs;
    };
    const Case cases[] = {
        {"complete", 200,
         R"({"version":"1.1.0","fileName":"velto.pkg","downPath":"https://h/velto.pkg","md5":"0123456789abcdef0123456789abcdef","extra":1})",
         "application/json", true,
         {"1.1.0", "velto.pkg", "https://h/velto.pkg", "0123456789abcdef0123456789abcdef"}},
        {"members missing", 200, R"({"version":"2.0"})", "application/json", true, {"2.0", "f", "d", "m"}},
        {"member not a string", 200, R"({"version":5,"md5":null})", "application/json", true, {"", "f", "d", ""}},
        {"not an object", 200, "[]", "application/json", true, kUntouched},
        {"not JSON", 200, "version=2", "text/plain", false, kUntouched},
        {"empty body", 200, "", "application/json", false, kUntouched},
        {"HTML error page", 404, "<html><body>Not Found</body></html>", "text/html", false, kUntouched},
        {"server error with JSON", 500, R"({"version":"9.9"})", "application/json", false, kUntouched},
        {"redirect with JSON", 302, R"({"version":"9.9"})", "application/json", false, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.forceNext(kManifest, c.status, c.body, 1, c.contentType);
        Outputs out;
        EXPECT_EQ(out.fetch(), c.result);
        EXPECT_EQ(out.all(), c.outputs);
    }

    // Qt's HTTP client retries a closed connection on its own: close them all.
    SCOPED_TRACE("connection closed without an answer");
    server.forceClose(kManifest, 10);
    Outputs out;
    EXPECT_FALSE(out.fetch());
    EXPECT_EQ(out.all(), kUntouched);
}

TEST(UpdateManifest, ServedManifest)
{
    LocalServer server;
    server.setProgramEnv();
    server.setManifest(R"({"version":"1.0.9","fileName":"a.pkg","downPath":"https://h/a.pkg","md5":"x"})");
    Outputs out;
    EXPECT_TRUE(out.fetch());
    EXPECT_EQ(out.all(), (QStringList{"1.0.9", "a.pkg", "https://h/a.pkg", "x"}));
    ASSERT_EQ(server.requests(kManifest).size(), 1u);
    EXPECT_EQ(server.requests(kManifest)[0].method, "GET");
}

TEST(UpdateManifest, FailuresLeaveTheOutputsInTime)
{
    LocalServer server;
    std::unique_ptr<LocalServer> other;
    const auto serve = [&](LocalServer::Options options) {
        other = std::make_unique<LocalServer>(options);
        other->setManifest(R"({"version":"6.6.6"})");
        return other.get();
    };
    struct Case {
        const char* name;
        std::function<void()> prepare;  // points the program somewhere
    };
    const Case cases[] = {
        {"stalled server",
         [&] {
             server.setProgramEnv();
             server.forceStall(kManifest, 60000);
         }},
        {"self-signed certificate",
         [&] {
             LocalServer::Options options;
             options.untrustedCertificate = true;
             serve(options)->setProgramEnv();
         }},
        {"trusted certificate issued to another host",
         [&] {
             LocalServer::Options options;
             options.certificateHost = "other.host.invalid";
             serve(options)->setProgramEnv();
         }},
        {"certificate from a CA that is not ours",
         [&] {
             serve({})->setProgramEnv();
             server.setCaBundleEnv();
         }},
        {"no server",
         [&] {
             serve({})->setProgramEnv();
             other.reset();  // nobody listens on that port any more
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        QElapsedTimer clock;
        clock.start();
        Outputs out;
        EXPECT_FALSE(out.fetch());
        EXPECT_LT(clock.elapsed(), 8000) << "a silent server must not hold the program";
        EXPECT_EQ(out.all(), kUntouched);
        server.reset();
    }
}

TEST(UpdateManifest, TrustStoreIsBuiltOncePerBundle)
{
    LocalServer server;
    server.setManifest(R"({"version":"2.0"})");
    const int before = CommonHelper::sslConfigurationBuilds();
    server.setProgramEnv();
    for (int request = 0; request < 2; ++request) {
        Outputs out;
        EXPECT_TRUE(out.fetch());
        EXPECT_EQ(out.version, "2.0");
    }
    EXPECT_EQ(CommonHelper::sslConfigurationBuilds(), before + 1);

    LocalServer next;  // a new CA, named by a new bundle, is read in
    next.setProgramEnv();
    next.setManifest(R"({"version":"3.0"})");
    Outputs out;
    EXPECT_TRUE(out.fetch());
    EXPECT_EQ(out.version, "3.0");
    EXPECT_EQ(CommonHelper::sslConfigurationBuilds(), before + 2);
}

TEST(UpdateManifest, TrustStoreKeepsTheSystemLookup)
{
    LocalServer server;
    server.setProgramEnv();
    const QSslConfiguration config = CommonHelper::sslConfiguration();
    // Only the extra bundle is held; the system's CAs are looked up when a
    // peer needs one.
    const QList<QSslCertificate> bundle =
        QSslCertificate::fromPath(qEnvironmentVariable("VELTO_CA_BUNDLE"), QSsl::Pem);
    ASSERT_FALSE(bundle.isEmpty());
    for (const QSslCertificate& certificate : bundle)
        EXPECT_TRUE(config.caCertificates().contains(certificate));
    EXPECT_EQ(config.peerVerifyMode(), QSslSocket::VerifyPeer);
    // Adding certificates as a list switches that lookup off, which changes
    // the configuration only while the lookup is still on.
    QSslConfiguration withoutLookup = config;
    withoutLookup.addCaCertificates(QList<QSslCertificate>());
    EXPECT_NE(withoutLookup, config) << "the system's CAs would no longer be trusted";
}

}  // namespace
