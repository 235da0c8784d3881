#include "quorvel-kit/updates/https_transfer.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace quorvel {

HttpsTransfer::HttpsTransfer(QObject* parent) : QObject(parent) {}

HttpsTransfer::~HttpsTransfer() {
    m_done = nullptr;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void HttpsTransfer::start(const QUrl& url, Options options, std::function<void(Result)> done) {
    m_options = std::move(options);
    m_done = std::move(done);
    // A manager of its own: no cookie or cache shared with anything else.
    m_manager = new QNetworkAccessManager(this);
    m_manager->setCookieJar(nullptr);
    m_manager->setCache(nullptr);

    if (!m_options.file.isEmpty()) {
        m_file = std::make_unique<QFile>(m_options.file);
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTimer::singleShot(0, this, [this] {
                finish({Outcome::storage, 0, {}, "cannot write"});
            });
            return;
        }
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(static_cast<int>(m_options.transferTimeout.count()));
    // Honour the certificate file the environment names for OpenSSL, as OpenSSL itself does.
    const QString certificates = qEnvironmentVariable("SSL_CERT_FILE");
    if (!certificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(certificates, QSsl::Pem);
        request.setSslConfiguration(tls);
    }
    m_reply = m_manager->get(request);

    auto* whole = new QTimer(this);
    whole->setSingleShot(true);
    connect(whole, &QTimer::timeout, this, [this] {
        if (m_reply && !m_finished)
            m_reply->abort();
    });
    whole->start(m_options.wholeTimeout);

    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& next) {
        if (m_options.allowRedirect && m_options.allowRedirect(next)) {
            emit m_reply->redirectAllowed();
            return;
        }
        m_abortReason = Outcome::redirectRefused;
        m_reply->abort();
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400)
            return; // a hop, decided by the redirect rule
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        std::optional<std::uint64_t> expected;
        if (length.isValid())
            expected = length.toULongLong();
        if (expected && *expected > m_options.maxBytes) {
            m_abortReason = Outcome::tooLarge;
            m_reply->abort();
            return;
        }
        if (status == 200 && m_options.onExpectedLength)
            m_options.onExpectedLength(expected);
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpsTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        Result result;
        result.httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_abortReason) {
            result.outcome = *m_abortReason;
        } else if (m_reply->error() == QNetworkReply::OperationCanceledError) {
            result.outcome = Outcome::connection; // the whole-transfer limit
        } else if (result.httpStatus != 0 && result.httpStatus != 200) {
            result.outcome = Outcome::status;
        } else if (m_reply->error() != QNetworkReply::NoError) {
            // Also a connection cut after "200 OK": what arrived is not the whole body.
            result.outcome = Outcome::connection;
        } else {
            onReadyRead();
            if (m_abortReason)
                result.outcome = *m_abortReason;
        }
        result.message = m_reply->errorString();
        if (result.outcome == Outcome::ok) {
            if (m_file && !m_file->flush())
                result.outcome = Outcome::storage;
            result.body = std::move(m_body);
        }
        finish(std::move(result));
    });
}

void HttpsTransfer::onReadyRead() {
    if (!m_reply || m_abortReason)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        m_reply->readAll(); // an error page is not the body
        return;
    }
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    const auto size = static_cast<std::uint64_t>(chunk.size());
    if (m_received + size > m_options.maxBytes) {
        m_abortReason = Outcome::tooLarge;
        m_reply->abort();
        return;
    }
    m_received += size;
    if (m_file) {
        if (m_file->write(chunk) != chunk.size()) {
            m_abortReason = Outcome::storage;
            m_reply->abort();
            return;
        }
    } else {
        m_body.append(chunk);
    }
    if (m_options.onData)
        m_options.onData(size);
}

void HttpsTransfer::cancel() {
    m_done = nullptr;
    if (m_reply && !m_finished) {
        m_abortReason = Outcome::cancelled;
        m_reply->abort();
    }
}

void HttpsTransfer::finish(Result result) {
    if (m_finished)
        return;
    m_finished = true;
    if (m_file)
        m_file->close();
    if (m_reply)
        m_reply->deleteLater();
    auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(std::move(result));
}

} // namespace quorvel
