#pragma once
// Test fixture: a CA of the test's own and server certificates it issues,
// as PEM files, for servers a test starts with TLS of their own (a TURN
// server's "turns:"). The local conference server makes its own.
//
//   TestCa ca(dir);                                        // dir/test-ca.pem
//   const auto turn = ca.issue("turn", {"198.51.100.1"});  // dir/turn.pem, dir/turn.key
//   const auto stranger = ca.issue("self", {"198.51.100.1"}, TestCa::SelfSigned);
//
// Throws std::runtime_error when OpenSSL or a file fails.

#include <string>
#include <vector>

namespace velto::test {

class TestCa {
public:
    enum Issuer { ThisCa, SelfSigned };
    struct Files {
        std::string certificate;
        std::string key;
    };

    explicit TestCa(const std::string& dir);
    ~TestCa();
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    std::string caFile() const { return caFile_; }
    // A server certificate naming `names` (IPv4 addresses and host names), in
    // dir/STEM.pem with its key in dir/STEM.key.
    Files issue(const std::string& stem, const std::vector<std::string>& names, Issuer issuer = ThisCa) const;

private:
    std::string dir_;
    std::string caFile_;
    struct Keys;
    Keys* keys_;
};

}  // namespace velto::test
