#include "quorvel-direct-updates/ed25519.h"

#include <memory>

#include <openssl/evp.h>

namespace quorvel {

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& signature, const char* data,
                   std::size_t size) {
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char*>(publicKey.constData()),
                                    32),
        &EVP_PKEY_free);
    if (!key)
        return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char*>(signature.constData()), 64,
                            reinterpret_cast<const unsigned char*>(data), size) == 1;
}

std::optional<QByteArray> decodeStrictBase64(const QByteArray& text) {
    auto decoded = QByteArray::fromBase64Encoding(
        text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || text.size() % 4 != 0)
        return std::nullopt;
    // Only the canonical spelling of the bytes counts.
    if (decoded.decoded.toBase64() != text)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace quorvel
