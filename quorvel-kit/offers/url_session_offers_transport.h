#pragma once

// The offers transport over Qt's network access: no cookies, no credentials,
// https only (plain http only to this machine, for development services),
// redirects followed only to https, 12 s without data and 15 s in all.

#include <filesystem>
#include <memory>
#include <optional>

#include "quorvel-kit/offers/offers_transport.h"

class QNetworkAccessManager;

namespace quorvel {

// The three spellings of this machine that development runs may talk to.
bool isLoopbackHost(const QString& host);

class URLSessionOffersTransport : public OffersTransport {
public:
    // With a folder, responses are cached there (40 MiB at most).
    explicit URLSessionOffersTransport(std::optional<std::filesystem::path> cacheDirectory = {});
    // Cancels what still runs. Destroy it on the thread that sent.
    ~URLSessionOffersTransport() override;

    void send(const OffersRequest& request, std::function<void(Result)> done) override;

private:
    std::optional<std::filesystem::path> m_cacheDirectory;
    // Made on the first send, on the sending thread.
    std::unique_ptr<QNetworkAccessManager> m_session;
};

} // namespace quorvel
