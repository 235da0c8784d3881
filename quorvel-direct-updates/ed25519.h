#pragma once

// Ed25519 signature checks over raw 32-byte public keys.

#include <cstddef>
#include <optional>

#include <QByteArray>

namespace quorvel {

// True only for a 32-byte key, a 64-byte signature and a signature that holds.
bool verifyEd25519(const QByteArray& publicKey, const QByteArray& signature, const char* data,
                   std::size_t size);

// Standard Base64 with padding, and nothing else; none on any other text.
std::optional<QByteArray> decodeStrictBase64(const QByteArray& text);

} // namespace quorvel
