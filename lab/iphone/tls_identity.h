// Keys and certificates of the virtual iPhone, made at start-up: the phone's
// own identity (served as DevicePublicKey and DeviceCertificate) and the
// host/root pair that goes into the pair record the fake usbmuxd hands out.
#pragma once

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace viphone {

struct TlsIdentity {
    std::string devicePublicKeyPem; // PKCS#1 "RSA PUBLIC KEY", as lockdownd gives it
    std::string deviceCertPem;
    std::string hostCertPem;
    std::string hostKeyPem;
    std::string rootCertPem;
    std::string rootKeyPem;
    SSL_CTX* serverCtx = nullptr; // presents the device certificate

    TlsIdentity() = default;
    ~TlsIdentity();
    TlsIdentity(const TlsIdentity&) = delete;
    TlsIdentity& operator=(const TlsIdentity&) = delete;

    // nullptr (and *error) when OpenSSL could not make the keys.
    static std::unique_ptr<TlsIdentity> create(std::string* error);
};

} // namespace viphone
