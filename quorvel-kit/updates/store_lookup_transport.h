#pragma once

// One store look-up over HTTPS: a fresh session each time, no cookies or
// cache, 15 s per request and 30 s in all, the body capped at 1 MiB, and only
// redirects that stay on the look-up host over https followed.

#include <expected>
#include <functional>
#include <variant>

#include <QByteArray>
#include <QUrl>

#include "quorvel-kit/updates/update_vocabulary.h"

namespace quorvel {

// A look-up failed either with a failure of its own or in the connection itself.
struct StoreLookupError {
    std::optional<UpdateFailure> failure; // none: the connection failed (shown as `network`)
    QString message;
};

class StoreLookupTransport {
public:
    using Done = std::function<void(std::expected<QByteArray, StoreLookupError>)>;
    virtual ~StoreLookupTransport() = default;
    // Calls `done` on the main thread, or never once `cancel()` was called.
    virtual void load(const QUrl& url, Done done) = 0;
    virtual void cancel() = 0;
};

class AppleStoreLookupTransport : public StoreLookupTransport {
public:
    static constexpr std::uint64_t kMaxBytes = 1 << 20;
    ~AppleStoreLookupTransport() override;
    void load(const QUrl& url, Done done) override;
    void cancel() override;

private:
    class HttpsTransfer* m_transfer = nullptr;
};

// The redirect rule of the look-up: https, the look-up host exactly, no user or password.
struct AppleLookupRedirects {
    static bool allow(const QUrl& next);
};

} // namespace quorvel
