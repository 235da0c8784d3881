#include "quorvel-kit/offers/offers_wire.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace quorvel {
namespace {

using json = nlohmann::json;

TEST(OffersState, EmptyStateWritesOnlyTheMaps) {
    EXPECT_EQ(json::parse(OffersState{}.encode()),
              json::parse(R"({"impressions":{},"dismissed":{}})"));
}

TEST(OffersState, RoundTripAndStoredForm) {
    OffersState state;
    state.cacheKey = "ru|";
    state.etag = "\"v1\"";
    state.body = std::string("{\"offers\":[]}\0\xff", 15);
    state.fetchedAt = kReferenceDateOffset + 90.5;
    state.impressions["a"]["2025-03-07"] = 3;
    state.impressions["b"]; // an offer with no days left
    state.dismissed["a"] = kReferenceDateOffset + 60;
    std::string text = state.encode();
    json stored = json::parse(text);
    EXPECT_EQ(stored["dismissed"]["a"], 60.0);
    EXPECT_EQ(stored["fetchedAt"], 90.5);
    EXPECT_FALSE(stored.contains("failedAt"));
    EXPECT_EQ(stored["body"], "eyJvZmZlcnMiOltdfQD/");
    EXPECT_EQ(OffersState::decode(text), state);
}

TEST(OffersState, DefectiveFilesDecodeToNothing) {
    const char* defects[] = {
        "",
        "[]",
        R"({"impressions":{}})",
        R"({"dismissed":{}})",
        R"({"impressions":{},"dismissed":{},"fetchedAt":"10"})",
        R"({"impressions":{},"dismissed":{},"body":"not base64!"})",
        R"({"impressions":{"a":{"2025-01-01":1.5}},"dismissed":{}})",
        R"({"impressions":{},"dismissed":{"a":"x"}})",
    };
    for (const char* text : defects)
        EXPECT_FALSE(OffersState::decode(text)) << text;
    auto spaced = OffersState::decode(
        R"( { "dismissed" : { } , "etag" : null , "impressions" : {} , "extra" : 1 } )");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(*spaced, OffersState{});
}

} // namespace
} // namespace quorvel
