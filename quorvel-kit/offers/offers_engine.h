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

#include <filesystem>
#include <functional>
#include <memory>

#include "quorvel-kit/offers/offer.h"
#include "quorvel-kit/offers/offers_configuration.h"
#include "quorvel-kit/offers/offers_wire.h"

namespace quorvel {

class SerialQueue;

// Fetches the service's offers, keeps the last reply with its ETag in
// "offers.json" and answers which offers may be shown now. Every operation runs
// on the engine's own serial queue; answers arrive there too.
class OffersEngine {
public:
    using Answer = std::optional<std::vector<Offer>>;

    OffersEngine(OffersConfiguration configuration, OffersDependencies dependencies);
    // Finishes what is queued; requests still in flight are cancelled.
    ~OffersEngine();
    OffersEngine(const OffersEngine&) = delete;
    OffersEngine& operator=(const OffersEngine&) = delete;

    // The offers to show now, in the service's order; none when there is no
    // usable stored reply. `refresh` forces a request.
    void available(bool refresh, std::function<void(Answer)> done);
    // One impression for each id (twice for an id listed twice), today.
    void markShown(std::vector<std::string> ids, std::function<void()> done = {});
    // Records that the user hid the offer now.
    void dismiss(std::string id, std::function<void()> done = {});

    // Where "offers.json" lives for this configuration.
    std::filesystem::path stateURL() const;

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

    // The request URL, or none without a usable endpoint. On the queue only.
    std::optional<QUrl> requestURL(const std::string& locale,
                                   const std::vector<std::string>& installed);

private:
    static OfferDesign design(const std::optional<OffersEnvelope::Design>& design,
                              size_t bulletCount);

    std::optional<QUrl> endpoint();
    std::vector<std::string> installedApps() const;
    void fetch(OffersState state, const std::string& locale,
               const std::vector<std::string>& installed, const std::string& key,
               std::function<void(OffersState)> done);
    std::vector<Offer> visible(const std::vector<Offer>& offers, const OffersState& state,
                               Date now) const;
    std::string dayKey(Date date) const;
    OffersState& loadState();
    void save(const OffersState& state);

    OffersConfiguration m_configuration;
    OffersDependencies m_dependencies;
    std::optional<OffersState> m_state;
    std::optional<Channel> m_resolvedChannel;
    std::unique_ptr<SerialQueue> m_queue;
};

} // namespace quorvel
