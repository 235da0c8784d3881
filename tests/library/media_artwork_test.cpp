#include <gtest/gtest.h>

#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/pattern_cover.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_presentation.h"

namespace tevro {
namespace {

TorrentStatus torrent(std::string id, std::string name, std::int64_t wantedDone) {
    TorrentStatus t;
    t.id = std::move(id);
    t.name = std::move(name);
    t.savePath = "/downloads";
    t.hasMetadata = true;
    t.wanted = 100;
    t.wantedDone = wantedDone;
    return t;
}

class MediaArtworkTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureWidgetsApp(); }

    // A stored picture of one colour, as the store keeps them on disk.
    void storePicture(const TorrentStatus& t, const QColor& color) {
        QImage image(512, 288, QImage::Format_RGB32);
        image.fill(color);
        const auto path = dir.path() / (ArtworkStore::cacheKey(t.id, std::nullopt) + ".jpg");
        ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "JPG", 95));
    }

    bool showsColor(MediaArtwork& view, const QColor& color) {
        const QImage image = test::render(view);
        return test::near(image.pixelColor(5, 5), color, 12) &&
               test::near(image.pixelColor(image.width() - 5, image.height() - 5), color, 12);
    }

    test::TempDir dir;
    ArtworkStore store{ArtworkStore::Dependencies{
        .files = {}, .videos = {}, .directory = dir.path(), .extractor = "/nonexistent"}};
};

TEST_F(MediaArtworkTest, PatternCoverUntilThePictureArrivesThenThePictureWithoutFlicker) {
    MediaArtwork view(&store);
    view.resize(160, 100);
    const TorrentStatus first = torrent("aa11", "Movie.2010.1080p.mkv", 34);
    view.setTorrent(first);
    // No picture yet: the cover of this identity fills the tile.
    PatternCover cover(MediaArtwork::identity(first, std::nullopt));
    cover.resize(view.size());
    const QImage placeholder = test::render(cover);
    EXPECT_EQ(test::render(view).pixelColor(3, 3), placeholder.pixelColor(3, 3));
    test::spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(view.image().isNull());

    // 34% and 39% are the same request; the picture appears when 40% asks again.
    storePicture(first, Qt::magenta);
    TorrentStatus same = first;
    same.wantedDone = 39;
    view.setTorrent(same);
    test::spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(view.image().isNull());
    TorrentStatus next = first;
    next.wantedDone = 40;
    view.setTorrent(next);
    // Until the answer is in, the cover stays: never a blank tile.
    EXPECT_EQ(test::render(view).pixelColor(3, 3), placeholder.pixelColor(3, 3));
    ASSERT_TRUE(test::waitUntil([&] { return !view.image().isNull(); }));
    EXPECT_TRUE(showsColor(view, Qt::magenta));

    // A later request of the same identity keeps the picture while it runs.
    storePicture(first, Qt::cyan);
    next.wantedDone = 55;
    view.setTorrent(next);
    EXPECT_TRUE(showsColor(view, Qt::magenta));

    // Reused for another torrent: the old picture goes at once.
    const TorrentStatus other = torrent("bb22", "Album.flac", 0);
    view.setTorrent(other);
    EXPECT_TRUE(view.image().isNull());
    EXPECT_FALSE(showsColor(view, Qt::magenta));
}

TEST_F(MediaArtworkTest, RequestIdentityFollowsProgressTenthsAndMetadata) {
    TorrentStatus t = torrent("cc", "x.mkv", 34);
    EXPECT_EQ(MediaArtwork::requestId(t, std::nullopt), "cc-cover/downloads-3-true");
    t.wantedDone = 39;
    EXPECT_EQ(MediaArtwork::requestId(t, std::nullopt), "cc-cover/downloads-3-true");
    TorrentFile empty;
    empty.i = 4;
    empty.size = 0;
    EXPECT_EQ(MediaArtwork::requestId(t, empty), "cc-4/downloads-10-true");
    TorrentStatus magnet;
    magnet.id = "dd";
    EXPECT_EQ(MediaArtwork::requestId(magnet, std::nullopt), "dd-cover-0-false");
    magnet.hasMetadata = true;
    EXPECT_EQ(MediaArtwork::requestId(magnet, std::nullopt), "dd-cover-10-true");
    EXPECT_EQ(MediaArtwork::symbol(MediaPresentation("Backup.zip").kind), "doc.zipper");
    EXPECT_EQ(MediaArtwork::symbol(MediaPresentation("Show.S01E02.mkv").kind), "film");
}

} // namespace
} // namespace tevro
