#include "tls_identity.h"

#include <openssl/bio.h>
#include <openssl/encoder.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace viphone {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

std::string encodeKey(EVP_PKEY* key, int selection) {
    // "type-specific" gives the PKCS#1 forms that lockdown clients read.
    OSSL_ENCODER_CTX* ctx =
        OSSL_ENCODER_CTX_new_for_pkey(key, selection, "PEM", "type-specific", nullptr);
    if (!ctx)
        return {};
    unsigned char* data = nullptr;
    size_t len = 0;
    std::string out;
    if (OSSL_ENCODER_to_data(ctx, &data, &len) == 1)
        out.assign(reinterpret_cast<char*>(data), len);
    OPENSSL_free(data);
    OSSL_ENCODER_CTX_free(ctx);
    return out;
}

std::string certPem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* p = nullptr;
    long n = BIO_get_mem_data(bio, &p);
    std::string out(p, static_cast<size_t>(n));
    BIO_free(bio);
    return out;
}

Cert makeCert(EVP_PKEY* subjectKey, EVP_PKEY* signer, const char* cn, long serial) {
    Cert cert(X509_new());
    if (!cert)
        return nullptr;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), subjectKey);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    if (X509_sign(cert.get(), signer, EVP_sha256()) == 0)
        return nullptr;
    return cert;
}

} // namespace

TlsIdentity::~TlsIdentity() {
    if (serverCtx)
        SSL_CTX_free(serverCtx);
}

std::unique_ptr<TlsIdentity> TlsIdentity::create(std::string* error) {
    // One key serves every role: each phone start makes keys, and tests start
    // many phones on a shared machine.
    Key root(EVP_RSA_gen(2048));
    EVP_PKEY_up_ref(root.get());
    Key host(root.get());
    EVP_PKEY_up_ref(root.get());
    Key device(root.get());
    if (!root) {
        *error = "RSA key generation failed";
        return nullptr;
    }
    Cert rootCert = makeCert(root.get(), root.get(), "Root Certification Authority", 1);
    Cert hostCert = makeCert(host.get(), root.get(), "Host", 2);
    Cert deviceCert = makeCert(device.get(), root.get(), "Device", 3);
    if (!rootCert || !hostCert || !deviceCert) {
        *error = "certificate signing failed";
        return nullptr;
    }
    auto id = std::make_unique<TlsIdentity>();
    id->devicePublicKeyPem = encodeKey(device.get(), EVP_PKEY_PUBLIC_KEY);
    id->deviceCertPem = certPem(deviceCert.get());
    id->hostCertPem = certPem(hostCert.get());
    id->hostKeyPem = encodeKey(host.get(), EVP_PKEY_KEYPAIR);
    id->rootCertPem = certPem(rootCert.get());
    id->rootKeyPem = encodeKey(root.get(), EVP_PKEY_KEYPAIR);

    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx) {
        *error = "SSL_CTX_new failed";
        return nullptr;
    }
    // Older phones speak TLS 1.0 with old ciphers; clients pin their side.
    SSL_CTX_set_security_level(ctx, 0);
    SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
    SSL_CTX_set_cipher_list(ctx, "ALL:@SECLEVEL=0");
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_num_tickets(ctx, 0);
    if (SSL_CTX_use_certificate(ctx, deviceCert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(ctx, device.get()) != 1) {
        SSL_CTX_free(ctx);
        *error = "loading the device certificate failed";
        return nullptr;
    }
    id->serverCtx = ctx;
    if (id->devicePublicKeyPem.empty() || id->rootKeyPem.empty()) {
        *error = "key encoding failed";
        return nullptr;
    }
    return id;
}

} // namespace viphone
