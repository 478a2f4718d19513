#pragma once
// A certificate authority and a server certificate for 127.0.0.1, made at
// test time (OpenSSL), for tests of TLS links to the local servers: the
// client keeps checking certificates, and the test trusts its own authority
// explicitly. PEM files in Folder: "ca.pem", "server.pem" (the server's
// certificate) and "server.key" (its key).

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <openssl/bio.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace TestCertificates {

struct TFiles
{
    std::string CA;
    std::string Certificate;
    std::string Key;
};

namespace detail {

using TKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using TCert = std::unique_ptr<X509, decltype(&X509_free)>;

inline TKey NewKey()
{
    EVP_PKEY* key = EVP_RSA_gen(2048);
    if (!key)
        throw std::runtime_error("cannot make an RSA key");
    return TKey(key, EVP_PKEY_free);
}

inline void AddExtension(X509* Cert, X509* Issuer, int Nid, const char* Value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, Issuer, Cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, Nid, Value);
    if (!ext)
        throw std::runtime_error("cannot make a certificate extension");
    X509_add_ext(Cert, ext, -1);
    X509_EXTENSION_free(ext);
}

inline TCert NewCertificate(EVP_PKEY* Key, const char* CommonName, long Serial)
{
    TCert cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), Serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), Key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(CommonName), -1, -1,
                               0);
    return cert;
}

inline void WritePem(const std::string& File, const std::function<int(BIO*)>& Write)
{
    BIO* bio = BIO_new_file(File.c_str(), "w");
    if (!bio)
        throw std::runtime_error("cannot write " + File);
    const int ok = Write(bio);
    BIO_free(bio);
    if (!ok)
        throw std::runtime_error("cannot write " + File);
}

} // namespace detail

// Makes the files in Folder (which ends with '/').
inline TFiles Make(const std::string& Folder)
{
    using namespace detail;
    TKey caKey = NewKey();
    TCert ca = NewCertificate(caKey.get(), "Tallowin test authority", 1);
    X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
    AddExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    if (!X509_sign(ca.get(), caKey.get(), EVP_sha256()))
        throw std::runtime_error("cannot sign the authority's certificate");

    TKey key = NewKey();
    TCert cert = NewCertificate(key.get(), "127.0.0.1", 2);
    X509_set_issuer_name(cert.get(), X509_get_subject_name(ca.get()));
    AddExtension(cert.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), ca.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert.get(), ca.get(), NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), ca.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    AddExtension(cert.get(), ca.get(), NID_authority_key_identifier, "keyid");
    if (!X509_sign(cert.get(), caKey.get(), EVP_sha256()))
        throw std::runtime_error("cannot sign the server's certificate");

    TFiles files{Folder + "ca.pem", Folder + "server.pem", Folder + "server.key"};
    WritePem(files.CA, [&](BIO* b) { return PEM_write_bio_X509(b, ca.get()); });
    WritePem(files.Certificate, [&](BIO* b) { return PEM_write_bio_X509(b, cert.get()); });
    WritePem(files.Key, [&](BIO* b) {
        return PEM_write_bio_PrivateKey_traditional(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    return files;
}

} // namespace TestCertificates
