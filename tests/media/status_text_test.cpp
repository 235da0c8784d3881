#include "tevro/media/status_text.h"

#include <gtest/gtest.h>

using namespace tevro;

namespace {

TEST(StatusText, TextAndSymbolTakeTheFirstMatchingRow) {
    struct Case {
        const char* state;
        const char* error;
        bool paused, autoManaged, finished, seeding, moving;
        std::int64_t wanted;
        const char* text;
        const char* symbol;
    } cases[] = {
        {"missing", "gone", true, false, false, false, false, 1, "Файл отсутствует",
         "exclamationmark.triangle.fill"},
        {"checking", "", false, false, false, false, true, 1, "Перемещение",
         "arrow.triangle.2.circlepath"},
        {"checking", "", true, false, false, false, false, 1, "Проверка · пауза",
         "arrow.triangle.2.circlepath"},
        {"checking", "", true, true, false, false, false, 1, "Ожидание проверки",
         "arrow.triangle.2.circlepath"},
        {"metadata", "", true, false, false, false, false, 0, "Пауза", "pause.circle.fill"},
        {"metadata", "", false, false, false, false, false, 0, "Метаданные",
         "arrow.down.circle.fill"},
        {"finished", "", true, true, true, false, false, 1, "В очереди", "checkmark.circle.fill"},
        {"downloading", "", true, true, false, false, false, 1, "В очереди", "clock"},
        {"downloading", "", true, false, false, false, false, 1, "Пауза", "pause.circle.fill"},
        {"seeding", "", false, false, true, true, false, 1, "Раздача", "arrow.up.circle.fill"},
        {"finished", "", false, false, true, false, false, 0, "Файлы не выбраны",
         "checkmark.circle.fill"},
        {"finished", "", false, false, true, false, false, 5, "Готово", "checkmark.circle.fill"},
        {"downloading", "x", false, false, false, false, false, 5, "Ошибка",
         "exclamationmark.triangle.fill"},
    };
    for (const auto& c : cases) {
        TorrentStatus t;
        t.state = c.state;
        t.error = c.error;
        t.paused = c.paused;
        t.autoManaged = c.autoManaged;
        t.finished = c.finished;
        t.seeding = c.seeding;
        t.moving = c.moving;
        t.wanted = c.wanted;
        EXPECT_EQ(statusText(t), c.text) << c.state << " " << c.text;
        EXPECT_EQ(statusSymbol(t), c.symbol) << c.state << " " << c.text;
    }
}

TEST(StatusText, ResumeTitleFollowsMissingFiles) {
    TorrentStatus missing, seeding;
    missing.state = "missing";
    seeding.state = "seeding";
    EXPECT_EQ(resumeTitle({}), "Возобновить");
    EXPECT_EQ(resumeTitle({seeding}), "Возобновить");
    EXPECT_EQ(resumeTitle({missing, seeding}), "Запустить");
    EXPECT_EQ(resumeTitle({missing, missing}), "Перезапустить");
}

} // namespace
