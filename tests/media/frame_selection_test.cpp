#include "tevro/media/frame_selection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

using namespace tevro;

namespace {

// FNV-1a of this path is 500 modulo 1000, so u = 0.5.
const char* kHalfway = "/videos/clip-718.mkv";

void expectTimes(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << "time " << i;
}

std::vector<std::uint8_t> frame(int width, int height, auto pixel) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto [r, g, b] = pixel(x, y);
            rgba.insert(rgba.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255});
        }
    return rgba;
}

struct Rgb {
    int r, g, b;
};

} // namespace

TEST(FrameSelection, TimesFollowTheWindow) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double duration;
        double available;
        std::vector<double> times;
    };
    const Case cases[] = {
        {3600, 1, {713.07, 1539.0, 2437.38}},
        {300, 1, {88.86, 147.0, 210.24}},
        {3600, 0.5, {311.955, 721.5, 1.0}},
        {20, 0.1, {0.4696, 0.88, 1.0}},
        {1.5, 1, {0.4443, 0.735, 1.0512}},
        {0, 1, {4.0, 0.5}},
        {0, 0.2, {4.0, 0.5}},
        {1, 1, {4.0, 0.5}},
        {inf, 1, {4.0, 0.5}},
        {nan, 1, {4.0, 0.5}},
        {-5, 1, {4.0, 0.5}},
        // 0.999 counts as complete, 0.998 does not: g = 0.7984 clamps to 0.65.
        {3600, 0.999, {713.07, 1539.0, 2437.38}},
        {3600, 0.998, {3 + 2337 * 0.215, 3 + 2337 * 0.5, 1.0}},
        // Nothing downloaded still gives a window: g = 0.01, end = 36.
        {3600, 0, {3 + 33 * 0.215, 3 + 33 * 0.5, 1.0}},
        {1.2, 0.5, {0.048 + 0.432 * 0.215, 0.048 + 0.432 * 0.5, 0.12}},
        // A window shorter than 0.2 s is widened to 0.2 s.
        {2, 0.05, {0.008 + 0.2 * 0.215, 0.008 + 0.2 * 0.5, 0.2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.duration << " s, available " << c.available);
        expectTimes(FrameSelection::times(c.duration, kHalfway, c.available), c.times);
    }
}

TEST(FrameSelection, TimesDependOnlyOnTheIdentity) {
    // The empty identity hashes to the FNV offset basis: u = 0.037.
    expectTimes(FrameSelection::times(0, "", 1), {2.148, 0.5});
    EXPECT_EQ(FrameSelection::times(5400, "/a/Movie.mkv", 0.4),
              FrameSelection::times(5400, "/a/Movie.mkv", 0.4));
    EXPECT_NE(FrameSelection::times(5400, "/a/Movie.mkv", 1),
              FrameSelection::times(5400, "/b/Movie.mkv", 1));
    // A 1.5 s video: the window is 0.225...1.245 s and nothing passes 1.3 s.
    for (const char* identity : {"", "x", "/videos/a.mkv", "/videos/b.mkv", kHalfway})
        for (double t : FrameSelection::times(1.5, identity, 1)) {
            EXPECT_GE(t, 0.225);
            EXPECT_LE(t, 1.3);
        }
}

TEST(FrameSelection, ScoreOfAKnownFrame) {
    // Black and white columns: mean 0.5, deviation 0.5, two full bins
    // (entropy 1 bit / 4), edge sum 2 over 4 pixels, no colour.
    const auto stripes = frame(2, 2, [](int x, int) {
        return x == 0 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    });
    const auto score = FrameSelection::score(stripes, 2, 2);
    ASSERT_TRUE(score);
    EXPECT_NEAR(*score, 0.25 + 0.25 + 0.4 * 0.25, 1e-12);

    // Alpha takes no part.
    auto translucent = stripes;
    for (std::size_t i = 3; i < translucent.size(); i += 4)
        translucent[i] = 7;
    EXPECT_EQ(FrameSelection::score(translucent, 2, 2), score);
}

TEST(FrameSelection, ScoreRefusesUnusableFrames) {
    const auto plain = [](int r, int g, int b) {
        return frame(96, 54, [=](int, int) { return Rgb{r, g, b}; });
    };
    // Mostly (82 %) black with a bright rest, against a little less black.
    const auto darkness = [](int percent) {
        return frame(100, 10, [=](int x, int) {
            return x < percent ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
        });
    };
    EXPECT_FALSE(FrameSelection::score(plain(0, 0, 0), 96, 54));
    EXPECT_FALSE(FrameSelection::score(plain(255, 255, 255), 96, 54));
    EXPECT_FALSE(FrameSelection::score(plain(200, 30, 90), 96, 54));
    EXPECT_FALSE(FrameSelection::score(darkness(82), 100, 10));
    EXPECT_TRUE(FrameSelection::score(darkness(80), 100, 10));
    // Mostly white the same way.
    const auto glare = frame(100, 10, [](int x, int) {
        return x < 18 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    });
    EXPECT_FALSE(FrameSelection::score(glare, 100, 10));

    const auto texture = frame(96, 54, [](int x, int y) {
        return Rgb{(x * 7 + y * 3) % 256, (x * y) % 256, (255 - x * 2) % 256};
    });
    ASSERT_TRUE(FrameSelection::score(texture, 96, 54));
    EXPECT_FALSE(FrameSelection::score(std::span(texture).first(96 * 4), 96, 1));
    EXPECT_FALSE(FrameSelection::score(std::span(texture).first(54 * 4), 1, 54));
    EXPECT_FALSE(FrameSelection::score(std::span(texture).first(texture.size() - 1), 96, 54));
}

TEST(FrameSelection, ScorePrefersDetailAndColour) {
    // A soft grey ramp against the same ramp with colour and fine detail.
    const auto ramp = frame(96, 54, [](int x, int) {
        const int v = 40 + x * 2;
        return Rgb{v, v, v};
    });
    const auto busy = frame(96, 54, [](int x, int y) {
        const int v = 40 + x * 2;
        const int detail = (x + y) % 2 ? 30 : -30;
        return Rgb{std::clamp(v + detail, 0, 255), std::clamp(v / 2, 0, 255),
                   std::clamp(255 - v + detail, 0, 255)};
    });
    const auto plain = FrameSelection::score(ramp, 96, 54);
    const auto rich = FrameSelection::score(busy, 96, 54);
    ASSERT_TRUE(plain && rich);
    EXPECT_GT(*rich, *plain);
    EXPECT_LE(*rich, 1.0);
    EXPECT_GT(*plain, 0.0);
}
