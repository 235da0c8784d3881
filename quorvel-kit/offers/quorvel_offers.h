#pragma once

// The public entry of the kit's offers: one process-wide facade that owns the
// current engine and opens an offer's link.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QUrl>

#include "quorvel-kit/offers/offers_engine.h"

namespace quorvel {

class QuorvelOffers {
public:
    static QuorvelOffers& shared();
    // An unconfigured facade of its own (previews); hosts use `shared()`.
    QuorvelOffers();

    // A new engine for this configuration and the live dependencies; nothing
    // is read or fetched yet.
    void configure(const OffersConfiguration& configuration);
    // As above with chosen dependencies (tests, other hosts).
    void configure(const OffersConfiguration& configuration, OffersDependencies dependencies);

    // The engine's answer, or none before `configure`, once the offers'
    // pictures are in memory or 6 seconds have passed. `done` runs on the
    // engine's queue or the picture loader's thread.
    void available(bool refresh, std::function<void(OffersEngine::Answer)> done);
    // Fire and forget.
    void markShown(const std::vector<Offer>& offers);
    void dismiss(const Offer& offer);

    // Hands the offer's link to the desktop's handler, checked again here:
    // an offer built by hand may carry any link. False when refused.
    bool open(const Offer& offer);
    // Replaces the desktop handler (tests, hosts with their own).
    void setOpener(std::function<bool(const QUrl&)> opener);

private:
    std::shared_ptr<OffersEngine> engine();

    std::mutex m_lock;
    std::shared_ptr<OffersEngine> m_engine;
    // Engines replaced by a later `configure` stay until the process ends, so
    // answers still under way on them arrive; hosts configure once.
    std::vector<std::shared_ptr<OffersEngine>> m_retired;
    std::function<bool(const QUrl&)> m_opener;
};

} // namespace quorvel
