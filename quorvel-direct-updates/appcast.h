#pragma once

// The maker's feed: RSS 2.0 whose items carry the appcast namespace, signed
// as a whole with Ed25519. The signature is the last thing in the document,
// a comment "<!-- appcast-signature: BASE64 -->" over every byte before it.

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QUrl>

namespace quorvel {

inline constexpr const char* kAppcastNamespace = "urn:quorvel:appcast";

struct AppcastItem {
    std::string title;
    std::string versionString;        // the build version, compared to the running build
    std::string displayVersionString; // shown to the user
    bool informationOnly = false;
    std::string installationType = "application";
    std::optional<QUrl> fileURL;
    std::uint64_t contentLength = 0;
    QByteArray edSignature; // Base64, as written in the feed
    std::optional<std::string> itemDescription;
    std::optional<std::string> itemDescriptionFormat;
};

struct SignedFeed {
    QByteArray body;      // the signed bytes
    QByteArray signature; // Base64
};

class Appcast {
public:
    // Splits the trailing signature comment off; none when there is none.
    static std::optional<SignedFeed> split(const QByteArray& document);
    // Every item of the channel, in document order; an error text when the XML is not a feed.
    static std::expected<std::vector<AppcastItem>, std::string> parse(const QByteArray& xml);
    // The signature comment for a body (used where feeds are made).
    static QByteArray signatureComment(const QByteArray& base64Signature);
};

// Compares build versions part by part: dotted numbers by value, other parts as text.
int compareBuildVersions(const std::string& left, const std::string& right);

} // namespace quorvel
