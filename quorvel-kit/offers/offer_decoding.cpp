#include "quorvel-kit/offers/offers_engine.h"

#include <algorithm>
#include <set>

#include <QString>
#include <QTextBoundaryFinder>

namespace quorvel {

namespace {

// User-perceived characters.
size_t length(const std::string& text) {
    QString s = QString::fromStdString(text);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    size_t count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool blank(const std::string& text) {
    return QString::fromStdString(text).trimmed().isEmpty();
}

std::optional<QUrl> url(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    QUrl u(QString::fromStdString(text), QUrl::StrictMode);
    if (!u.isValid())
        return std::nullopt;
    return u;
}

std::optional<QUrl> safeUrl(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    auto u = url(*text);
    if (!u || !OffersEngine::isSafe(*u))
        return std::nullopt;
    return u;
}

} // namespace

bool OffersEngine::isSafe(const QUrl& url) {
    return url.isValid() && url.scheme().toLower() == QLatin1String("https") &&
           !url.host().isEmpty() && url.userName().isEmpty() && url.password().isEmpty();
}

double OffersEngine::dismissalSeconds(int64_t days) {
    // Ten years is longer than any dismissal is kept.
    constexpr int64_t kLongest = 3660;
    return double(std::clamp<int64_t>(days, 0, kLongest)) * 86'400.0;
}

OfferDesign OffersEngine::design(const std::optional<OffersEnvelope::Design>& design,
                                 size_t bulletCount) {
    if (!design || design->background.size() != 2)
        return OfferDesign::standard();
    auto first = OfferDesign::RGB::fromHex(design->background[0]);
    auto second = OfferDesign::RGB::fromHex(design->background[1]);
    auto foreground = OfferDesign::RGB::fromHex(design->foreground);
    auto accent = OfferDesign::RGB::fromHex(design->accent);
    if (!first || !second || !foreground || !accent)
        return OfferDesign::standard();
    std::vector<QUrl> icons;
    for (const auto& text : design->bulletIconUrls.value_or(std::vector<std::string>{}))
        if (auto u = safeUrl(text))
            icons.push_back(*u);
    if (icons.size() != bulletCount)
        icons.clear();
    return OfferDesign{layoutFromRaw(design->layout).value_or(OfferDesign::Layout::bottom),
                       {*first, *second},
                       *foreground,
                       *accent,
                       safeUrl(design->iconUrl),
                       std::move(icons)};
}

std::vector<Offer> OffersEngine::decode(std::string_view body, std::string_view excluding) {
    auto envelope = OffersEnvelope::decode(body);
    if (!envelope)
        return {};
    bool rightToLeft = envelope->direction == "rtl";
    std::set<std::string> accepted;
    std::vector<Offer> offers;
    for (const auto& item : envelope->offers) {
        if (!item.content)
            continue;
        const auto& content = *item.content;
        if (item.id.empty() || length(item.id) > 100)
            continue;
        if (item.targetAppId == excluding)
            continue;
        if (blank(content.title) || length(content.title) > 120)
            continue;
        if (content.body && length(*content.body) > 600)
            continue;
        if (blank(content.ctaLabel))
            continue;
        auto cta = url(content.ctaUrl);
        if (!cta || !isSafe(*cta))
            continue;
        if (item.frequency.maxImpressionsPerDay < 1 || item.frequency.dismissForDays < 1)
            continue;
        if (!accepted.insert(item.id).second)
            continue;

        Offer offer;
        offer.id = item.id;
        offer.targetAppID = item.targetAppId;
        offer.title = content.title;
        offer.body = content.body.value_or("");
        offer.ctaLabel = content.ctaLabel;
        offer.ctaURL = *cta;
        offer.imageURL = safeUrl(content.imageUrl);
        if (offer.imageURL)
            offer.imageAlt = content.imageAlt;
        if (content.stats) {
            for (size_t i = 0; i < std::min<size_t>(3, content.stats->size()); ++i) {
                const auto& stat = (*content.stats)[i];
                size_t valueLength = length(stat.value);
                if (valueLength >= 1 && valueLength <= 12 && length(stat.label) <= 48)
                    offer.stats.push_back({stat.value, stat.label});
            }
        }
        if (content.bullets) {
            for (size_t i = 0; i < std::min<size_t>(4, content.bullets->size()); ++i) {
                const auto& bullet = (*content.bullets)[i];
                size_t n = length(bullet);
                if (n >= 1 && n <= 90)
                    offer.bullets.push_back(bullet);
            }
        }
        offer.isRightToLeft = rightToLeft;
        offer.design = design(item.design, offer.bullets.size());
        if (item.startsAt)
            offer.startsAt = parseOfferDate(*item.startsAt);
        if (item.endsAt)
            offer.endsAt = parseOfferDate(*item.endsAt);
        offer.maxImpressionsPerDay = item.frequency.maxImpressionsPerDay;
        offer.dismissForDays = item.frequency.dismissForDays;
        offers.push_back(std::move(offer));
    }
    return offers;
}

} // namespace quorvel
