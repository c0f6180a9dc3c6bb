#pragma once
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace velto::server {

struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

// What the server presents, and where clients find the CA to trust.
struct ServerIdentity {
    X509Ptr certificate;
    PkeyPtr key;
    std::string caFile;
};

// Makes a throwaway CA (written to `dir`/ca.pem) and a certificate for
// "localhost", 127.0.0.1 and `listen` (the address the server serves on: an
// IPv4 address or a host name). With `untrusted` the served certificate is
// self-signed instead, so a client trusting only the CA must refuse it. A
// non-empty `host` names that host alone instead of all those, so a client
// that checks host names must refuse it too.
// Throws std::runtime_error on failure, and for a `listen` or `host` that is
// neither an IPv4 address nor a plain host name.
ServerIdentity makeServerIdentity(const std::string& dir, bool untrusted, const std::string& host = std::string(),
                                  const std::string& listen = "127.0.0.1");

}  // namespace velto::server
