#include "quorvel-kit/offers/offers_engine.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quorvel {
namespace {

using json = nlohmann::json;

json validItem(const std::string& id = "a") {
    return {{"id", id},
            {"targetAppId", "notaly"},
            {"frequency", {{"maxImpressionsPerDay", 2}, {"dismissForDays", 7}}},
            {"content",
             {{"title", "Заметки"}, {"ctaLabel", "Открыть"}, {"ctaUrl", "https://n.test/get"}}}};
}

std::vector<Offer> decodeItems(const std::vector<json>& items, json extra = json::object()) {
    extra["offers"] = items;
    return OffersEngine::decode(extra.dump(), "tevro");
}

std::vector<std::string> ids(const std::vector<Offer>& offers) {
    std::vector<std::string> out;
    for (const auto& o : offers)
        out.push_back(o.id);
    return out;
}

TEST(OfferDecoding, IsSafe) {
    std::pair<const char*, bool> cases[] = {
        {"https://a.test/x", true},     {"HTTPS://a.test/x", true},
        {"http://a.test/x", false},     {"https://user@a.test/x", false},
        {"https://u:p@a.test/", false}, {"https:///nohost", false},
        {"javascript:alert(1)", false}, {"file:///etc/passwd", false},
        {"ftp://a.test/", false},
    };
    for (auto [text, safe] : cases)
        EXPECT_EQ(OffersEngine::isSafe(QUrl(text)), safe) << text;
}

TEST(OfferDecoding, ValidItemBecomesOffer) {
    json item = validItem();
    item["startsAt"] = "2025-01-01T00:00:00.250Z";
    item["endsAt"] = "2025-01-01";
    item["content"]["title"] = "  Заметки  ";
    auto offers = decodeItems({item});
    ASSERT_EQ(offers.size(), 1u);
    const Offer& o = offers[0];
    EXPECT_EQ(o.title, "  Заметки  ");
    EXPECT_EQ(o.body, "");
    EXPECT_EQ(o.ctaURL, QUrl("https://n.test/get"));
    EXPECT_EQ(o.maxImpressionsPerDay, 2);
    EXPECT_EQ(o.dismissForDays, 7);
    EXPECT_FALSE(o.isRightToLeft);
    EXPECT_EQ(o.design, OfferDesign::standard());
    ASSERT_TRUE(o.startsAt);
    EXPECT_DOUBLE_EQ(*o.startsAt, 1735689600.25);
    EXPECT_FALSE(o.endsAt);
}

TEST(OfferDecoding, AdmissionRulesDropSingleItems) {
    auto with = [](auto change) {
        json item = validItem();
        change(item);
        return item;
    };
    std::pair<const char*, json> dropped[] = {
        {"no content", with([](json& i) { i.erase("content"); })},
        {"empty id", with([](json& i) { i["id"] = ""; })},
        {"long id", with([](json& i) { i["id"] = std::string(101, 'x'); })},
        {"self", with([](json& i) { i["targetAppId"] = "tevro"; })},
        {"blank title", with([](json& i) { i["content"]["title"] = " \n "; })},
        {"title 121", with([](json& i) { i["content"]["title"] = std::string(121, 't'); })},
        {"body 601", with([](json& i) { i["content"]["body"] = std::string(601, 'b'); })},
        {"blank cta", with([](json& i) { i["content"]["ctaLabel"] = "  "; })},
        {"http cta", with([](json& i) { i["content"]["ctaUrl"] = "http://n.test/"; })},
        {"user cta", with([](json& i) { i["content"]["ctaUrl"] = "https://u@n.test/"; })},
        {"no host", with([](json& i) { i["content"]["ctaUrl"] = "https:///x"; })},
        {"zero impressions", with([](json& i) { i["frequency"]["maxImpressionsPerDay"] = 0; })},
        {"zero days", with([](json& i) { i["frequency"]["dismissForDays"] = 0; })},
    };
    for (const auto& [name, item] : dropped)
        EXPECT_EQ(ids(decodeItems({item, validItem("keep")})), std::vector<std::string>{"keep"})
            << name;

    std::pair<const char*, json> kept[] = {
        {"title 120", with([](json& i) { i["content"]["title"] = std::string(120, 't'); })},
        {"title counts letters", with([](json& i) {
             std::string s;
             for (int n = 0; n < 120; ++n)
                 s += "ё";
             i["content"]["title"] = s;
         })},
        {"body 600", with([](json& i) { i["content"]["body"] = std::string(600, 'b'); })},
        {"HTTPS cta", with([](json& i) { i["content"]["ctaUrl"] = "HTTPS://n.test/"; })},
    };
    for (const auto& [name, item] : kept)
        EXPECT_EQ(decodeItems({item}).size(), 1u) << name;
}

TEST(OfferDecoding, RepeatedIdsFirstValidWins) {
    json invalid = validItem("dup");
    invalid["content"]["ctaUrl"] = "http://x.test/";
    json second = validItem("dup");
    second["content"]["title"] = "second";
    json third = validItem("dup");
    third["content"]["title"] = "third";
    auto offers = decodeItems({invalid, second, third});
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].title, "second");
}

TEST(OfferDecoding, PicturesStatsAndBullets) {
    json item = validItem();
    item["content"]["imageUrl"] = "http://n.test/p.png";
    item["content"]["imageAlt"] = "alt";
    item["content"]["stats"] = json::array({{{"value", ""}, {"label", "one"}},
                                            {{"value", std::string(12, '9')}, {"label", ""}},
                                            {{"value", "3"}, {"label", std::string(48, 'l')}},
                                            {{"value", "4"}, {"label", "four"}}});
    item["content"]["bullets"] = {"one", std::string(91, 'x'), "three", "four", "five"};
    auto offers = decodeItems({item});
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_FALSE(offers[0].imageURL);
    EXPECT_FALSE(offers[0].imageAlt);
    EXPECT_EQ(offers[0].stats,
              (std::vector<OfferStat>{{std::string(12, '9'), ""}, {"3", std::string(48, 'l')}}));
    EXPECT_EQ(offers[0].bullets, (std::vector<std::string>{"one", "three", "four"}));

    item["content"]["imageUrl"] = "https://n.test/p.png";
    item["content"]["stats"] = json::array({{{"value", std::string(13, '9')}, {"label", "x"}},
                                            {{"value", "1"}, {"label", std::string(49, 'l')}}});
    offers = decodeItems({item});
    EXPECT_EQ(offers[0].imageURL, QUrl("https://n.test/p.png"));
    EXPECT_EQ(offers[0].imageAlt, "alt");
    EXPECT_TRUE(offers[0].stats.empty());
}

TEST(OfferDecoding, Design) {
    json design = {
        {"layout", "corner"},
        {"background", {"#112233", "#445566"}},
        {"foreground", "#000000"},
        {"accent", "#ABCDEF"},
        {"iconUrl", "https://n.test/i.png"},
        {"bulletIconUrls", {"https://n.test/1", "https://n.test/2", "https://n.test/3"}}};
    auto designOf = [](json d, std::vector<std::string> bullets) {
        json item = validItem();
        item["design"] = d;
        item["content"]["bullets"] = bullets;
        return decodeItems({item}).at(0).design;
    };
    OfferDesign full = designOf(design, {"a", "b", "c"});
    EXPECT_EQ(full.layout, OfferDesign::Layout::corner);
    EXPECT_EQ(full.background.second, *OfferDesign::RGB::fromHex("#445566"));
    EXPECT_EQ(full.iconURL, QUrl("https://n.test/i.png"));
    EXPECT_EQ(full.bulletIconURLs.size(), 3u);
    EXPECT_TRUE(designOf(design, {"a", "b"}).bulletIconURLs.empty());

    json capitals = design;
    capitals["layout"] = "SIDE";
    EXPECT_EQ(designOf(capitals, {}).layout, OfferDesign::Layout::bottom);
    json three = design;
    three["background"] = {"#112233", "#445566", "#778899"};
    EXPECT_EQ(designOf(three, {}), OfferDesign::standard());
    json shortAccent = design;
    shortAccent["accent"] = "#ABCDE";
    EXPECT_EQ(designOf(shortAccent, {}), OfferDesign::standard());
}

TEST(OfferDecoding, DirectionAppliesToWholeReply) {
    EXPECT_TRUE(
        decodeItems({validItem("a"), validItem("b")}, {{"direction", "rtl"}}).at(1).isRightToLeft);
    EXPECT_FALSE(decodeItems({validItem()}, {{"direction", "RTL"}}).at(0).isRightToLeft);
}

TEST(OfferDecoding, DefectsRejectWholeReply) {
    auto with = [](auto change) {
        json item = validItem("bad");
        change(item);
        return item;
    };
    std::pair<const char*, json> defects[] = {
        {"no frequency", with([](json& i) { i.erase("frequency"); })},
        {"fractional", with([](json& i) { i["frequency"]["maxImpressionsPerDay"] = 1.5; })},
        {"huge", with([](json& i) { i["frequency"]["dismissForDays"] = 1e19; })},
        {"unsigned",
         with([](json& i) { i["frequency"]["dismissForDays"] = 18446744073709551615u; })},
        {"content string", with([](json& i) { i["content"] = "text"; })},
        {"null id", with([](json& i) { i["id"] = nullptr; })},
        {"stat number", with([](json& i) {
             i["content"]["stats"] = json::array({{{"value", 3}, {"label", "x"}}});
         })},
        {"start number", with([](json& i) { i["startsAt"] = 5; })},
    };
    for (const auto& [name, item] : defects)
        EXPECT_TRUE(decodeItems({validItem("ok"), item}).empty()) << name;

    json integral = validItem();
    integral["frequency"]["maxImpressionsPerDay"] = 2.0;
    integral["content"]["body"] = nullptr;
    integral["unknown"] = {1, 2};
    EXPECT_EQ(decodeItems({integral}).size(), 1u);

    for (const char* body :
         {"", "not json", "[]", "{}", R"({"offers":{}})", R"({"offers":[],"direction":1})"})
        EXPECT_TRUE(OffersEngine::decode(body, "tevro").empty()) << body;
}

TEST(OfferDecoding, DismissalDaysAreBounded) {
    EXPECT_EQ(OffersEngine::dismissalSeconds(1), 86'400.0);
    EXPECT_EQ(OffersEngine::dismissalSeconds(30), 30 * 86'400.0);
    // A day count from the service near the 64-bit limit stays a sane span.
    for (int64_t days : {int64_t(1) << 50, INT64_MAX}) {
        double seconds = OffersEngine::dismissalSeconds(days);
        EXPECT_GT(seconds, 365 * 86'400.0);
        EXPECT_LE(seconds, 3660 * 86'400.0);
    }
}

TEST(OfferDates, InternetDateTimes) {
    std::pair<const char*, std::optional<Date>> cases[] = {
        {"2025-03-07T09:00:00Z", 1741338000.0},
        {"2025-03-07T09:00:00+03:00", 1741327200.0},
        {"2025-03-07T09:00:00.250Z", 1741338000.25},
        {"2025-03-07T09:00:00.250-01:30", 1741343400.25},
        {"2025-03-07", std::nullopt},
        {"2025-03-07T09:00:00", std::nullopt},
        {"2025-02-30T09:00:00Z", std::nullopt},
        {"2025-03-07T25:00:00Z", std::nullopt},
        {"2025-03-07t09:00:00z", std::nullopt},
    };
    for (auto [text, date] : cases)
        EXPECT_EQ(parseOfferDate(text), date) << text;
}

} // namespace
} // namespace quorvel
