// Hostile .torrent files through inspection and adding: special files never
// block, every refusal says why, repeated paths cost little.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libtorrent/bencode.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/hex.hpp>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/hostile_torrents.h"
#include "tests/support/temp_dir.h"
#include "tevro/bridge/torrent_loader.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

std::string inspectionError(const fs::path& path) {
    BridgeString text(tb_inspect_torrent(path.c_str()));
    auto j = nlohmann::json::parse(text.view());
    return j.contains("error") ? j["error"].get<std::string>() : std::string();
}

// Runs `call` on its own thread; a call blocked on `fifo` is let go by a writer.
template <class F> auto withinSeconds(F call, const fs::path& fifo) {
    auto result = std::async(std::launch::async, call);
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on " << fifo;
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    return result.get();
}

TEST(HostileFiles, SpecialFilesAndFoldersAreRefusedWithoutWaiting) {
    TempDir dir;
    fs::path fifo = dir / "pipe.torrent";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::path folder = dir / "x.torrent";
    fs::create_directory(folder);
    fs::path large = dir / "large.torrent";
    writeAll(large, "");
    fs::resize_file(large, bridge::TorrentLoader::kMaxBytes + 1);
    struct Case {
        fs::path path;
        std::string says;
    } cases[] = {
        {fifo, "канал"},
        {"/dev/zero", "устройство"},
        {folder, "папка"},
        {large, "слишком большой"},
        {dir / "absent.torrent", "No such file"},
    };
    BridgeSession session(dir / "state");
    for (const Case& c : cases) {
        std::string inspected = withinSeconds([&] { return inspectionError(c.path); }, c.path);
        EXPECT_NE(inspected.find(c.says), std::string::npos) << c.path << ": " << inspected;
        auto added = withinSeconds(
            [&] { return session.addTorrent(c.path, addOptions(dir / "save", "paused=1")); },
            c.path);
        EXPECT_TRUE(added.id.empty()) << c.path;
        EXPECT_NE(added.error.find(c.says), std::string::npos) << c.path << ": " << added.error;
    }
}

TEST(HostileFiles, EveryRefusalSaysWhy) {
    TempDir dir;
    lt::entry integerEntry = hostileInfo({{{"a.mkv"}, 100}});
    integerEntry["files"].list().push_back(lt::entry(5));
    lt::entry integerFiles = hostileInfo({{{"a.mkv"}, 100}});
    integerFiles["files"] = 5;
    struct Case {
        std::string name;
        std::string bytes;
        std::string says;
    } cases[] = {
        {"integer-entry", hostileTorrent(integerEntry), "failed to parse files"},
        {"integer-files", hostileTorrent(integerFiles), "failed to parse files"},
        {"pad-only", hostileTorrent(hostileInfo({{{".pad", "16384"}, 16384, true}})),
         "нет файлов для загрузки"},
        {"pads-only",
         hostileTorrent(hostileInfo({{{".pad", "1"}, 1, true}, {{".pad", "2"}, 2, true}})),
         "нет файлов для загрузки"},
    };
    BridgeSession session(dir / "state");
    for (const Case& c : cases) {
        fs::path path = writeTorrent(dir, c.name + ".torrent", c.bytes);
        std::string inspected = inspectionError(path);
        EXPECT_NE(inspected.find(c.says), std::string::npos) << c.name << ": " << inspected;
        auto added = session.addTorrent(path, addOptions(dir / "save", "paused=1"));
        EXPECT_TRUE(added.id.empty()) << c.name;
        EXPECT_EQ(added.error, inspected) << c.name;
    }
    EXPECT_TRUE(session.status().torrents.empty());
}

TEST(HostileFiles, RepeatedPathsAreRenamedOrRefusedInLinearTime) {
    TempDir dir;
    // A few repeats load as the library names them.
    fs::path few = writeTorrent(dir, "few.torrent", repeatedPathTorrent(3));
    BridgeString text(tb_inspect_torrent(few.c_str()));
    auto j = nlohmann::json::parse(text.view());
    ASSERT_FALSE(j.contains("error")) << text.view();
    std::set<std::string> paths;
    for (const auto& f : j["files"])
        paths.insert(f["path"].get<std::string>());
    EXPECT_EQ(paths.size(), 3u);
    // Repeated the library's limit over, at the size that took it minutes.
    fs::path many = writeTorrent(dir, "many.torrent", repeatedPathTorrent(20000));
    BridgeSession session(dir / "state");
    auto start = std::chrono::steady_clock::now();
    std::string inspected = inspectionError(many);
    auto added = session.addTorrent(many, addOptions(dir / "save", "paused=1"));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("{\"repeated_paths\":20000,\"inspect_and_add_s\":%.3f}\n", seconds);
    EXPECT_NE(inspected.find("одинаковым путём"), std::string::npos) << inspected;
    EXPECT_TRUE(added.id.empty());
    EXPECT_EQ(added.error, inspected);
}

// A resume file of an older run that took such a torrent is set aside and
// named at the start, not parsed for minutes.
TEST(HostileFiles, ARepeatedPathTorrentSavedEarlierIsSetAsideAtTheStart) {
    TempDir dir;
    lt::entry info =
        hostileInfo(std::vector<HostileFile>(5000, HostileFile{{"dir", "same.mkv"}}), "repeated");
    std::string infoBytes;
    lt::bencode(std::back_inserter(infoBytes), info);
    lt::sha1_hash hash = lt::hasher(infoBytes).final();
    lt::entry resume(lt::entry::dictionary_t);
    resume["file-format"] = "libtorrent resume file";
    resume["file-version"] = 1;
    resume["info-hash"] = hash.to_string();
    resume["info"] = info;
    resume["name"] = "repeated";
    resume["save_path"] = (dir / "save").string();
    resume["paused"] = 1;
    std::string bytes;
    lt::bencode(std::back_inserter(bytes), resume);
    const std::string id = lt::aux::to_hex(hash);
    const fs::path file = dir / "state" / "resume" / (id + ".resume");
    writeAll(file, bytes);

    BridgeSession session(dir / "state");
    EXPECT_TRUE(session.status().torrents.empty());
    EXPECT_FALSE(fs::exists(file));
    std::string events = BridgeString(tb_poll_events(session.get())).str();
    EXPECT_NE(events.find("одинаковым путём"), std::string::npos) << events;
    EXPECT_NE(events.find(id), std::string::npos) << events;
}

} // namespace
} // namespace tevro::test
