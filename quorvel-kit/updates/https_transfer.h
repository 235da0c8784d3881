#pragma once

// One GET over HTTPS with nothing kept between transfers: no cookies, no
// cache, a cap on the body, a decision on every redirect hop, and time-outs.
// The body goes to memory or to a file. Callbacks run on the main thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

namespace quorvel {

class HttpsTransfer : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        ok,
        connection,      // the connection failed (unreachable, TLS, time-out)
        status,          // the answer was not HTTP 200
        redirectRefused, // a hop failed the redirect rule
        tooLarge,        // declared or received body above the cap
        storage,         // the body could not be written to its file
        cancelled,
    };

    struct Options {
        std::uint64_t maxBytes = 1 << 20;
        // Decides each redirect hop; none refuses every redirect.
        std::function<bool(const QUrl&)> allowRedirect;
        std::chrono::milliseconds transferTimeout{15000}; // silence on the wire
        std::chrono::milliseconds wholeTimeout{30000};    // the whole transfer
        QString file; // when set, the body is written there instead of kept in memory
        std::function<void(std::optional<std::uint64_t>)> onExpectedLength;
        std::function<void(std::uint64_t)> onData; // bytes just received
    };

    struct Result {
        Outcome outcome = Outcome::ok;
        int httpStatus = 0;
        QByteArray body; // in memory only
        QString message;
    };

    explicit HttpsTransfer(QObject* parent = nullptr);
    ~HttpsTransfer() override;

    // One transfer per object; `done` is called once unless the transfer is cancelled.
    void start(const QUrl& url, Options options, std::function<void(Result)> done);
    void cancel();

private:
    void finish(Result result);
    void onReadyRead();

    Options m_options;
    std::function<void(Result)> m_done;
    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_file;
    QByteArray m_body;
    std::uint64_t m_received = 0;
    std::optional<Outcome> m_abortReason;
    bool m_finished = false;
};

} // namespace quorvel
