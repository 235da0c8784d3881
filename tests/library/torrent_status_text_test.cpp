#include <set>

#include <gtest/gtest.h>

#include "tevro/library/torrent_status_text.h"

namespace tevro {
namespace {

struct Case {
    const char* what;
    TorrentStatus torrent;
    const char* text;
    const char* symbol;
};

TorrentStatus make(std::string state, bool paused, bool autoManaged, bool finished, bool seeding,
                   std::string error = {}, std::int64_t wanted = 100) {
    TorrentStatus t;
    t.state = std::move(state);
    t.paused = paused;
    t.autoManaged = autoManaged;
    t.finished = finished;
    t.seeding = seeding;
    t.error = std::move(error);
    t.wanted = wanted;
    return t;
}

TEST(TorrentStatusTextTest, FirstRuleThatAppliesWins) {
    TorrentStatus moving = make("downloading", false, false, false, false);
    moving.moving = true;
    const std::vector<Case> cases = {
        {"missing beats error", make("missing", true, false, false, false, "gone"),
         "Файл отсутствует", "exclamationmark.triangle.fill"},
        {"missing, paused", make("missing", true, false, false, false), "Файл отсутствует",
         "pause.circle.fill"},
        {"error while seeding", make("seeding", false, false, true, true, "disk"), "Ошибка",
         "exclamationmark.triangle.fill"},
        {"moving", moving, "Перемещение", "arrow.down.circle.fill"},
        {"checking", make("checking", false, false, false, false), "Проверка",
         "arrow.triangle.2.circlepath"},
        {"checking paused", make("checking", true, false, false, false), "Проверка · пауза",
         "arrow.triangle.2.circlepath"},
        {"checking queued", make("checking", true, true, false, false), "Ожидание проверки",
         "arrow.triangle.2.circlepath"},
        {"metadata", make("metadata", false, true, false, false), "Метаданные",
         "arrow.down.circle.fill"},
        {"metadata paused", make("metadata", true, false, false, false), "Пауза",
         "pause.circle.fill"},
        {"queued finished", make("finished", true, true, true, false), "В очереди",
         "checkmark.circle.fill"},
        {"queued download", make("downloading", true, true, false, false), "В очереди", "clock"},
        {"paused seeding", make("seeding", true, false, true, true), "Готово",
         "checkmark.circle.fill"},
        {"paused download", make("downloading", true, false, false, false), "Пауза",
         "pause.circle.fill"},
        {"seeding", make("seeding", false, true, true, true), "Раздача", "arrow.up.circle.fill"},
        {"downloading", make("downloading", false, true, false, false), "Загрузка",
         "arrow.down.circle.fill"},
        {"nothing wanted", make("finished", false, true, true, false, {}, 0), "Файлы не выбраны",
         "checkmark.circle.fill"},
        {"finished", make("finished", false, true, true, false), "Готово", "checkmark.circle.fill"},
    };
    std::set<std::string> given;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TorrentStatusText::statusText(c.torrent), c.text);
        EXPECT_EQ(TorrentStatusText::statusSymbol(c.torrent), c.symbol);
        given.insert(c.text);
    }
    // The list that views size their columns by holds exactly these words.
    const auto& all = TorrentStatusText::statusTexts();
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()), given);
}

TEST(TorrentStatusTextTest, ResumeTitleOfAGroup) {
    const TorrentStatus missing = make("missing", true, false, false, false);
    const TorrentStatus paused = make("downloading", true, false, false, false);
    EXPECT_EQ(TorrentStatusText::resumeTitle({}), "Возобновить");
    EXPECT_EQ(TorrentStatusText::resumeTitle({missing, missing}), "Перезапустить");
    EXPECT_EQ(TorrentStatusText::resumeTitle({missing, paused}), "Запустить");
    EXPECT_EQ(TorrentStatusText::resumeTitle({paused}), "Возобновить");
}

} // namespace
} // namespace tevro
