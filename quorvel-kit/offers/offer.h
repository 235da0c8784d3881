#pragma once

// One promotion of another of the maker's applications, ready to be shown,
// with its figures and styling. Plain values; nothing here does I/O.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QUrl>

#include "quorvel-kit/statistics/kit_time.h"

namespace quorvel {

struct OfferStat {
    std::string value;
    std::string label;

    bool operator==(const OfferStat&) const = default;
};

struct OfferDesign {
    enum class Layout { corner, side, bottom };

    struct RGB {
        double red = 0;
        double green = 0;
        double blue = 0;

        // "#RRGGBB" as the standard integer reader reads base 16; none otherwise.
        static std::optional<RGB> fromHex(std::string_view text);
        bool operator==(const RGB&) const = default;
    };

    Layout layout = Layout::bottom;
    std::pair<RGB, RGB> background;
    RGB foreground;
    RGB accent;
    std::optional<QUrl> iconURL;
    std::vector<QUrl> bulletIconURLs;

    // Whether the foreground is light enough to need dark decorations.
    bool hasLightText() const;
    static const OfferDesign& standard();

    bool operator==(const OfferDesign&) const = default;
};

// "corner", "side", "bottom"; exact letter case.
std::string_view rawValue(OfferDesign::Layout layout);
std::optional<OfferDesign::Layout> layoutFromRaw(std::string_view raw);
inline constexpr OfferDesign::Layout kAllOfferLayouts[] = {
    OfferDesign::Layout::corner, OfferDesign::Layout::side, OfferDesign::Layout::bottom};

struct Offer {
    std::string id;
    std::string targetAppID;
    std::string title;
    std::string body;
    std::string ctaLabel;
    QUrl ctaURL;
    std::optional<QUrl> imageURL;
    std::optional<std::string> imageAlt;
    bool isRightToLeft = false;
    OfferDesign design = OfferDesign::standard();
    std::vector<OfferStat> stats;
    std::vector<std::string> bullets;
    std::optional<Date> startsAt;
    std::optional<Date> endsAt;
    int64_t maxImpressionsPerDay = 1;
    int64_t dismissForDays = 1;

    // The catalogue's name of the promoted application, else its identifier.
    std::string appName() const;
    // The catalogue's symbol, else "sparkles".
    std::string symbol() const;
    // Icon, picture, then bullet icons: everything the views may load.
    std::vector<QUrl> imageURLs() const;

    bool operator==(const Offer&) const = default;
};

} // namespace quorvel
