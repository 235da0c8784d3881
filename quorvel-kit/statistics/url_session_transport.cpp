#include "quorvel-kit/statistics/url_session_transport.h"

#include <algorithm>
#include <cctype>

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace quorvel {

namespace {

// Keeps nothing and offers nothing: the service's cookies never come back.
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

} // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (sameName(key, name))
            return value;
    return std::nullopt;
}

URLSessionTransport::URLSessionTransport(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

URLSessionTransport::~URLSessionTransport() = default;

void URLSessionTransport::send(const HttpRequest& request, std::function<void(Result)> done) {
    if (!m_session) {
        m_session = std::make_unique<QNetworkAccessManager>();
        m_session->setCookieJar(new NoCookies);
    }
    QNetworkRequest r(QUrl(QString::fromStdString(request.url)));
    for (const auto& [key, value] : request.headers)
        r.setRawHeader(QByteArray::fromStdString(key), QByteArray::fromStdString(value));
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    r.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    auto limit = std::min(m_timeout, std::chrono::milliseconds(int64_t(request.timeout * 1000)));
    r.setTransferTimeout(int(limit.count()));

    QNetworkReply* reply = m_session->sendCustomRequest(
        r, QByteArray::fromStdString(request.method), QByteArray::fromStdString(request.body));
    // The transfer time-out counts idle time; the whole request has the same bound.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    deadline->start(limit);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid()) {
            done(std::unexpected(reply->error() == QNetworkReply::NoError
                                     ? std::string("bad server response")
                                     : reply->errorString().toStdString()));
            return;
        }
        HttpResponse response;
        response.status = status.toInt();
        for (const auto& [key, value] : reply->rawHeaderPairs())
            response.headers.emplace_back(key.toStdString(), value.toStdString());
        response.body = reply->readAll().toStdString();
        done(std::move(response));
    });
}

} // namespace quorvel
