#include <gtest/gtest.h>

#include "tests/library/library_engine.h"
#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tevro/library/checking_metrics.h"
#include "tevro/library/library_style.h"
#include "tevro/library/pieces_bar.h"
#include "tevro/library/transfer_badge.h"
#include "tevro/library/transfer_progress.h"

namespace tevro {
namespace {

// The width of the capsule's fill, read from the painted bar.
int filled(const QImage& image) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += test::near(image.pixelColor(x, image.height() / 2),
                        PiecesBar::color(PieceState::downloaded), 8);
    return n;
}

int pixelsNear(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += test::near(image.pixelColor(x, y), color, 30);
    return n;
}

TEST(TransferProgressTest, CapsuleFractionLabelAndValue) {
    test::ensureWidgetsApp();
    TransferProgress bar(5, nullptr);
    bar.resize(200, 5);
    struct Case {
        const char* what;
        TorrentStatus torrent;
        int fill;
        const char* label;
        const char* value;
    };
    auto make = [](std::string state, double progress, std::int64_t wanted, std::int64_t done,
                   bool metadata) {
        TorrentStatus t;
        t.id = "t";
        t.state = std::move(state);
        t.progress = progress;
        t.wanted = wanted;
        t.wantedDone = done;
        t.hasMetadata = metadata;
        return t;
    };
    const Case cases[] = {
        {"no metadata, nothing wanted", make("metadata", 0, 0, 0, false), 0, "Загружено", "0.0%"},
        {"metadata, nothing wanted", make("finished", 0, 0, 0, true), 200, "Загружено", "100%"},
        {"checking half", make("checking", 0.5, 100, 100, true), 100, "Проверено", "50%"},
        {"7.5 percent", make("downloading", 0, 1000, 75, true), 15, "Загружено", "7.5%"},
        {"99.9 rounds down", make("downloading", 0, 1000, 999, true), 200, "Загружено", "99%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bar.setTorrent(c.torrent);
        EXPECT_NEAR(filled(test::render(bar)), c.fill, 2);
        EXPECT_EQ(bar.accessibleName(), QString::fromUtf8(c.label));
        EXPECT_EQ(bar.accessibleDescription(), QString::fromUtf8(c.value));
    }
}

TEST(TransferProgressTest, PieceBarFromTheEngineButNotWhileChecking) {
    test::ensureWidgetsApp();
    test::LibraryEngine engine;
    const auto made = engine.make("Seeded", {{"Seeded/video.mkv", 512 * 1024}}, 3);
    const TorrentStatus seeding = engine.addSeeding(made);

    TransferProgress bar(5, &engine.engine());
    bar.resize(160, 5);
    bar.setTorrent(seeding);
    bar.show();
    ASSERT_TRUE(test::waitUntil([&] { return bar.showsPieces(); }));
    EXPECT_EQ(bar.accessibleName(), QStringLiteral("Части файла"));
    EXPECT_EQ(bar.accessibleDescription(), QStringLiteral("Скачано: 8"));
    EXPECT_EQ(filled(test::render(bar)), 160);

    // A recheck shows the checking capsule even though the map is loaded.
    TorrentStatus checking = seeding;
    checking.state = "checking";
    checking.progress = 0.5;
    bar.setTorrent(checking);
    EXPECT_FALSE(bar.showsPieces());
    EXPECT_EQ(bar.accessibleName(), QStringLiteral("Проверено"));
    EXPECT_NEAR(filled(test::render(bar)), 80, 2);

    // Reused for another torrent: the old pieces go at once.
    TorrentStatus other;
    other.id = "another";
    other.hasMetadata = true;
    other.wanted = 100;
    bar.setTorrent(other);
    EXPECT_FALSE(bar.showsPieces());
    EXPECT_TRUE(bar.map().bytes.empty());
    // An engine that has no map for it keeps the capsule.
    test::spinFor(std::chrono::milliseconds(200));
    EXPECT_FALSE(bar.showsPieces());
}

TEST(CheckingMetricsTest, OneLineWhenItFitsElseTwoRows) {
    test::ensureWidgetsApp();
    TorrentStatus t;
    t.state = "checking";
    t.progress = 0.5;
    t.total = 100 << 20;
    CheckingMetrics view;
    view.setTorrent(t);
    EXPECT_EQ(view.objectName(), QStringLiteral("torrent.checkingMetrics"));
    // No rate yet: no speed and no estimate.
    EXPECT_EQ(view.accessibleName(), QStringLiteral("Скорость: —, Осталось: —"));
    t.checkingRate = 10 << 20;
    view.setTorrent(t);
    EXPECT_EQ(view.accessibleName(), QStringLiteral("Скорость: 10 МБ/с, Осталось: ≈ 5 с"));
    const int wide = view.sizeHint().width();
    EXPECT_LT(view.heightForWidth(wide - 1), 2 * view.heightForWidth(wide) + 5);
    EXPECT_GT(view.heightForWidth(wide - 1), view.heightForWidth(wide));
    // Paused checks have no figures.
    t.paused = true;
    view.setTorrent(t);
    EXPECT_EQ(view.accessibleName(), QStringLiteral("Скорость: —, Осталось: —"));
}

TEST(TransferBadgeTest, StatusTintAndTooltip) {
    test::ensureWidgetsApp();
    TransferBadge badge;
    TorrentStatus seeding;
    seeding.state = "seeding";
    seeding.seeding = true;
    seeding.finished = true;
    seeding.wanted = 10;
    badge.setTorrent(seeding);
    badge.resize(badge.sizeHint());
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("Раздача"));
    EXPECT_TRUE(badge.toolTip().isEmpty());
    EXPECT_GT(pixelsNear(test::render(badge), LibraryStyle::mint()), 5);

    // An error wins over seeding: light red, and the message as tooltip.
    seeding.error = "Нет места на диске";
    badge.setTorrent(seeding);
    badge.resize(badge.sizeHint());
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("Ошибка"));
    EXPECT_EQ(badge.toolTip(), QStringLiteral("Нет места на диске"));
    const QImage red = test::render(badge);
    EXPECT_GT(pixelsNear(red, LibraryStyle::errorText()), 5);
    EXPECT_EQ(pixelsNear(red, LibraryStyle::mint()), 0);
}

} // namespace
} // namespace tevro
