#include "quorvel-kit/updates/store_lookup_transport.h"

#include "quorvel-kit/updates/app_store_update_configuration.h"
#include "quorvel-kit/updates/https_transfer.h"

namespace quorvel {

bool AppleLookupRedirects::allow(const QUrl& next) {
    const QUrl service(
        QString::fromStdString("https://" + AppStoreUpdateConfiguration::hosts().lookup));
    return next.isValid() && next.scheme() == QLatin1String("https") &&
           next.host() == service.host() && next.userName().isEmpty() && next.password().isEmpty();
}

AppleStoreLookupTransport::~AppleStoreLookupTransport() {
    cancel();
}

void AppleStoreLookupTransport::load(const QUrl& url, Done done) {
    cancel();
    m_transfer = new HttpsTransfer();
    HttpsTransfer::Options options;
    options.maxBytes = kMaxBytes;
    options.allowRedirect = &AppleLookupRedirects::allow;
    options.transferTimeout = std::chrono::seconds(15);
    options.wholeTimeout = std::chrono::seconds(30);
    HttpsTransfer* transfer = m_transfer;
    transfer->start(url, options, [this, transfer, done](HttpsTransfer::Result result) {
        transfer->deleteLater();
        if (m_transfer == transfer)
            m_transfer = nullptr;
        using Outcome = HttpsTransfer::Outcome;
        switch (result.outcome) {
        case Outcome::ok:
            return done(std::move(result.body));
        case Outcome::status:
        case Outcome::redirectRefused:
            return done(std::unexpected(StoreLookupError{UpdateFailure::network, result.message}));
        case Outcome::tooLarge:
            return done(
                std::unexpected(StoreLookupError{UpdateFailure::invalidResponse, result.message}));
        default:
            return done(std::unexpected(StoreLookupError{std::nullopt, result.message}));
        }
    });
}

void AppleStoreLookupTransport::cancel() {
    if (m_transfer) {
        m_transfer->cancel();
        m_transfer->deleteLater();
        m_transfer = nullptr;
    }
}

} // namespace quorvel
