#include "tests/support/test_pki.h"

#include <memory>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tevro::test {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void require(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

Key ecKey() {
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    require(key != nullptr, "key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    require(extension != nullptr, "extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

Certificate certificate(EVP_PKEY* key, const char* commonName, long serial) {
    Certificate cert(X509_new(), &X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7 * 86400);
    X509_set_pubkey(cert.get(), key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    return cert;
}

QByteArray pem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray out(data, size);
    BIO_free(bio);
    return out;
}

QByteArray pem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray out(data, size);
    BIO_free(bio);
    return out;
}

} // namespace

TestTls makeTestTls() {
    Key caKey = ecKey();
    Certificate ca = certificate(caKey.get(), "Loopback Test CA", 1);
    X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
    addExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
    require(X509_sign(ca.get(), caKey.get(), EVP_sha256()) > 0, "sign ca");

    Key serverKey = ecKey();
    Certificate server = certificate(serverKey.get(), "127.0.0.1", 2);
    X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
    addExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
    addExtension(server.get(), ca.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    addExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
    require(X509_sign(server.get(), caKey.get(), EVP_sha256()) > 0, "sign server");

    return TestTls{pem(ca.get()), pem(server.get()), pem(serverKey.get())};
}

Ed25519Key::Ed25519Key() {
    m_key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    require(m_key != nullptr, "ed25519");
}

Ed25519Key::~Ed25519Key() {
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key));
}

QByteArray Ed25519Key::publicKey() const {
    QByteArray raw(32, '\0');
    size_t size = 32;
    EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(m_key),
                                reinterpret_cast<unsigned char*>(raw.data()), &size);
    return raw;
}

QByteArray Ed25519Key::sign(const QByteArray& message) const {
    QByteArray signature(64, '\0');
    size_t size = 64;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(m_key));
    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                   reinterpret_cast<const unsigned char*>(message.constData()),
                   static_cast<size_t>(message.size()));
    EVP_MD_CTX_free(context);
    return signature;
}

} // namespace tevro::test
