// Streaming readers on torrents that are still downloading from a throttled
// seeder on 127.0.0.1: bytes identical to the source, seeks, cancellation,
// prefetch and stream progress.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/seeder.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

struct ReaderCloser {
    void operator()(tb_reader* r) const { tb_reader_close(r); }
};
using Reader = std::unique_ptr<tb_reader, ReaderCloser>;

class Streaming : public ::testing::Test {
protected:
    // A hybrid torrent of a small file then the streamed one, so the streamed
    // file starts at a padded offset inside the torrent.
    void make(int pieceSize, std::int64_t size, int seederLimit, bool seed = true) {
        swarm::GeneratedTorrent::Options o;
        o.name = "movie";
        o.files = {{"cover.jpg", 10'000}, {"movie.mkv", size}};
        o.pieceSize = pieceSize;
        torrent = swarm::GeneratedTorrent::create(root / "seed", o);
        for (int i = 0; i < torrent.numFiles(); ++i)
            if (torrent.info()->files().file_name(lt::file_index_t(i)) == "movie.mkv")
                file = i;
        expected = torrent.expectedBytes(file);
        if (seed) {
            seeder.setUploadLimit(seederLimit);
            seeder.seed(torrent);
        }
        id = session.addTorrent(torrent.torrentPath(), addOptions(root / "dl")).id;
        ASSERT_FALSE(id.empty());
        port = session.port();
    }

    void connectSeeder() { seeder.connect(torrent, port); }

    // Keeps the seeder connected while a test runs.
    void keepConnected() {
        m_connector = std::thread([this] {
            while (!m_stop) {
                connectSeeder();
                swarm::waitUntil([&] { return m_stop.load(); }, std::chrono::milliseconds(200));
            }
        });
    }

    // Reads a few bytes at the reader's position, connecting the seeder
    // only once the read waits for its piece; -2 when it never waits or
    // never returns.
    std::int64_t readOnceWaiting(tb_reader* r) {
        auto read = std::async(std::launch::async, [r] {
            char buf[64];
            return tb_reader_read(r, buf, sizeof buf);
        });
        if (!swarm::waitUntil(
                [&] { return tb_stream_progress(session.get(), id.c_str(), file) >= 0; }, 10s))
            return -2;
        keepConnected();
        if (read.wait_for(30s) != std::future_status::ready)
            return -2;
        return read.get();
    }

    void TearDown() override {
        m_stop = true;
        if (m_connector.joinable())
            m_connector.join();
    }

    // Reads `length` bytes at `offset`, checking every returned chunk.
    void readAndCompare(tb_reader* r, std::int64_t offset, std::int64_t length) {
        ASSERT_EQ(tb_reader_seek(r, offset), offset);
        std::string buf(256 * 1024, '\0');
        std::int64_t done = 0;
        while (done < length) {
            auto want =
                static_cast<std::uint64_t>(std::min<std::int64_t>(length - done, 256 * 1024));
            std::int64_t n = tb_reader_read(r, buf.data(), want);
            ASSERT_GT(n, 0) << "at " << offset + done;
            ASSERT_EQ(std::memcmp(buf.data(), expected.data() + offset + done,
                                  static_cast<std::size_t>(n)),
                      0)
                << "bytes differ at " << offset + done;
            done += n;
        }
    }

    TempDir root;
    swarm::Seeder seeder;
    BridgeSession session{root / "state"};
    swarm::GeneratedTorrent torrent;
    std::string id;
    std::string expected;
    int file = -1;
    int port = 0;

private:
    std::thread m_connector;
    std::atomic<bool> m_stop{false};
};

TEST_F(Streaming, ReadsTheWholeFileAndRandomSeeksWhileDownloading) {
    const int piece = 64 * 1024;
    make(piece, 8 * 1024 * 1024 + 12'345, 2 * 1024 * 1024);
    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    auto size = static_cast<std::int64_t>(expected.size());
    EXPECT_EQ(tb_reader_size(r.get()), size);
    keepConnected();

    std::mt19937_64 rng(7);
    bool readWhileDownloading = false;
    for (int i = 0; i < 8; ++i) {
        std::int64_t offset = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(size));
        readAndCompare(r.get(), offset, std::min<std::int64_t>(100'000, size - offset));
        readWhileDownloading = readWhileDownloading || session.torrent(id)->progress < 1;
    }
    EXPECT_TRUE(readWhileDownloading) << "the seeder was too fast to test streaming";

    // A long read stops at the end of the piece that holds the position.
    std::int64_t fileOffset = torrent.info()->files().file_offset(lt::file_index_t(file));
    std::int64_t at = 3 * piece + 1000;
    std::int64_t toPieceEnd = piece - (fileOffset + at) % piece;
    std::string big(1 << 20, '\0');
    ASSERT_EQ(tb_reader_seek(r.get(), at), at);
    EXPECT_EQ(tb_reader_read(r.get(), big.data(), big.size()), toPieceEnd);

    readAndCompare(r.get(), 0, size);
    std::string rest(16, '\0');
    EXPECT_EQ(tb_reader_read(r.get(), rest.data(), rest.size()), 0);
}

TEST_F(Streaming, SeekLimitsAndNullReaders) {
    make(16 * 1024, 100'000, 0, /*seed=*/false);
    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    std::int64_t size = tb_reader_size(r.get());
    EXPECT_EQ(tb_reader_seek(r.get(), size), size);
    char c;
    EXPECT_EQ(tb_reader_read(r.get(), &c, 1), 0);
    EXPECT_EQ(tb_reader_seek(r.get(), size + 1), -1);
    EXPECT_EQ(tb_reader_seek(r.get(), -1), -1);
    EXPECT_EQ(tb_reader_size(nullptr), -1);
    EXPECT_EQ(tb_reader_read(nullptr, &c, 1), -1);
    EXPECT_EQ(tb_reader_seek(nullptr, 0), -1);
    tb_reader_cancel(nullptr);
    tb_reader_close(nullptr);
    EXPECT_EQ(tb_reader_open(session.get(), id.c_str(), torrent.numFiles()), nullptr);
    EXPECT_EQ(tb_reader_open(session.get(), id.c_str(), -1), nullptr);
}

TEST_F(Streaming, CancelWakesABlockedRead) {
    make(16 * 1024, 100'000, 0, /*seed=*/false);
    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    EXPECT_EQ(tb_stream_progress(session.get(), id.c_str(), file), -1);

    auto read = std::async(std::launch::async, [&] {
        char buf[100];
        return tb_reader_read(r.get(), buf, sizeof buf);
    });
    // Nobody has the piece: the read waits, and its piece has not started.
    ASSERT_TRUE(swarm::waitUntil(
        [&] { return tb_stream_progress(session.get(), id.c_str(), file) == 0; }, 5s));
    EXPECT_EQ(tb_stream_progress(session.get(), id.c_str(), 0), -1);
    EXPECT_EQ(read.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);

    tb_reader_cancel(r.get());
    ASSERT_EQ(read.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(read.get(), -1);
    char c;
    EXPECT_EQ(tb_reader_read(r.get(), &c, 1), -1);
    EXPECT_EQ(tb_reader_seek(r.get(), 0), -1);
    EXPECT_EQ(tb_stream_progress(session.get(), id.c_str(), file), -1);
}

TEST_F(Streaming, ProgressOfTheAwaitedPieceRises) {
    // 256 KiB pieces at 128 KiB/s: one piece takes about two seconds.
    make(256 * 1024, 768 * 1024, 128 * 1024);
    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    keepConnected();
    auto read = std::async(std::launch::async, [&] {
        char buf[64];
        return tb_reader_read(r.get(), buf, sizeof buf);
    });
    double seen = -1;
    swarm::waitUntil(
        [&] {
            double p = tb_stream_progress(session.get(), id.c_str(), file);
            seen = std::max(seen, p < 1 ? p : seen);
            return (p > 0 && p < 1) || read.wait_for(0s) == std::future_status::ready;
        },
        30s, 20ms);
    EXPECT_GT(seen, 0);
    EXPECT_LT(seen, 1);
    ASSERT_EQ(read.wait_for(30s), std::future_status::ready);
    EXPECT_GT(read.get(), 0);
}

TEST_F(Streaming, OpeningAnUnwantedFileOfAPausedTorrentStartsIt) {
    make(16 * 1024, 100'000, 0, /*seed=*/false);
    std::string options = "paused=1\npriorities=" + std::string(file == 1 ? "4,0" : "4,0,0");
    auto t2 = swarm::GeneratedTorrent::create(root / "seed2", [&] {
        swarm::GeneratedTorrent::Options o;
        o.name = "second";
        o.files = {{"a.bin", 50'000}, {"b.bin", 50'000}};
        o.pieceSize = 16 * 1024;
        o.v1Only = true;
        return o;
    }());
    auto pid =
        session.addTorrent(t2.torrentPath(), addOptions(root / "dl2", "paused=1\npriorities=4,0"))
            .id;
    ASSERT_TRUE(session.torrent(pid)->paused);
    Reader r(tb_reader_open(session.get(), pid.c_str(), 1));
    ASSERT_TRUE(r);
    EXPECT_TRUE(session.waitFor(
        pid, [](const TorrentStatus& t) { return !t.paused; }, 5s));
    EXPECT_TRUE(swarm::waitUntil([&] { return session.files(pid)[1].prio == 4; }, 5s));

    // Without metadata there is no file to read.
    auto magnet =
        session.addMagnet("magnet:?xt=urn:btih:" + std::string(40, '7'), addOptions(root / "dl3"))
            .id;
    EXPECT_EQ(tb_reader_open(session.get(), magnet.c_str(), 0), nullptr);
}

TEST_F(Streaming, PrefetchFetchesAroundThePositionFirst) {
    const int piece = 64 * 1024;
    make(piece, 4 * 1024 * 1024, 1024 * 1024);
    // A short request pipeline, so deadline pieces are not queued behind
    // seconds of ordinary requests to the one throttled peer.
    tb_apply_settings(session.get(),
                      (swarm::loopbackSettingsText() + "\nmax_out_request_queue=8").c_str());
    // Nothing wanted: only the prefetch makes the file wanted again.
    int none[] = {0, 1, 2};
    tb_set_file_priorities(session.get(), id.c_str(), none, 3, 0);
    ASSERT_TRUE(swarm::waitUntil(
        [&] { return session.files(id)[static_cast<std::size_t>(file)].prio == 0; }, 5s));
    keepConnected();

    const std::int64_t span = 256 * 1024;
    tb_prefetch(session.get(), id.c_str(), file, span, 1.5); // 1.5 reads as the end
    EXPECT_TRUE(swarm::waitUntil(
        [&] { return session.files(id)[static_cast<std::size_t>(file)].prio == 4; }, 5s));

    // At the end: the file's first piece and the pieces from a quarter span
    // before the end on; in tb_pieces, indices count from the file's first piece.
    auto files = session.files(id);
    const auto& f = files[static_cast<std::size_t>(file)];
    std::int64_t fileOffset = torrent.info()->files().file_offset(lt::file_index_t(file));
    std::int64_t from =
        (fileOffset + static_cast<std::int64_t>(expected.size()) - span / 4) / piece;
    std::string pieces;
    auto prefetched = [&] {
        if (pieces.size() != static_cast<std::size_t>(f.last - f.first + 1) || pieces[0] != '1')
            return false;
        for (std::int64_t p = from; p <= f.last; ++p)
            if (pieces[static_cast<std::size_t>(p - f.first)] != '1')
                return false;
        return true;
    };
    ASSERT_TRUE(swarm::waitUntil(
        [&] {
            pieces = BridgeString(tb_pieces(session.get(), id.c_str(), file)).str();
            return prefetched();
        },
        20s));
    // They came before the bulk of the file.
    auto held = std::count(pieces.begin(), pieces.end(), '1');
    EXPECT_LT(held, static_cast<long>(pieces.size()) / 2) << pieces;
}

// One throttled peer serves requests in the order they were sent: while a
// read waits, nothing but the pieces it reads next may be queued ahead of its
// piece, and once it is served the rest of the torrent downloads.
TEST_F(Streaming, AWaitingReadComesBeforeThePiecesFurtherAhead) {
    const int piece = 128 * 1024;
    make(piece, 8 * 1024 * 1024, 2 * 1024 * 1024);
    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    auto size = static_cast<std::int64_t>(expected.size());
    ASSERT_EQ(tb_reader_seek(r.get(), size / 2), size / 2);
    ASSERT_GT(readOnceWaiting(r.get()), 0);
    std::string pieces = BridgeString(tb_pieces(session.get(), id.c_str(), file)).str();

    auto f = session.files(id)[static_cast<std::size_t>(file)];
    std::int64_t fileOffset = torrent.info()->files().file_offset(lt::file_index_t(file));
    auto awaited = static_cast<std::size_t>((fileOffset + size / 2) / piece - f.first);
    // The reader's next 2 MiB, and the two pieces after them that keep the
    // torrent from looking finished, may come along.
    const std::size_t lead = 2 * 1024 * 1024 / piece + 2;
    ASSERT_EQ(pieces[awaited], '1') << pieces;
    int elsewhere = 0;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        elsewhere += pieces[i] == '1' && (i < awaited || i > awaited + lead);
    EXPECT_EQ(elsewhere, 0) << pieces;

    // Holding the rest back never makes the torrent finished before its time:
    // it finishes once, at the end, and keeps its seeder meanwhile.
    EXPECT_TRUE(session.waitFor(
        id, [](const TorrentStatus& t) { return t.seeding; }, 60s))
        << BridgeString(tb_pieces(session.get(), id.c_str(), file)).str();
    session.pollEvents();
    EXPECT_EQ(session.countEvents("finished", id), 1);
}

// With all but five pieces on disk a hold leaves three wanted: the awaited
// one and two far ones that keep the torrent unfinished. An unthrottled
// seeder sends all three at once, before the hold can want the other two
// again; the torrent still never counts as finished before it is.
TEST_F(Streaming, AHoldNeverFinishesTheTorrentEarly) {
    const int piece = 16 * 1024;
    swarm::GeneratedTorrent::Options o;
    o.name = "movie";
    o.files = {{"cover.jpg", 10'000}, {"movie.mkv", 4 * 1024 * 1024}};
    o.pieceSize = piece;
    torrent = swarm::GeneratedTorrent::create(root / "seed", o);
    const lt::file_storage& fs = torrent.info()->files();
    for (int i = 0; i < torrent.numFiles(); ++i)
        if (fs.file_name(lt::file_index_t(i)) == "movie.mkv")
            file = i;
    expected = torrent.expectedBytes(file);
    seeder.seed(torrent);

    std::int64_t fileOffset = fs.file_offset(lt::file_index_t(file));
    auto size = static_cast<std::int64_t>(expected.size());
    int first = static_cast<int>(fileOffset / piece);
    int last = static_cast<int>((fileOffset + size - 1) / piece);
    int awaited = first + 8; // needs the next 2 MiB and the last piece, all on disk
    std::filesystem::create_directories(root / "dl");
    for (int i = 0; i < torrent.numFiles(); ++i) {
        if (fs.pad_file_at(lt::file_index_t(i)))
            continue;
        auto to = torrent.filePath(root / "dl", i);
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy_file(torrent.filePath(torrent.savePath(), i), to);
    }
    {
        std::fstream out(torrent.filePath(root / "dl", file),
                         std::ios::in | std::ios::out | std::ios::binary);
        const std::string zeros(piece, '\0');
        for (int p : {awaited, last - 50, last - 40, last - 30, last - 20}) {
            out.seekp(static_cast<std::int64_t>(p) * piece - fileOffset);
            out.write(zeros.data(), piece);
        }
    }
    id = session.addTorrent(torrent.torrentPath(), addOptions(root / "dl")).id;
    ASSERT_FALSE(id.empty());
    port = session.port();
    ASSERT_TRUE(session.waitFor(
        id, [](const TorrentStatus& t) { return t.state != "checking" && t.progress > 0.9; }, 20s));

    Reader r(tb_reader_open(session.get(), id.c_str(), file));
    ASSERT_TRUE(r);
    std::int64_t offset = static_cast<std::int64_t>(awaited) * piece - fileOffset;
    ASSERT_EQ(tb_reader_seek(r.get(), offset), offset);
    ASSERT_GT(readOnceWaiting(r.get()), 0);
    EXPECT_TRUE(session.waitFor(
        id, [](const TorrentStatus& t) { return t.seeding; }, 60s));
    session.pollEvents();
    EXPECT_EQ(session.countEvents("finished", id), 1);
}

} // namespace
} // namespace tevro::test
