#include "Certificates.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cstdio>
#include <stdexcept>

namespace velto::server {
namespace {

constexpr long kValiditySeconds = 30L * 24 * 3600;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("certificate generation failed: ") + what);
}

PkeyPtr makeKey()
{
    PkeyPtr key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    check(ext != nullptr, value);
    const bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    check(added, value);
}

// An unsigned certificate for `subjectKey` named `commonName`, issued by
// `issuer`; a null `issuer` makes it self-issued.
X509Ptr makeCertificate(EVP_PKEY* subjectKey, const char* commonName, X509* issuer)
{
    X509Ptr cert(X509_new());
    check(cert != nullptr, "X509_new");
    check(X509_set_version(cert.get(), X509_VERSION_3) == 1, "version");

    // Random serials keep clients from confusing certificates of earlier runs.
    BIGNUM* serial = BN_new();
    check(serial != nullptr && BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "serial");
    const bool serialSet = BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert.get())) != nullptr;
    BN_free(serial);
    check(serialSet, "serial");

    check(X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr, "notBefore");
    check(X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValiditySeconds) != nullptr, "notAfter");
    check(X509_set_pubkey(cert.get(), subjectKey) == 1, "pubkey");

    X509_NAME* name = X509_get_subject_name(cert.get());
    check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>("velto local server"), -1, -1, 0) == 1,
          "O");
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0) == 1,
          "CN");
    X509* signer = issuer ? issuer : cert.get();
    check(X509_set_issuer_name(cert.get(), X509_get_subject_name(signer)) == 1, "issuer");

    addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (issuer)
        addExtension(cert.get(), issuer, NID_authority_key_identifier, "keyid:always");
    return cert;
}

X509Ptr makeCa(EVP_PKEY* key)
{
    X509Ptr ca = makeCertificate(key, "velto local test CA", nullptr);
    addExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    check(X509_sign(ca.get(), key, EVP_sha256()) > 0, "sign CA");
    return ca;
}

bool isIpv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// A name goes into the extension's configuration text, where a comma or a
// colon would add names of its own.
bool isHostName(const std::string& text)
{
    return !text.empty() && text.size() <= 253 &&
           text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
               std::string::npos;
}

std::string subjectName(const std::string& name)
{
    if (isIpv4(name))
        return "IP:" + name;
    check(isHostName(name), "host name");
    return "DNS:" + name;
}

X509Ptr makeLeaf(EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, const std::string& host, const std::string& listen)
{
    X509Ptr leaf = makeCertificate(key, host.empty() ? "localhost" : host.c_str(), issuer);
    X509* signer = issuer ? issuer : leaf.get();
    addExtension(leaf.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(leaf.get(), signer, NID_key_usage, "critical,digitalSignature");
    addExtension(leaf.get(), signer, NID_ext_key_usage, "serverAuth");
    std::string names = host.empty() ? "DNS:localhost,IP:127.0.0.1" : subjectName(host);
    if (host.empty() && listen != "localhost" && listen != "127.0.0.1")
        names += "," + subjectName(listen);
    addExtension(leaf.get(), signer, NID_subject_alt_name, names.c_str());
    check(X509_sign(leaf.get(), issuerKey, EVP_sha256()) > 0, "sign leaf");
    return leaf;
}

void writePem(const std::string& path, X509* cert)
{
    FILE* file = std::fopen(path.c_str(), "w");
    check(file != nullptr, "open CA file");
    const bool written = PEM_write_X509(file, cert) == 1;
    check(std::fclose(file) == 0 && written, "write CA file");
}

}  // namespace

ServerIdentity makeServerIdentity(const std::string& dir, bool untrusted, const std::string& host,
                                  const std::string& listen)
{
    const PkeyPtr caKey = makeKey();
    const X509Ptr ca = makeCa(caKey.get());

    ServerIdentity identity;
    identity.key = makeKey();
    identity.certificate = untrusted ? makeLeaf(identity.key.get(), nullptr, identity.key.get(), host, listen)
                                     : makeLeaf(identity.key.get(), ca.get(), caKey.get(), host, listen);
    identity.caFile = dir + "/ca.pem";
    writePem(identity.caFile, ca.get());
    return identity;
}

}  // namespace velto::server
