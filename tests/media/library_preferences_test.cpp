#include "tevro/media/library_preferences.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tevro/core/storage.h"

using namespace tevro;

namespace {

const LibraryPreferences kDefaults{LibraryLayout::grid, LibrarySort::newest, false};

} // namespace

TEST(LibraryPreferences, RawValuesInMenuOrder) {
    std::vector<std::string_view> layouts, sorts;
    for (LibraryLayout l : kAllLibraryLayouts)
        layouts.push_back(rawValue(l));
    for (LibrarySort s : kAllLibrarySorts)
        sorts.push_back(rawValue(s));
    EXPECT_EQ(layouts, (std::vector<std::string_view>{"grid", "list", "table"}));
    EXPECT_EQ(sorts, (std::vector<std::string_view>{"newest", "name", "progress", "size"}));
    for (LibraryLayout l : kAllLibraryLayouts)
        EXPECT_EQ(libraryLayoutFromRaw(rawValue(l)), l);
    for (LibrarySort s : kAllLibrarySorts)
        EXPECT_EQ(librarySortFromRaw(rawValue(s)), s);
    EXPECT_FALSE(libraryLayoutFromRaw("Grid"));
    EXPECT_FALSE(librarySortFromRaw(""));
}

TEST(LibraryPreferences, Decoding) {
    const std::pair<const char*, std::optional<LibraryPreferences>> cases[] = {
        {"{}", kDefaults},
        {R"({"sort":"size"})", LibraryPreferences{LibraryLayout::grid, LibrarySort::size, false}},
        {R"({"layout":"list","sort":"name","transferDetailsCollapsed":true})",
         LibraryPreferences{LibraryLayout::list, LibrarySort::name, true}},
        {R"({"layout":"table","sort":null,"transferDetailsCollapsed":null})",
         LibraryPreferences{LibraryLayout::table, LibrarySort::newest, false}},
        {R"({"layout":"table","unknown":1})",
         LibraryPreferences{LibraryLayout::table, LibrarySort::newest, false}},
        {R"({"layout":"cards","sort":"size"})", std::nullopt},
        {R"({"layout":"grid","sort":5})", std::nullopt},
        {R"({"transferDetailsCollapsed":"yes"})", std::nullopt},
        {R"({"transferDetailsCollapsed":1})", std::nullopt},
        {"[]", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        auto decoded = json::decode<LibraryPreferences>(text);
        EXPECT_EQ(decoded.has_value(), expected.has_value()) << text;
        if (decoded && expected) {
            EXPECT_EQ(*decoded, *expected) << text;
        }
    }
}

TEST(LibraryPreferences, EncodesAllThreeKeys) {
    Json j = LibraryPreferences{LibraryLayout::list, LibrarySort::progress, true};
    EXPECT_EQ(
        j, Json::parse(R"({"layout":"list","sort":"progress","transferDetailsCollapsed":true})"));
    EXPECT_EQ(Json(kDefaults),
              Json::parse(R"({"layout":"grid","sort":"newest","transferDetailsCollapsed":false})"));
}

TEST(LibraryPreferences, LoadAndSaveTheFile) {
    test::TempDir dir;
    const auto path = dir / Storage::kLibraryFile;

    EXPECT_EQ(LibraryPreferences::load(path), kDefaults); // missing

    const LibraryPreferences chosen{LibraryLayout::table, LibrarySort::size, true};
    ASSERT_TRUE(chosen.save(path));
    EXPECT_EQ(LibraryPreferences::load(path), chosen);
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
    EXPECT_EQ(Json::parse(test::readAll(path)),
              Json::parse(R"({"layout":"table","sort":"size","transferDetailsCollapsed":true})"));

    // One bad key throws away the good ones too.
    test::writeAll(path, R"({"layout":"mosaic","sort":"name","transferDetailsCollapsed":true})");
    EXPECT_EQ(LibraryPreferences::load(path), kDefaults);
    test::writeAll(path, "{\"layout\":");
    EXPECT_EQ(LibraryPreferences::load(path), kDefaults);
}
