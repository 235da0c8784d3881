#include "quorvel-kit/offers/offer.h"

#include <charconv>
#include <cmath>

#include "quorvel-kit/offers/offers_engine.h"

namespace quorvel {

namespace {

double linear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

} // namespace

std::optional<OfferDesign::RGB> OfferDesign::RGB::fromHex(std::string_view text) {
    // Seven bytes of which the first is '#' and the rest ASCII is the only way
    // to be seven user-perceived characters and still read as a number.
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::string_view digits = text.substr(1);
    bool negative = false;
    if (digits[0] == '+' || digits[0] == '-') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    uint32_t number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    if (negative && number != 0)
        return std::nullopt;
    return RGB{((number >> 16) & 255) / 255.0, ((number >> 8) & 255) / 255.0,
               (number & 255) / 255.0};
}

bool OfferDesign::hasLightText() const {
    double l = 0.2126 * linear(foreground.red) + 0.7152 * linear(foreground.green) +
               0.0722 * linear(foreground.blue);
    return l > 0.4;
}

const OfferDesign& OfferDesign::standard() {
    static const OfferDesign design{
        Layout::bottom,
        {*RGB::fromHex("#7C3AED"), *RGB::fromHex("#5B21B6")},
        *RGB::fromHex("#FFFFFF"),
        *RGB::fromHex("#5B21B6"),
        std::nullopt,
        {},
    };
    return design;
}

std::string_view rawValue(OfferDesign::Layout layout) {
    switch (layout) {
    case OfferDesign::Layout::corner:
        return "corner";
    case OfferDesign::Layout::side:
        return "side";
    case OfferDesign::Layout::bottom:
        break;
    }
    return "bottom";
}

std::optional<OfferDesign::Layout> layoutFromRaw(std::string_view raw) {
    for (auto layout : kAllOfferLayouts)
        if (rawValue(layout) == raw)
            return layout;
    return std::nullopt;
}

std::string Offer::appName() const {
    const auto& catalog = OffersEngine::catalog();
    auto it = catalog.find(targetAppID);
    return it == catalog.end() ? targetAppID : it->second.name;
}

std::string Offer::symbol() const {
    const auto& catalog = OffersEngine::catalog();
    auto it = catalog.find(targetAppID);
    return it == catalog.end() ? std::string("sparkles") : it->second.symbol;
}

std::vector<QUrl> Offer::imageURLs() const {
    std::vector<QUrl> urls;
    if (design.iconURL)
        urls.push_back(*design.iconURL);
    if (imageURL)
        urls.push_back(*imageURL);
    urls.insert(urls.end(), design.bulletIconURLs.begin(), design.bulletIconURLs.end());
    return urls;
}

} // namespace quorvel
