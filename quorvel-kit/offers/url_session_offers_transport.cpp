#include "quorvel-kit/offers/url_session_offers_transport.h"

#include <algorithm>
#include <cctype>

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>

namespace quorvel {

namespace {

constexpr qint64 kDiskCacheBytes = 41'943'040;
constexpr int kTransferSeconds = 15;

// Keeps nothing and offers nothing: no cookie ever goes back to a server.
class NoCookies : public QNetworkCookieJar {
public:
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower((unsigned char)x) == std::tolower((unsigned char)y);
           });
}

bool allowedTarget(const QUrl& url) {
    QString scheme = url.scheme().toLower();
    if (url.host().isEmpty())
        return false;
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && isLoopbackHost(url.host()));
}

} // namespace

bool isLoopbackHost(const QString& host) {
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost") ||
           host == QLatin1String("::1");
}

std::optional<std::string> OffersResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (sameName(key, name))
            return value;
    return std::nullopt;
}

URLSessionOffersTransport::URLSessionOffersTransport(
    std::optional<std::filesystem::path> cacheDirectory)
    : m_cacheDirectory(std::move(cacheDirectory)) {}

URLSessionOffersTransport::~URLSessionOffersTransport() {
    if (!m_session)
        return;
    // Aborting runs each `done` with an error while its callers still exist.
    for (QNetworkReply* reply : m_session->findChildren<QNetworkReply*>())
        reply->abort();
}

void URLSessionOffersTransport::send(const OffersRequest& request,
                                     std::function<void(Result)> done) {
    if (!allowedTarget(request.url)) {
        QTimer::singleShot(0, [done = std::move(done)] {
            done(std::unexpected(std::string("refused: not an https address")));
        });
        return;
    }
    if (!m_session) {
        m_session = std::make_unique<QNetworkAccessManager>();
        m_session->setCookieJar(new NoCookies);
        if (m_cacheDirectory) {
            auto* cache = new QNetworkDiskCache(m_session.get());
            cache->setCacheDirectory(QString::fromStdString(m_cacheDirectory->string()));
            cache->setMaximumCacheSize(kDiskCacheBytes);
            m_session->setCache(cache);
        }
    }
    QNetworkRequest r(request.url);
    for (const auto& [key, value] : request.headers)
        r.setRawHeader(QByteArray::fromStdString(key), QByteArray::fromStdString(value));
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                   request.ignoresCache ? QNetworkRequest::AlwaysNetwork
                                        : QNetworkRequest::PreferNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, bool(m_cacheDirectory));
    r.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                   QNetworkRequest::UserVerifiedRedirectPolicy);
    // Honour the certificate file the environment names for OpenSSL, as OpenSSL itself does.
    const QString certificates = qEnvironmentVariable("SSL_CERT_FILE");
    if (!certificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(certificates, QSsl::Pem);
        r.setSslConfiguration(tls);
    }
    int idle = int(std::clamp(request.timeout, 0.001, 12.0) * 1000);
    r.setTransferTimeout(idle);

    QNetworkReply* reply = m_session->get(r);
    // A redirect is followed only to an https address.
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (target.scheme().toLower() == QLatin1String("https") && !target.host().isEmpty())
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(std::chrono::seconds(kTransferSeconds));

    // The cap holds while the body arrives: a declared or received length over
    // it ends the transfer at once instead of buffering the rest.
    auto tooLarge = std::make_shared<bool>(false);
    const int64_t cap = request.maximumBytes;
    auto over = [reply, tooLarge, cap](qint64 received) {
        if (received > cap && !*tooLarge) {
            *tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, over] {
        bool ok = false;
        qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok)
            over(declared);
    });
    // Progress signals are throttled; every arrival is seen through readyRead,
    // and nothing is read before the end, so what is available is the total.
    QObject::connect(reply, &QIODevice::readyRead, reply,
                     [reply, over] { over(reply->bytesAvailable()); });

    QObject::connect(
        reply, &QNetworkReply::finished, reply, [reply, tooLarge, done = std::move(done)] {
            reply->deleteLater();
            if (*tooLarge) {
                done(std::unexpected(std::string("reply too large")));
                return;
            }
            QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            bool failed = reply->error() != QNetworkReply::NoError &&
                          reply->error() >= QNetworkReply::ConnectionRefusedError &&
                          reply->error() < QNetworkReply::ContentAccessDenied;
            if (!status.isValid() || failed ||
                reply->error() == QNetworkReply::OperationCanceledError) {
                done(std::unexpected(reply->error() == QNetworkReply::NoError
                                         ? std::string("bad server response")
                                         : reply->errorString().toStdString()));
                return;
            }
            OffersResponse response;
            response.status = status.toInt();
            for (const auto& [key, value] : reply->rawHeaderPairs())
                response.headers.emplace_back(key.toStdString(), value.toStdString());
            response.body = reply->readAll().toStdString();
            done(std::move(response));
        });
}

} // namespace quorvel
