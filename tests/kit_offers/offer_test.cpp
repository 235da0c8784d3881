#include "quorvel-kit/offers/offer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(OfferDesign, HexColours) {
    using RGB = OfferDesign::RGB;
    struct Case {
        const char* text;
        std::optional<RGB> colour;
    } cases[] = {
        {"#5B21B6", RGB{91 / 255.0, 33 / 255.0, 182 / 255.0}},
        {"#5b21b6", RGB{91 / 255.0, 33 / 255.0, 182 / 255.0}},
        {"#FFFFFF", RGB{1, 1, 1}},
        {"#000000", RGB{0, 0, 0}},
        {"#+1F2E3", RGB{1 / 255.0, 242 / 255.0, 227 / 255.0}},
        {"#-00000", RGB{0, 0, 0}},
        {"#-00001", std::nullopt},
        {"5B21B6", std::nullopt},
        {"#5B21B6FF", std::nullopt},
        {"#FFF", std::nullopt},
        {" #5B21B6", std::nullopt},
        {"#GGGGGG", std::nullopt},
        {"#0x1234", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RGB::fromHex(c.text), c.colour) << c.text;
}

TEST(OfferDesign, LightTextAndStandard) {
    std::pair<const char*, bool> cases[] = {
        {"#FFFFFF", true}, {"#000000", false}, {"#777777", false}, {"#BBBBBB", true}};
    for (auto [hex, light] : cases) {
        OfferDesign design = OfferDesign::standard();
        design.foreground = *OfferDesign::RGB::fromHex(hex);
        EXPECT_EQ(design.hasLightText(), light) << hex;
    }
    const auto& standard = OfferDesign::standard();
    EXPECT_EQ(standard.layout, OfferDesign::Layout::bottom);
    EXPECT_EQ(standard.background.first, *OfferDesign::RGB::fromHex("#7C3AED"));
    EXPECT_EQ(standard.accent, *OfferDesign::RGB::fromHex("#5B21B6"));
    EXPECT_TRUE(standard.hasLightText());
    EXPECT_EQ(layoutFromRaw("side"), OfferDesign::Layout::side);
    EXPECT_EQ(layoutFromRaw("Side"), std::nullopt);
}

TEST(Offer, CatalogueFallbacksImagesAndEquality) {
    Offer offer;
    offer.targetAppID = "no-such-app";
    EXPECT_EQ(offer.appName(), "no-such-app");
    EXPECT_EQ(offer.symbol(), "sparkles");
    offer.targetAppID = "notaly";
    EXPECT_EQ(offer.appName(), "Notaly");

    QUrl icon("https://a.test/icon.png"), picture("https://a.test/p.png"),
        b1("https://a.test/b1.png"), b2("https://a.test/b2.png");
    offer.design.bulletIconURLs = {b1, b2};
    EXPECT_EQ(offer.imageURLs(), (std::vector<QUrl>{b1, b2}));
    offer.design.bulletIconURLs.clear();
    offer.design.iconURL = icon;
    offer.imageURL = picture;
    EXPECT_EQ(offer.imageURLs(), (std::vector<QUrl>{icon, picture}));

    Offer other = offer;
    EXPECT_EQ(other, offer);
    other.startsAt = 5.0;
    EXPECT_NE(other, offer);
    other = offer;
    other.dismissForDays = 2;
    EXPECT_NE(other, offer);
}

} // namespace
} // namespace quorvel
