#pragma once

// The offers service's reply as received, strictly typed, and the engine's
// state file "offers.json". A reply with any defect decodes to nothing.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvel-kit/statistics/kit_time.h"

namespace quorvel {

// Replies above this are refused while they arrive.
inline constexpr int64_t kMaximumReplyBytes = 262'144;

struct OffersEnvelope {
    struct Stat {
        std::string value;
        std::string label;
    };
    struct Frequency {
        int64_t maxImpressionsPerDay = 0;
        int64_t dismissForDays = 0;
    };
    struct Design {
        std::string layout;
        std::vector<std::string> background;
        std::string foreground;
        std::string accent;
        std::optional<std::string> iconUrl;
        std::optional<std::vector<std::string>> bulletIconUrls;
    };
    struct Content {
        std::string title;
        std::optional<std::string> body;
        std::string ctaLabel;
        std::string ctaUrl;
        std::optional<std::string> imageUrl;
        std::optional<std::string> imageAlt;
        std::optional<std::vector<Stat>> stats;
        std::optional<std::vector<std::string>> bullets;
    };
    struct Item {
        std::string id;
        std::string targetAppId;
        std::optional<std::string> startsAt;
        std::optional<std::string> endsAt;
        Frequency frequency;
        std::optional<Design> design;
        std::optional<Content> content;
    };

    std::optional<std::string> direction;
    std::vector<Item> offers;

    // The body as one envelope, or nothing when any key breaks its rules.
    static std::optional<OffersEnvelope> decode(std::string_view body);
};

// An internet date-time ("2025-03-07T09:00:00Z", "...09:00:00.250+03:00"),
// seconds since 1970; nothing for any other text.
std::optional<Date> parseOfferDate(std::string_view text);

struct OffersState {
    std::optional<std::string> cacheKey;
    std::optional<std::string> etag;
    std::optional<std::string> body;
    std::optional<Date> fetchedAt;
    std::optional<Date> failedAt;
    std::map<std::string, std::map<std::string, int64_t>> impressions;
    std::map<std::string, Date> dismissed;

    bool operator==(const OffersState&) const = default;

    // Compact JSON; times as seconds since 2001, the body as Base64.
    std::string encode() const;
    // Nothing when the text is not a whole, well-typed state.
    static std::optional<OffersState> decode(std::string_view text);
};

} // namespace quorvel
