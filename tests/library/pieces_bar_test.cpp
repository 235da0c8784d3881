#include <gtest/gtest.h>

#include <QPainter>

#include "tests/library/widgets_app.h"
#include "tevro/library/file_pieces_bar.h"
#include "tevro/library/pieces_bar.h"
#include "tevro/library/pieces_legend.h"

namespace tevro {
namespace {

// The state whose colour is at column x of a bar image (mid-height).
std::optional<PieceState> stateAt(const QImage& image, int x) {
    const QColor c = image.pixelColor(x, image.height() / 2);
    for (PieceState s : kAllPieceStates)
        if (test::near(c, PiecesBar::color(s), 3))
            return s;
    return std::nullopt;
}

QImage bar(const PieceMap& map, std::optional<PieceRange> range, int width) {
    QImage image = PiecesBar::image(map, range, QSize(width, 6));
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QPainter(&opaque).drawImage(0, 0, image);
    return opaque;
}

TEST(PiecesBarTest, WiderThanThePiecesEachPieceGetsItsColumns) {
    test::ensureWidgetsApp();
    const PieceMap map("0123");
    const QImage image = bar(map, std::nullopt, 40); // 10 pixels per piece
    const PieceState expected[] = {PieceState::waiting, PieceState::downloaded,
                                   PieceState::receiving, PieceState::unavailable};
    for (int piece = 0; piece < 4; ++piece) {
        // Inside each piece's 10 columns, away from the antialiased seams and
        // the rounded corners.
        for (int x = piece * 10 + 3; x < piece * 10 + 8; ++x)
            EXPECT_EQ(stateAt(image, x), expected[piece]) << "x " << x;
    }
    // A range draws only its pieces, across the whole width.
    const QImage ranged = bar(map, PieceRange{1, 3}, 40);
    EXPECT_EQ(stateAt(ranged, 10), PieceState::downloaded);
    EXPECT_EQ(stateAt(ranged, 30), PieceState::receiving);
}

TEST(PiecesBarTest, NarrowerThanThePiecesAColumnShowsItsWorstPiece) {
    test::ensureWidgetsApp();
    // 100 pieces in 10 columns of 10: column 2 has one unavailable piece
    // among downloaded ones, column 5 one receiving, column 7 one waiting.
    std::string bytes(100, '1');
    bytes[23] = '3';
    bytes[21] = '2';
    bytes[55] = '2';
    bytes[79] = '0';
    const QImage image = bar(PieceMap(bytes), std::nullopt, 10);
    for (int column = 0; column < 10; ++column) {
        PieceState want = PieceState::downloaded;
        if (column == 2)
            want = PieceState::unavailable;
        else if (column == 5)
            want = PieceState::receiving;
        else if (column == 7)
            want = PieceState::waiting;
        EXPECT_EQ(stateAt(image, column), want) << "column " << column;
    }
    // Under two pixels: one column for the whole range.
    EXPECT_EQ(stateAt(bar(PieceMap(bytes), std::nullopt, 1), 0), PieceState::unavailable);
}

TEST(PiecesBarTest, EmptyMapOrRangeOutsideShowsOnlyTheTrack) {
    test::ensureWidgetsApp();
    PiecesBar widget;
    widget.resize(50, 6);
    widget.setMap(PieceMap("0011"));
    widget.setRange(PieceRange{10, 20});
    EXPECT_EQ(widget.toolTip(), QStringLiteral("Данные о частях ещё не получены"));
    EXPECT_EQ(widget.accessibleName(), QStringLiteral("Части файла"));
    const QImage image = test::render(widget);
    EXPECT_FALSE(stateAt(image, 25).has_value());
    widget.setRange(std::nullopt);
    EXPECT_EQ(widget.accessibleDescription(), QStringLiteral("Ожидание: 2; Скачано: 2"));
    EXPECT_EQ(stateAt(test::render(widget), 40), PieceState::downloaded);
}

TEST(FilePiecesBarTest, FileSpanOrFallback) {
    test::ensureWidgetsApp();
    const PieceMap map("00112233");
    auto file = [](std::int64_t size, std::int64_t done, std::int64_t first, std::int64_t last) {
        TorrentFile f;
        f.size = size;
        f.done = done;
        f.first = first;
        f.last = last;
        return f;
    };
    struct Case {
        const char* what;
        TorrentFile file;
        std::optional<PieceRange> range;
        const char* label;
        const char* value;
    };
    const Case cases[] = {
        {"inside", file(100, 0, 2, 3), PieceRange{2, 4}, "Части файла", "Скачано: 2"},
        {"past the end is cut", file(100, 0, 6, 20), PieceRange{6, 8}, "Части файла",
         "Нет у пиров: 2"},
        {"negative first", file(100, 50, -1, 3), std::nullopt, "Загружено", "50%"},
        {"first beyond the map", file(100, 25, 8, 9), std::nullopt, "Загружено", "25%"},
        {"last below first", file(100, 5, 3, 2), std::nullopt, "Загружено", "5.0%"},
        {"empty file", file(0, 0, 2, 3), std::nullopt, "Загружено", "100%"},
        {"done past size", file(100, 300, -1, -1), std::nullopt, "Загружено", "100%"},
    };
    FilePiecesBar widget;
    widget.resize(80, 6);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FilePiecesBar::range(map, c.file), c.range);
        widget.set(map, c.file);
        EXPECT_EQ(widget.accessibleName(), QString::fromUtf8(c.label));
        EXPECT_EQ(widget.accessibleDescription(), QString::fromUtf8(c.value));
    }
    // The fallback fills to the fraction in the downloaded colour.
    widget.set(map, file(100, 50, -1, 3));
    const QImage image = test::render(widget);
    EXPECT_EQ(stateAt(image, 20), PieceState::downloaded);
    EXPECT_FALSE(stateAt(image, 60).has_value());
}

TEST(PiecesLegendTest, RowWhenItFitsElseColumn) {
    test::ensureWidgetsApp();
    PiecesLegend legend;
    const int row = legend.sizeHint().width();
    EXPECT_TRUE(legend.fitsRow(row));
    EXPECT_FALSE(legend.fitsRow(row - 1));
    EXPECT_GT(legend.heightForWidth(row - 1), 3 * legend.heightForWidth(row));
    EXPECT_EQ(legend.accessibleName(),
              QStringLiteral("Ожидание, Скачано, Получение / запись, Нет у пиров"));
}

} // namespace
} // namespace tevro
