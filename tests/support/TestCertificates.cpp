#include "TestCertificates.h"

#include <arpa/inet.h>

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace velto::test {
namespace {

void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error("TestCa: " + what);
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    check(ext != nullptr, value);
    const bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    check(added, value);
}

// A certificate for `key` named `commonName`, issued by `issuer` (itself when null), unsigned.
X509* makeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer)
{
    X509* cert = X509_new();
    check(cert && X509_set_version(cert, X509_VERSION_3) == 1, "X509_new");
    BIGNUM* serial = BN_new();
    check(serial && BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1, "serial");
    BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert));
    BN_free(serial);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    check(X509_set_pubkey(cert, key) == 1, "pubkey");
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, X509_get_subject_name(issuer ? issuer : cert));
    return cert;
}

void writeFile(const std::string& path, X509* cert, EVP_PKEY* key)
{
    FILE* file = std::fopen(path.c_str(), "w");
    check(file != nullptr, "cannot write " + path);
    const bool written = cert ? PEM_write_X509(file, cert) == 1
                              : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    check(std::fclose(file) == 0 && written, "cannot write " + path);
}

}  // namespace

struct TestCa::Keys {
    EVP_PKEY* key = nullptr;
    X509* ca = nullptr;
};

TestCa::TestCa(const std::string& dir) : dir_(dir), caFile_(dir + "/test-ca.pem"), keys_(new Keys)
{
    keys_->key = EVP_EC_gen("P-256");
    check(keys_->key != nullptr, "key");
    keys_->ca = makeCertificate(keys_->key, "velto test CA", nullptr);
    addExtension(keys_->ca, keys_->ca, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(keys_->ca, keys_->ca, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(keys_->ca, keys_->ca, NID_subject_key_identifier, "hash");
    check(X509_sign(keys_->ca, keys_->key, EVP_sha256()) > 0, "sign CA");
    writeFile(caFile_, keys_->ca, nullptr);
}

TestCa::~TestCa()
{
    X509_free(keys_->ca);
    EVP_PKEY_free(keys_->key);
    delete keys_;
}

TestCa::Files TestCa::issue(const std::string& stem, const std::vector<std::string>& names, Issuer issuer) const
{
    check(!names.empty(), "no name");
    std::string altNames;
    for (const std::string& name : names) {
        in_addr v4{};
        altNames += (altNames.empty() ? "" : ",") +
                    std::string(inet_pton(AF_INET, name.c_str(), &v4) == 1 ? "IP:" : "DNS:") + name;
    }
    EVP_PKEY* key = EVP_EC_gen("P-256");
    check(key != nullptr, "key");
    X509* signer = issuer == ThisCa ? keys_->ca : nullptr;
    X509* cert = makeCertificate(key, names.front(), signer);
    X509* extensionIssuer = signer ? signer : cert;
    addExtension(cert, extensionIssuer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, extensionIssuer, NID_ext_key_usage, "serverAuth");
    addExtension(cert, extensionIssuer, NID_subject_alt_name, altNames);
    const bool signedOk = X509_sign(cert, signer ? keys_->key : key, EVP_sha256()) > 0;
    Files files{dir_ + "/" + stem + ".pem", dir_ + "/" + stem + ".key"};
    try {
        check(signedOk, "sign");
        writeFile(files.certificate, cert, nullptr);
        writeFile(files.key, nullptr, key);
    } catch (...) {
        X509_free(cert);
        EVP_PKEY_free(key);
        throw;
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    return files;
}

}  // namespace velto::test
