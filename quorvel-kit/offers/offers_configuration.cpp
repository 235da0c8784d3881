#include "quorvel-kit/offers/offers_configuration.h"

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "quorvel-kit/statistics/client_environment.h"

namespace quorvel {

OffersDependencies OffersDependencies::live() {
    OffersDependencies d;
    d.transport = std::make_shared<URLSessionOffersTransport>();
    d.now = systemNow;
    d.timeZone = TimeZone::current();
    d.processEnvironment = ProcessInfo::current().environment;
    return d;
}

} // namespace quorvel
