// The artwork store running the real Glimmet (through a small logging shell
// wrapper) on clips ffmpeg makes for the occasion.

#include "tevro/media/artwork_store.h"
#include "tevro/media/frame_selection.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QImage>

#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

using namespace tevro;
using namespace tevro::test;
namespace fs = std::filesystem;

namespace {

// Children of this process, zombies included.
int childCount() {
    int count = 0;
    const std::string self = std::to_string(::getpid());
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(in)), {});
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        std::string parent;
        fields >> state >> parent;
        count += parent == self;
    }
    return count;
}

bool waitUntil(const std::function<bool()>& done,
               std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void writeScript(const fs::path& path, const std::string& body) {
    writeAll(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> lines(const fs::path& path) {
    std::vector<std::string> result;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

int countPrefix(const std::vector<std::string>& log, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : log)
        count += line.rfind(prefix, 0) == 0;
    return count;
}

std::uintmax_t jpegBytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".jpg")
            total += entry.file_size();
    return total;
}

class ArtworkStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_clips = new TempDir;
        ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=6", "-c:v",
                            "libx264", "-pix_fmt", "yuv420p", clip().string()}));
        // Written as a stream, the file has no duration and no index.
        const ProgramResult streamed =
            runProgram({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                        "testsrc2=size=320x180:rate=25:duration=8", "-c:v", "libx264", "-f",
                        "matroska", "pipe:1"});
        ASSERT_TRUE(streamed.exited() && streamed.exitCode == 0);
        writeAll(*s_clips / "streamed.mkv", streamed.out);
    }
    static void TearDownTestSuite() {
        delete s_clips;
        s_clips = nullptr;
    }
    static fs::path clip() { return *s_clips / "clip.mkv"; }

    void SetUp() override {
        ASSERT_TRUE(s_clips);
        ASSERT_TRUE(fs::exists(glimmetPath())) << glimmetPath();
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "artwork_store_test";
            static char* argv[] = {name, nullptr};
            m_app = std::make_unique<QCoreApplication>(argc, argv);
        }
        fs::create_directories(save());
        // Runs the real extractor; records each run and any run that starts
        // while another still holds the lock.
        writeScript(logging(), "exec 9>>'" + (m_dir / "lock").string() + "'\n" +
                                   "flock -n 9 || echo overlap >> '" + log().string() + "'\n" +
                                   "echo \"$1 $2\" >> '" + log().string() + "'\n" + "exec '" +
                                   glimmetPath().string() + "' \"$@\"\n");
    }

    fs::path save() const { return m_dir / "save"; }
    fs::path thumbnails() const { return m_dir / "thumbnails"; }
    fs::path log() const { return m_dir / "runs.log"; }
    fs::path logging() const { return m_dir / "logging-glimmet"; }
    std::vector<std::string> runs() const { return lines(log()); }

    // Places the test clip at a path under the save folder.
    TorrentFile place(std::int64_t index, const std::string& path,
                      const fs::path& from = clip()) const {
        fs::create_directories((save() / path).parent_path());
        fs::copy_file(from, save() / path, fs::copy_options::overwrite_existing);
        const auto size = static_cast<std::int64_t>(fs::file_size(save() / path));
        return TorrentFile{.i = index, .path = path, .size = size, .done = size};
    }

    TorrentStatus torrent(const std::string& id, bool hasMetadata = true) const {
        TorrentStatus status;
        status.id = id;
        status.hasMetadata = hasMetadata;
        status.wanted = 100;
        status.wantedDone = 100;
        status.savePath = save().string();
        return status;
    }

    std::unique_ptr<ArtworkStore> makeStore(fs::path extractor = {},
                                            ArtworkStore::Dependencies extra = {}) {
        extra.directory = thumbnails();
        extra.extractor = extractor.empty() ? logging() : extractor;
        // The engine answers on the main thread, later.
        extra.files = [this](const std::string& id, ArtworkStore::FilesReply reply) {
            std::optional<std::vector<TorrentFile>> files;
            if (auto found = m_files.find(id); found != m_files.end())
                files = found->second;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [reply, files] { reply(files); },
                Qt::QueuedConnection);
        };
        return std::make_unique<ArtworkStore>(std::move(extra));
    }

    static std::optional<QImage> ask(ArtworkStore& store, const TorrentStatus& torrent,
                                     const std::optional<TorrentFile>& file = std::nullopt) {
        bool answered = false;
        std::optional<QImage> result;
        store.image(torrent, file, [&](std::optional<QImage> image) {
            result = std::move(image);
            answered = true;
        });
        EXPECT_FALSE(answered) << "answered before image() returned";
        EXPECT_TRUE(waitUntil([&] { return answered; }));
        return result;
    }

    static void expectPicture(const std::optional<QImage>& image) {
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(512, 288));
    }

    fs::path cached(const TorrentStatus& torrent, std::optional<std::int64_t> file = {}) const {
        return thumbnails() / (ArtworkStore::cacheKey(torrent.id, file) + ".jpg");
    }

    static TempDir* s_clips;
    std::unique_ptr<QCoreApplication> m_app;
    TempDir m_dir;
    std::map<std::string, std::vector<TorrentFile>> m_files;
};

TempDir* ArtworkStoreTest::s_clips = nullptr;

} // namespace

TEST(ArtworkStoreKeys, NameEachPictureBySha256) {
    EXPECT_EQ(ArtworkStore::cacheKey("abc", std::nullopt),
              "3300783dc73f2c75089cc06f47b398ac6bc7333acee913998aae4d024b6edfab");
    EXPECT_EQ(ArtworkStore::cacheKey("abc", 3),
              "c61d76d37a807ffa02e719c1f4bbc539010ee482b092e4bbf427c9740dc0f637");
    EXPECT_EQ(ArtworkStore::cacheKey("", 0),
              "ef63c54e190ccbe0677c73d978de5bcba39767e57186c8bfd7bacfa1b69ffaab");
}

TEST(ArtworkStoreKeys, AttemptKeyCarriesProgressTenthAndMetadata) {
    struct Case {
        std::int64_t wanted, wantedDone;
        bool hasMetadata;
        std::optional<std::pair<std::int64_t, std::int64_t>> file; // size, done
        const char* suffix;
    };
    const Case cases[] = {
        {1000, 0, true, {}, "-0-true"},
        {1000, 999, true, {}, "-9-true"},
        {1000, 1000, true, {}, "-10-true"},
        {1000, 5000, true, {}, "-10-true"},
        {1000, -5, true, {}, "-0-true"},
        {0, 0, true, {}, "-10-true"},
        {0, 0, false, {}, "-0-false"},
        {1000, 350, false, {}, "-3-false"},
        {1000, 1000, true, std::pair{200, 100}, "-5-true"},
        {1000, 0, true, std::pair{0, 0}, "-10-true"},
        {1000, 0, true, std::pair{200, 19}, "-0-true"},
    };
    for (const Case& c : cases) {
        TorrentStatus torrent;
        torrent.wanted = c.wanted;
        torrent.wantedDone = c.wantedDone;
        torrent.hasMetadata = c.hasMetadata;
        std::optional<TorrentFile> file;
        if (c.file)
            file = TorrentFile{.i = 1, .path = "", .size = c.file->first, .done = c.file->second};
        EXPECT_EQ(ArtworkStore::attemptKey("k", torrent, file), std::string("k") + c.suffix);
    }
}

TEST_F(ArtworkStoreTest, ExtractsOnceThenAnswersFromMemoryAndDisk) {
    m_files["t1"] = {place(0, "Show/Show.S01E01.mkv"), place(1, "Show/notes.txt")};
    const TorrentStatus t1 = torrent("t1");
    {
        auto store = makeStore();
        expectPicture(ask(*store, t1));
        const auto log = runs();
        EXPECT_EQ(countPrefix(log, "duration"), 1);
        EXPECT_EQ(countPrefix(log, "frame"), 3); // every candidate time
        EXPECT_EQ(countPrefix(log, "overlap"), 0);
        EXPECT_EQ(countPrefix(log, "duration " + (save() / "Show/Show.S01E01.mkv").string()), 1);

        const ProgramResult probe =
            runProgram({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width,height",
                        "-of", "csv=p=0", cached(t1).string()});
        EXPECT_EQ(probe.out, "mjpeg,512,288\n");
        for (const auto& entry : fs::directory_iterator(thumbnails()))
            EXPECT_EQ(entry.path(), cached(t1)) << "left behind";
        EXPECT_EQ(childCount(), 0);

        // Memory: no process at all.
        expectPicture(ask(*store, t1));
        EXPECT_EQ(runs(), log);
    }
    // Disk, in a store that starts empty; without metadata too.
    auto store = makeStore();
    const auto before = runs();
    expectPicture(ask(*store, torrent("t1", false)));
    EXPECT_EQ(runs(), before);
}

TEST_F(ArtworkStoreTest, DiskPictureIsShownDespiteARecentAttempt) {
    TorrentFile video = place(0, "Movie.mkv");
    video.size = 50'000'000;
    video.done = 1'048'576; // not usable yet
    m_files["t1"] = {video};
    auto store = makeStore();
    const TorrentStatus t1 = torrent("t1");
    EXPECT_FALSE(ask(*store, t1));
    EXPECT_TRUE(runs().empty());

    // Meanwhile the picture turns up on disk (an earlier run kept it).
    auto other = makeStore();
    m_files["t2"] = {place(5, "Other.mkv")};
    expectPicture(ask(*other, torrent("t2")));
    fs::copy_file(cached(torrent("t2")), cached(t1));

    // Same attempt key, well within 30 s.
    expectPicture(ask(*store, t1));
}

TEST_F(ArtworkStoreTest, RunsOneExtractorAtATime) {
    for (const char* id : {"a", "b", "c"})
        m_files[id] = {place(0, std::string(id) + "/movie.mkv")};
    auto store = makeStore();
    std::map<std::string, std::vector<std::optional<QImage>>> answers;
    for (const char* id : {"a", "a", "b", "c", "b"})
        store->image(torrent(id), std::nullopt,
                     [&answers, id](std::optional<QImage> image) { answers[id].push_back(image); });
    ASSERT_TRUE(waitUntil([&] {
        return answers["a"].size() == 2 && answers["b"].size() == 2 && answers["c"].size() == 1;
    }));
    for (const auto& [id, images] : answers)
        for (const auto& image : images)
            expectPicture(image);
    const auto log = runs();
    EXPECT_EQ(countPrefix(log, "overlap"), 0);
    // Requests for the same picture share one extraction.
    EXPECT_EQ(countPrefix(log, "duration"), 3);
    EXPECT_EQ(childCount(), 0);
}

TEST_F(ArtworkStoreTest, FailedAttemptWaitsUnlessProgressOrMetadataChanged) {
    std::string noise(2'000'000, '\0');
    std::mt19937 random(3);
    for (char& c : noise)
        c = static_cast<char>(random());
    writeAll(save() / "broken.mkv", noise);
    TorrentFile broken;
    broken.path = "broken.mkv";
    broken.size = 4'000'000;
    broken.done = 2'000'000;
    m_files["t1"] = {broken};
    auto store = makeStore();
    TorrentStatus t1 = torrent("t1");
    t1.wantedDone = 42;

    EXPECT_FALSE(ask(*store, t1));
    const auto failed = runs();
    EXPECT_EQ(countPrefix(failed, "duration"), 1);
    EXPECT_EQ(countPrefix(failed, "frame"), 2); // duration unknown: two candidate times
    EXPECT_FALSE(fs::exists(cached(t1)));

    EXPECT_FALSE(ask(*store, t1));
    EXPECT_EQ(runs(), failed);

    t1.wantedDone = 51; // the next tenth
    EXPECT_FALSE(ask(*store, t1));
    EXPECT_EQ(countPrefix(runs(), "duration"), 2);

    // No metadata: nothing is tried, even with a new attempt key.
    t1.hasMetadata = false;
    EXPECT_FALSE(ask(*store, t1));
    EXPECT_EQ(countPrefix(runs(), "duration"), 2);
}

TEST_F(ArtworkStoreTest, OnlyUsableFilesInsideTheSaveFolderAreRead) {
    fs::create_directories(m_dir / "outside");
    fs::copy_file(clip(), m_dir / "outside" / "escape.mkv");
    fs::create_directory_symlink(m_dir / "outside", save() / "link");
    const auto complete = [&](std::int64_t index, const std::string& path) {
        const auto size = static_cast<std::int64_t>(fs::file_size(clip()));
        return TorrentFile{.i = index, .path = path, .size = size, .done = size};
    };
    struct Case {
        const char* what;
        TorrentFile file;
        bool extracts;
    };
    TorrentFile almost = place(1, "almost.mkv");
    almost.size = 9'000'000;
    almost.done = 1'048'576;
    TorrentFile enough = place(2, "enough.mkv");
    enough.size = 9'000'000;
    enough.done = 1'048'577;
    TorrentFile unknown = place(3, "unknown-duration.mkv", *s_clips / "streamed.mkv");
    const Case cases[] = {
        {"1 MiB of an incomplete file", almost, false},
        {"1 MiB and a byte", enough, true},
        {"a stream of unknown duration", unknown, true},
        {"climbing out of the save folder", complete(4, "../outside/escape.mkv"), false},
        {"a link out of the save folder", complete(5, "link/escape.mkv"), false},
        {"an absolute path", complete(6, (m_dir / "outside/escape.mkv").string()), false},
        {"a missing file", complete(7, "missing.mkv"), false},
        {"not a video", place(8, "poster.jpg"), false},
    };
    auto store = makeStore();
    const TorrentStatus t1 = torrent("t1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = countPrefix(runs(), "duration");
        const auto image = ask(*store, t1, c.file);
        EXPECT_EQ(countPrefix(runs(), "duration") - before, c.extracts ? 1 : 0);
        if (c.extracts)
            expectPicture(image);
        else
            EXPECT_FALSE(image);
    }

    // Without a runnable extractor nothing is shown.
    auto missing = makeStore(m_dir / "no-such-glimmet");
    EXPECT_FALSE(ask(*missing, t1, place(9, "fine.mkv")));
    writeAll(m_dir / "not-executable", "#!/bin/sh\nexit 0\n");
    auto plain = makeStore(m_dir / "not-executable");
    EXPECT_FALSE(ask(*plain, t1, place(10, "fine-too.mkv")));
}

TEST_F(ArtworkStoreTest, TakesTheFirstCompleteVideoInViewingOrder) {
    TorrentFile partial = place(0, "Season/E01.mkv");
    partial.size *= 4;
    partial.done = 2'000'000;
    const TorrentFile second = place(1, "Season/E02.mkv");
    const TorrentFile third = place(2, "Season/E03.mkv");
    m_files["t1"] = {partial, second, third};
    m_files["t2"] = {partial};

    // Viewing order comes from the media matcher; here it runs backwards.
    ArtworkStore::Dependencies order;
    order.videos = [](const std::vector<TorrentFile>& files) {
        return std::vector<TorrentFile>(files.rbegin(), files.rend());
    };
    auto store = makeStore({}, std::move(order));
    expectPicture(ask(*store, torrent("t1")));
    expectPicture(ask(*store, torrent("t2")));
    const auto log = runs();
    EXPECT_EQ(countPrefix(log, "duration " + (save() / "Season/E03.mkv").string()), 1);
    EXPECT_EQ(countPrefix(log, "duration " + (save() / "Season/E01.mkv").string()), 1);
    EXPECT_EQ(countPrefix(log, "duration"), 2);
}

TEST_F(ArtworkStoreTest, DefaultOrderIsEpisodeOrderWithoutSamples) {
    // Listed sample first and episodes backwards, all complete.
    m_files["t1"] = {place(0, "Show/Sample/show.sample.mkv"), place(1, "Show/Show.S01E02.mkv"),
                     place(2, "Show/Show.S01E01.mkv")};
    auto store = makeStore();
    expectPicture(ask(*store, torrent("t1")));
    const auto log = runs();
    EXPECT_EQ(countPrefix(log, "duration " + (save() / "Show/Show.S01E01.mkv").string()), 1);
    EXPECT_EQ(countPrefix(log, "duration"), 1);
}

TEST_F(ArtworkStoreTest, KeepsTheBestScoringCandidate) {
    // Black, then a test picture, then white: whatever the path's hash, the
    // first candidate time falls in the black part (1.3...2.3 s), the second
    // in the picture (2.5...3.4 s) and the third in the white (3.7...4.7 s).
    const fs::path striped = m_dir / "striped.mkv";
    ASSERT_TRUE(ffmpeg({"-filter_complex",
                        "color=c=black:s=320x180:r=25:d=2.4[a];"
                        "testsrc2=s=320x180:r=25:d=1.1[b];"
                        "color=c=white:s=320x180:r=25:d=2.5[c];[a][b][c]concat=n=3",
                        "-c:v", "libx264", "-pix_fmt", "yuv420p", striped.string()}));
    m_files["t1"] = {place(0, "striped.mkv", striped)};
    auto store = makeStore();
    const auto image = ask(*store, torrent("t1"));
    expectPicture(image);
    EXPECT_EQ(countPrefix(runs(), "frame"), 3);

    const QImage small = image->scaled(96, 54).convertToFormat(QImage::Format_RGBA8888);
    std::vector<std::uint8_t> rgba;
    for (int row = 0; row < small.height(); ++row)
        rgba.insert(rgba.end(), small.constScanLine(row), small.constScanLine(row) + 96 * 4);
    EXPECT_TRUE(FrameSelection::score(rgba, 96, 54));
}

TEST_F(ArtworkStoreTest, KeepsTheCacheFolderWithinItsLimit) {
    fs::create_directories(thumbnails());
    // 40 MiB of older pictures, oldest first, and a file that is not a picture.
    const std::string twoMiB(2 * 1024 * 1024, 'x');
    std::vector<fs::path> old;
    for (int i = 0; i < 20; ++i) {
        old.push_back(thumbnails() / ("old-" + std::to_string(i) + ".jpg"));
        writeAll(old.back(), twoMiB);
        const timeval times[2] = {{1'600'000'000 + i * 60, 0}, {1'600'000'000 + i * 60, 0}};
        ASSERT_EQ(::utimes(old.back().c_str(), times), 0);
    }
    writeAll(thumbnails() / "notes.txt", twoMiB + twoMiB);

    m_files["t1"] = {place(0, "movie.mkv")};
    auto store = makeStore();
    expectPicture(ask(*store, torrent("t1")));

    EXPECT_LE(jpegBytes(thumbnails()), 33'554'432u);
    EXPECT_TRUE(fs::exists(cached(torrent("t1"))));
    EXPECT_TRUE(fs::exists(thumbnails() / "notes.txt"));
    // Oldest first: four would leave the new picture above the limit, so five go.
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(fs::exists(old[i]), i >= 5) << old[i];
}

TEST_F(ArtworkStoreTest, ShutdownKillsTheRunningExtractorAndStartsNoOther) {
    // An extractor that never answers on its own.
    const fs::path stuck = m_dir / "stuck-glimmet";
    writeScript(stuck, "echo \"$1\" >> '" + log().string() + "'\nexec sleep 30\n");
    m_files["t1"] = {place(0, "movie.mkv")};
    m_files["t2"] = {place(0, "other.mkv")};
    auto store = makeStore(stuck);

    bool answered = false;
    std::optional<QImage> image;
    store->image(torrent("t1"), std::nullopt, [&](std::optional<QImage> result) {
        image = std::move(result);
        answered = true;
    });
    ASSERT_TRUE(waitUntil([&] { return !runs().empty(); }));
    store->shutdown();
    ASSERT_TRUE(waitUntil([&] { return answered; }));
    EXPECT_FALSE(image);
    EXPECT_EQ(childCount(), 0);

    EXPECT_FALSE(ask(*store, torrent("t2")));
    EXPECT_EQ(runs().size(), 1u);
    EXPECT_EQ(childCount(), 0);
}

TEST_F(ArtworkStoreTest, AnExtractorDeafToTerminationIsKilled) {
    const fs::path deaf = m_dir / "deaf-glimmet";
    writeScript(deaf, "trap '' TERM\necho \"$1\" >> '" + log().string() + "'\nexec sleep 30\n");
    m_files["t1"] = {place(0, "movie.mkv")};
    auto store = makeStore(deaf);
    EXPECT_FALSE(ask(*store, torrent("t1")));
    // Each run is cut off; the duration counts as unknown, so two frame times.
    EXPECT_EQ(runs(), (std::vector<std::string>{"duration", "frame", "frame"}));
    EXPECT_EQ(childCount(), 0);
}
