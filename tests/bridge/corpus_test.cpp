// Every file of the shared torrent corpus through inspection and adding: no
// crash, no hang, a clean error for what cannot be read, and every file of a
// hostile torrent inside the save folder.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>
#include <libtorrent/torrent_info.hpp>
#include <nlohmann/json.hpp>

#include "tests/bridge/bridge_fixture.h"
#include "tests/support/swarm/wait_until.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

struct CorpusEntry {
    std::string file;
    std::string expected; // ok, error, error-on-add
};

fs::path corpusDir() {
    return TEVRO_TORRENT_CORPUS;
}

std::vector<CorpusEntry> manifest() {
    std::vector<CorpusEntry> out;
    std::ifstream in(corpusDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream cols(line);
        CorpusEntry e;
        if (std::getline(cols, e.file, '\t') && std::getline(cols, e.expected, '\t'))
            out.push_back(e);
    }
    return out;
}

// Files libtorrent 2.1 refuses and 2.0 reads; 2.0's verdict is what we see.
bool acceptedByThisLibrary(const std::string& file) {
    return file == "duplicate_files2.torrent" || file == "v2_invalid_piece_layer_root.torrent" ||
           file == "v2_unknown_piece_layer_entry.torrent";
}

// Nothing in the torrent points off this machine, so it may run unpaused.
bool offline(const fs::path& torrent) {
    try {
        lt::torrent_info ti(torrent.string());
        return ti.trackers().empty() && ti.web_seeds().empty() && ti.nodes().empty();
    } catch (const std::exception&) {
        return false;
    }
}

bool inside(const fs::path& root, const fs::path& path) {
    auto r = root.lexically_normal().string();
    auto p = path.lexically_normal().string();
    return p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/';
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(corpusDir() / "MANIFEST.tsv"))
            GTEST_SKIP() << "torrent corpus not found at " << corpusDir();
    }
};

TEST_F(Corpus, InspectionDescribesOrRefusesEveryFile) {
    auto entries = manifest();
    ASSERT_GT(entries.size(), 100u);
    for (const auto& e : entries) {
        BridgeString text(tb_inspect_torrent((corpusDir() / e.file).c_str()));
        nlohmann::json j;
        ASSERT_NO_THROW(j = nlohmann::json::parse(text.view())) << e.file;
        bool refused = j.contains("error");
        if (refused) {
            EXPECT_EQ(j.size(), 1u) << e.file;
            EXPECT_FALSE(j["error"].get<std::string>().empty()) << e.file;
        } else {
            for (const char* key : {"id", "name", "size", "pieceLength", "pieces", "private",
                                    "comment", "creator", "trackers", "files"})
                EXPECT_TRUE(j.contains(key)) << e.file << " lacks " << key;
            EXPECT_EQ(j["id"].get<std::string>().size(), 40u) << e.file;
            for (const auto& f : j["files"]) {
                auto path = f["path"].get<std::string>();
                EXPECT_FALSE(path.starts_with("/")) << e.file << ": " << path;
                EXPECT_TRUE(inside("/save", fs::path("/save") / path)) << e.file << ": " << path;
            }
        }
        bool expectRefused = e.expected == "error" && !acceptedByThisLibrary(e.file);
        EXPECT_EQ(refused, expectRefused) << e.file << ": " << text.view();
    }
}

TEST_F(Corpus, AddingKeepsEveryFileInsideTheSaveFolder) {
    TempDir root;
    fs::path save = root / "save";
    fs::create_directories(save);
    BridgeSession session(root / "state");
    std::map<std::string, std::string> ids; // id -> corpus file
    std::vector<std::string> running;
    for (const auto& e : manifest()) {
        fs::path torrent = corpusDir() / e.file;
        BridgeString inspected(tb_inspect_torrent(torrent.c_str()));
        bool readable = !nlohmann::json::parse(inspected.view()).contains("error");
        // Torrents naming trackers, web seeds or DHT nodes stay paused: no
        // traffic may leave this machine.
        bool live = offline(torrent);
        auto added = session.addTorrent(torrent, addOptions(save, live ? "" : "paused=1"));
        if (!readable) {
            EXPECT_TRUE(added.id.empty()) << e.file;
            EXPECT_FALSE(added.error.empty()) << e.file;
            continue;
        }
        if (added.id.empty()) {
            // Refused by the session, not the loader (v2 piece layers).
            EXPECT_FALSE(added.error.empty()) << e.file;
            continue;
        }
        if (added.error == "duplicate") {
            EXPECT_TRUE(ids.count(added.id)) << e.file;
            continue;
        }
        EXPECT_EQ(added.error, "") << e.file;
        ids[added.id] = e.file;
        if (live)
            running.push_back(added.id);
    }
    ASSERT_FALSE(running.empty());

    // The running ones check their (absent) data, creating empty files and links.
    bool settled = swarm::waitUntil(
        [&] {
            for (const auto& t : session.status().torrents)
                if (t.state == "checking" && !t.paused)
                    return false;
            return true;
        },
        30s, 100ms);
    EXPECT_TRUE(settled);

    for (const auto& [id, file] : ids) {
        for (const auto& f : session.files(id))
            EXPECT_TRUE(inside(save, save / f.path)) << file << ": " << f.path;
    }
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root.path(), ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        EXPECT_TRUE(inside(save, p) || inside(root / "state", p) || p == save ||
                    p == root / "state")
            << p;
        if (it->is_symlink()) {
            fs::path target = fs::read_symlink(p);
            fs::path resolved = target.is_absolute() ? target : p.parent_path() / target;
            EXPECT_TRUE(inside(save, resolved)) << p << " -> " << target;
        }
    }
    // Something must have been created, or the check above proves nothing.
    EXPECT_FALSE(fs::is_empty(save));
}

} // namespace
} // namespace tevro::test
