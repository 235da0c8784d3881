#pragma once

// Keys and certificates made at test time: a certificate authority of the
// test's own, a server certificate for 127.0.0.1 and localhost signed by it,
// and Ed25519 signing keys.

#include <QByteArray>

namespace tevro::test {

struct TestTls {
    QByteArray caPem;
    QByteArray serverCertificatePem;
    QByteArray serverKeyPem;
};

// A fresh authority and server certificate.
TestTls makeTestTls();

class Ed25519Key {
public:
    Ed25519Key();
    ~Ed25519Key();
    Ed25519Key(const Ed25519Key&) = delete;
    Ed25519Key& operator=(const Ed25519Key&) = delete;

    QByteArray publicKey() const; // 32 raw bytes
    QByteArray publicKeyBase64() const { return publicKey().toBase64(); }
    QByteArray sign(const QByteArray& message) const; // 64 raw bytes
    QByteArray signBase64(const QByteArray& message) const { return sign(message).toBase64(); }

private:
    void* m_key = nullptr; // EVP_PKEY
};

} // namespace tevro::test
