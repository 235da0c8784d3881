#include "quorvel-kit/offers/offers_configuration.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(OffersConfiguration, MaximumOffersStaysWithinOneToTwenty) {
    std::pair<int64_t, int64_t> cases[] = {{0, 1}, {-3, 1}, {50, 20}, {7, 7}, {INT64_MAX, 20}};
    for (auto [given, held] : cases) {
        OffersConfiguration c("tevro", QUrl("https://offers.test"), std::nullopt, given, false,
                              false, [] { return std::string("ru"); });
        EXPECT_EQ(c.maximumOffers(), held) << given;
        c.setMaximumOffers(-given);
        EXPECT_GE(c.maximumOffers(), 1);
        EXPECT_LE(c.maximumOffers(), 20);
    }
}

} // namespace
} // namespace quorvel
