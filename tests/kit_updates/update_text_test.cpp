#include <set>

#include <gtest/gtest.h>

#include "quorvel-kit/updates/update_text.h"

namespace tevro::test {
namespace {

using quorvel::UpdateText;
using Key = UpdateText::Key;

TEST(UpdateText, PicksTheRowByLanguage) {
    EXPECT_EQ(UpdateText::string(Key::title, "ru"), "Обновления");
    EXPECT_EQ(UpdateText::string(Key::check, "ru"), "Проверить обновления…");
    EXPECT_EQ(UpdateText::string(Key::verification, "ru"),
              "Не удалось проверить подлинность обновления.");
    EXPECT_EQ(UpdateText::string(Key::failed, "en-GB"),
              QString::fromUtf8("Couldn’t check for updates."));
    EXPECT_EQ(UpdateText::string(Key::title, "is"), "Updates");
    EXPECT_EQ(UpdateText::string(Key::title, "ru-UA"), "Обновления");
    EXPECT_EQ(UpdateText::string(Key::title, "ru_RU"), "Обновления");
    const std::pair<const char*, const char*> matches[] = {
        {"zh-CN", "zh-Hans"}, {"zh-Hant-TW", "zh-Hant"}, {"zh-HK", "zh-Hant"},
        {"pt", "pt-BR"},      {"pt-PT", "pt-PT"},        {"es-419", "es-MX"},
        {"es-ES", "es"},      {"fr-CA", "fr-CA"},        {"en-US", "en"},
        {"nn", "nb"},         {"de-AT", "de"},           {"xx", "en"}};
    for (const auto& [given, code] : matches)
        EXPECT_EQ(UpdateText::match({given}), code) << given;
    EXPECT_EQ(UpdateText::match({"is", "de"}), "de");
}

TEST(UpdateText, HostLocalizationsDecideWithoutALanguage) {
    UpdateText::setPreferredLocalizations({"de", "en"});
    EXPECT_EQ(UpdateText::string(Key::later), "Später");
    UpdateText::setPreferredLocalizations({"ru"});
    EXPECT_EQ(UpdateText::string(Key::check), "Проверить обновления…");
}

TEST(UpdateText, EveryRowHasEveryText) {
    EXPECT_EQ(UpdateText::languages().size(), 50u);
    EXPECT_EQ(UpdateText::keyFromRaw(18), Key::notify);
    EXPECT_EQ(UpdateText::keyFromRaw(19), std::nullopt);
    for (const std::string& language : UpdateText::languages()) {
        std::set<QString> texts;
        for (Key key : UpdateText::allKeys()) {
            const QString text = UpdateText::string(key, language);
            EXPECT_FALSE(text.isEmpty()) << language;
            EXPECT_FALSE(text.contains("...")) << language;
            texts.insert(text);
        }
        // Only the button texts install/done may coincide with others in a row.
        EXPECT_GE(texts.size(), 17u) << language;
        EXPECT_EQ(UpdateText::match({language}), language);
    }
    for (const char* english : {"en-AU", "en-CA", "en-GB"})
        for (Key key : UpdateText::allKeys())
            EXPECT_EQ(UpdateText::string(key, english), UpdateText::string(key, "en"));
}

} // namespace
} // namespace tevro::test
