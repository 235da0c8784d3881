#pragma once

// The offers engine: what the service sent, turned into offers that may be
// shown, and the kit's built-in table of the maker's applications.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QUrl>

#include "quorvel-kit/offers/offer.h"
#include "quorvel-kit/offers/offers_wire.h"

namespace quorvel {

class OffersEngine {
public:
    struct CatalogEntry {
        std::string name;
        std::string symbol;
        std::vector<std::string> bundleIDs;
    };

    // Application identifier to its entry.
    static const std::map<std::string, CatalogEntry>& catalog();

    // Whether a link may be opened or a picture loaded: https in any case, a
    // host, and no user or password.
    static bool isSafe(const QUrl& url);

    // The offers of a reply body that pass every rule, in the reply's order;
    // those aimed at `excluding` (the asking application) are left out.
    static std::vector<Offer> decode(std::string_view body, std::string_view excluding);

    // Seconds for which a dismissal hides an offer. The service's day count is
    // bounded first, so a huge count cannot overflow.
    static double dismissalSeconds(int64_t days);

private:
    static OfferDesign design(const std::optional<OffersEnvelope::Design>& design,
                              size_t bulletCount);
};

} // namespace quorvel
