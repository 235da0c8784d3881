#include <gtest/gtest.h>

#include "quorvel-kit/updates/store_version.h"
#include "quorvel-kit/updates/update_vocabulary.h"

namespace tevro::test {
namespace {

using namespace quorvel;

std::optional<StoreVersion> v(std::string_view text) {
    return StoreVersion::parse(text);
}

TEST(StoreVersion, ParsesOnlyDottedDecimals) {
    for (const char* bad : {"", "1..2", ".1", "1.", "1.2.", "v1.2", "1.2-beta", " 1.2", "1.2 ",
                            "1.2a", "+1", "-1", "1.2.3.4.5.6.7.8.9"})
        EXPECT_FALSE(v(bad)) << bad;
    EXPECT_FALSE(v(std::string(129, '1')));
    EXPECT_TRUE(v(std::string(128, '1')));
    EXPECT_TRUE(v("1.2.3.4.5.6.7.8"));
    EXPECT_EQ(v("01.2"), v("1.2"));
    EXPECT_EQ(v("1.0"), v("1"));
    EXPECT_EQ(v("1.0.0")->parts(), std::vector<std::string>{"1"});
    EXPECT_TRUE(v("0")->parts().empty());
    EXPECT_EQ(v("0"), v("0.0.0"));
    EXPECT_EQ(v("000.5")->parts(), (std::vector<std::string>{"", "5"}));
}

TEST(StoreVersion, OrdersByNumericParts) {
    const std::pair<const char*, const char*> less[] = {
        {"1.2", "1.10"},
        {"1.9", "1.10"},
        {"0", "0.1"},
        {"1", "1.0.1"},
        {"99999999999999999999", "100000000000000000000"},
        {"2.0", "10.0"}};
    for (const auto& [a, b] : less) {
        EXPECT_TRUE(*v(a) < *v(b)) << a << " < " << b;
        EXPECT_FALSE(*v(b) < *v(a)) << b << " < " << a;
    }
    EXPECT_FALSE(*v("1.0") < *v("1"));
    EXPECT_FALSE(*v("1") < *v("1.0"));
}

TEST(UpdateVocabulary, RawValuesAndEquality) {
    EXPECT_EQ(updateActionFromRaw("installAndRelaunch"), UpdateAction::installAndRelaunch);
    EXPECT_EQ(updateActionFromRaw("Check"), std::nullopt);
    EXPECT_EQ(rawValue(UpdateFailure::unavailableInStorefront), "unavailableInStorefront");
    EXPECT_EQ(updateFailureFromRaw("verification"), UpdateFailure::verification);
    EXPECT_EQ(updateSourceFromRaw("appStore"), UpdateSource::appStore);
    EXPECT_EQ(rawValue(UpdateSource::direct), "direct");

    const UpdateRelease noNotes{"1", "1.0", UpdateSource::direct, std::nullopt};
    UpdateRelease emptyNotes = noNotes;
    emptyNotes.releaseNotes = "";
    EXPECT_NE(noNotes, emptyNotes);
    EXPECT_NE(UpdatePhase::available(noNotes), UpdatePhase::available(emptyNotes));

    const UpdateSnapshot a{UpdatePhase::idle(), {UpdateAction::check, UpdateAction::skip}};
    const UpdateSnapshot b{UpdatePhase::idle(), {UpdateAction::skip, UpdateAction::check}};
    const UpdateSnapshot c{UpdatePhase::idle(), {UpdateAction::check}};
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(UpdatePhase::downloading(5, std::nullopt), UpdatePhase::downloading(5, 0));
    EXPECT_EQ(UpdatePhase::downloading(5, 9), UpdatePhase::downloading(5, 9));
    EXPECT_NE(UpdatePhase::extracting(std::nullopt), UpdatePhase::extracting(0.0));
    EXPECT_NE(UpdatePhase::failed(UpdateFailure::network),
              UpdatePhase::failed(UpdateFailure::verification));
    EXPECT_NE(UpdatePhase::idle(), UpdatePhase::checking());
}

} // namespace
} // namespace tevro::test
