#include "tevro/automation/torrent_json_text.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tevro/automation/command_layer.h"

using namespace tevro;
using namespace std::string_literals;

namespace {

TorrentStatus row() {
    TorrentStatus t;
    t.id = std::string(40, 'c');
    t.name = "Seed";
    t.state = "seeding";
    t.seeding = t.finished = t.hasMetadata = true;
    t.progress = 1;
    t.total = t.wanted = t.wantedDone = 16384;
    t.savePath = "/home/user/Загрузки";
    return t;
}

} // namespace

// The written text is the encoded object, byte for byte, whatever the row holds.
TEST(TorrentJsonText, IsTheEncodedObjectByteForByte) {
    auto withName = [](std::string name) {
        TorrentStatus t = row();
        t.name = std::move(name);
        return t;
    };
    auto withProgress = [](double progress) {
        TorrentStatus t = row();
        t.state = "checking";
        t.progress = progress;
        return t;
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    std::vector<TorrentStatus> rows = {
        row(),
        withName(""),
        withName("Фильм (2024) 🎬"),
        withName("quote \" backslash \\ slash / tab \t nl \n cr \r bs \b ff \f"),
        withName("nul \0 unit \x1f"
                 " del \x7f"s),
        // Not UTF-8: a lone byte, an overlong '/', a surrogate, above
        // U+10FFFF, and a sequence cut at the end.
        withName("bad \xff \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 end \xe2\x82"),
        withProgress(0.1),
        withProgress(1.0 / 3),
        withProgress(1e-7),
        withProgress(-0.0),
        withProgress(123456789012345678.0),
        withProgress(1e300),
        withProgress(std::nan("")),
        withProgress(inf),
    };
    TorrentStatus checking = withProgress(0.25);
    checking.total = 1'000'000'007;
    checking.checkingRate = 3;
    rows.push_back(checking); // a rate and an estimate
    TorrentStatus extremes = row();
    extremes.downloadRate = std::numeric_limits<std::int64_t>::max();
    extremes.uploadLimit = std::numeric_limits<std::int64_t>::min();
    extremes.wanted = 3;
    extremes.wantedDone = 1;
    extremes.paused = extremes.sequential = true;
    extremes.error = "Ошибка \"диска\"";
    rows.push_back(extremes);

    for (const TorrentStatus& t : rows) {
        std::string expected = CommandLayer::encode(CommandLayer::torrentObject(t));
        EXPECT_EQ(TorrentJsonText::text(t), expected);
        std::string appended = "[";
        TorrentJsonText::append(appended, t);
        EXPECT_EQ(appended, "[" + expected);
    }
}
