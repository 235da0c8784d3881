// Streaming playback through the real player: an engine downloads a clip
// from a loopback seeder sending 8 MiB/s, starting with nothing on disk.
// Times open -> first decoded frame and seek to 50 % -> playback restart,
// for an MKV and for an MP4 with its index at the end of the file.
// scripts/bench playback [--seconds N] [--size WxH] [--runs N]
// The last line is JSON.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "tests/support/qt_app.h"
#include "tests/support/run_program.h"
#include "tests/support/playback/clips.h"
#include "tests/support/playback/media_torrent.h"
#include "tests/support/playback/player_rig.h"
#include "tests/support/playback/software_renderer.h"
#include "tevro/bridge/bridge_string.h"
#include "tevro/bridge/torrent_bridge.h"
#include "tevro/core/json_value.h"
#include "tevro/player/player_model.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace tevro;

namespace {

constexpr int kUploadLimit = 8 << 20;

double millisecondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The bytes the first frame cannot do without, in whole pieces (a piece is
// only usable once all of it is there): the head of the file up to the end of
// its first video packet and, when the MP4 index sits at the end, the index.
std::int64_t bytesNeededForFirstFrame(const fs::path& clip, std::int64_t pieceSize) {
    auto probe = test::runProgram({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                   "-show_entries", "packet=pos,size", "-read_intervals", "%+#1",
                                   "-of", "csv=p=0", clip.string()});
    long long pos = 0, size = 0;
    if (!probe.exited() || std::sscanf(probe.out.c_str(), "%lld,%lld", &size, &pos) != 2)
        return -1;
    std::int64_t fileSize = static_cast<std::int64_t>(fs::file_size(clip));
    std::int64_t headEnd = pos + size;
    auto pieces = [&](std::int64_t from, std::int64_t to) {
        return (to + pieceSize - 1) / pieceSize - from / pieceSize;
    };
    std::int64_t count = pieces(0, headEnd);
    // Top-level MP4 boxes: a 32-bit size (1: 64-bit size follows) and a type.
    if (clip.extension() == ".mp4") {
        std::FILE* f = std::fopen(clip.c_str(), "rb");
        std::int64_t at = 0;
        while (f && at + 8 <= fileSize) {
            unsigned char h[16];
            if (std::fseek(f, at, SEEK_SET) != 0 || std::fread(h, 1, 16, f) < 8)
                break;
            std::int64_t box = (std::int64_t(h[0]) << 24) | (h[1] << 16) | (h[2] << 8) | h[3];
            if (box == 1) {
                box = 0;
                for (int i = 8; i < 16; ++i)
                    box = (box << 8) | h[i];
            }
            if (box < 8)
                break;
            if (std::memcmp(h + 4, "moov", 4) == 0 && at >= headEnd)
                count += pieces(std::max(at, (headEnd + pieceSize - 1) / pieceSize * pieceSize),
                                at + box);
            at += box;
        }
        if (f)
            std::fclose(f);
    }
    return count * pieceSize;
}

struct Sample {
    std::optional<double> connect;     // open -> first payload byte from the seeder
    std::optional<double> firstFrame;  // open -> first decoded frame
    std::optional<double> seekRestart; // seek to 50 % -> playback restart
    bool targetWasDownloaded = false;  // the piece at 50 % was on disk at the seek
    std::string error;
};

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tevro-bench-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            m_path = buffer.data();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_path.empty())
            fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// One fresh engine and download folder: nothing of the clip is on disk.
Sample measure(const fs::path& seedFolder, const std::string& name, const std::string& fileName,
               const fs::path& work) {
    Sample s;
    auto torrent = playback::MediaTorrent::create(seedFolder, name);
    playback::PlayerRig rig(work, {kUploadLimit, {}});
    std::string id = rig.add(torrent);
    TorrentFile file = rig.file(id, fileName);

    PlayerModel model(rig.engine());
    auto core = model.ensureCore();
    if (!core) {
        s.error = "no core";
        return s;
    }
    auto renderer = playback::SoftwareRenderer::attach(*core, 640, 360);
    if (!renderer) {
        s.error = "no render context";
        return s;
    }
    std::optional<Clock::time_point> restartAt;
    bool awaitingRestart = false;
    core->setOnEvent([&](const MPVEvent& e) {
        if (awaitingRestart && e.as<MPVEvent::PlaybackRestart>()) {
            restartAt = Clock::now();
            awaitingRestart = false;
        }
        model.handle(e);
    });

    auto received = [&] {
        auto st = Json::parse(BridgeString(tb_status_json(rig.engine().session())).view());
        for (const auto& t : st["torrents"])
            if (t["id"] == id)
                return t["downloaded"].get<std::int64_t>() > 0 ||
                       t["totalDone"].get<std::int64_t>() > 0;
        return false;
    };
    auto opened = Clock::now();
    model.open(id, file);
    bool framed = tevro::test::waitUntil(
        [&] {
            if (!s.connect && received())
                s.connect = millisecondsBetween(opened, Clock::now());
            return renderer->frames() > 0 || model.error().has_value();
        },
        120s);
    if (!framed || model.error() || !renderer->firstFrameAt()) {
        s.error = model.error().value_or("no frame");
        return s;
    }
    s.firstFrame = millisecondsBetween(opened, *renderer->firstFrameAt());
    if (!tevro::test::waitUntil([&] { return model.duration() > 0; }, 30s)) {
        s.error = "no duration";
        return s;
    }

    auto map = std::make_shared<std::optional<std::string>>();
    rig.engine().pieces(id, static_cast<int>(file.i),
                        [map](std::string pieces) { *map = std::move(pieces); });
    tevro::test::waitUntil([&] { return map->has_value(); }, 5s);
    if (map->has_value() && !(*map)->empty())
        s.targetWasDownloaded = (**map)[(*map)->size() / 2] == '1';

    awaitingRestart = true;
    auto seeked = Clock::now();
    model.seek(model.duration() * 0.5);
    if (!tevro::test::waitUntil([&] { return restartAt.has_value() || model.error(); }, 120s) ||
        !restartAt) {
        s.error = model.error().value_or("no restart after the seek");
        return s;
    }
    s.seekRestart = millisecondsBetween(seeked, *restartAt);
    model.stop();
    return s;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 180;
    int width = 640;
    int height = 360;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (arg == "--size" && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: bench_playback [--seconds N] [--size WxH] [--runs N]\n");
            return 2;
        }
    }
    setenv("TEVRO_SILENT", "1", 0);
    QCoreApplication app(argc, argv);
    // Before any thread: the application took the environment's locale, and
    // mpv needs "." numbers.
    std::setlocale(LC_NUMERIC, "C");

    TempFolder folder;
    Json result = {{"upload_limit_bytes_per_s", kUploadLimit},
                   {"clip_seconds", seconds},
                   {"clip_size", std::to_string(width) + "x" + std::to_string(height)},
                   {"runs", runs}};
    int failures = 0;
    for (const std::string container : {"mkv", "mp4"}) {
        std::string name = "Clip-" + container;
        fs::path clip = folder.path() / "seed" / name / ("Clip." + container);
        playback::ClipOptions options;
        options.seconds = seconds;
        options.width = width;
        options.height = height;
        if (!playback::makeVideo(clip, options)) {
            std::fprintf(stderr, "ffmpeg failed for %s\n", container.c_str());
            return 1;
        }
        result[container + "_bytes"] = fs::file_size(clip);
        std::int64_t pieceSize = 128 * 1024; // MediaTorrent's default
        std::int64_t needed = bytesNeededForFirstFrame(clip, pieceSize);
        std::vector<double> firstFrames, restarts, connects;
        int targetDownloaded = 0;
        for (int run = 0; run < runs; ++run) {
            Sample s = measure(folder.path() / "seed", name, "Clip." + container,
                               folder.path() / (container + "-run" + std::to_string(run)));
            if (!s.error.empty()) {
                ++failures;
                std::fprintf(stderr, "%s run %d: %s\n", container.c_str(), run, s.error.c_str());
                continue;
            }
            firstFrames.push_back(*s.firstFrame);
            connects.push_back(s.connect.value_or(0));
            restarts.push_back(*s.seekRestart);
            targetDownloaded += s.targetWasDownloaded;
            std::printf("%s run %d: first frame %.0f ms, seek restart %.0f ms%s\n",
                        container.c_str(), run, *s.firstFrame, *s.seekRestart,
                        s.targetWasDownloaded ? " (target already on disk)" : "");
            std::fflush(stdout);
        }
        result[container + "_open_to_first_frame_ms"] = std::round(median(firstFrames));
        result[container + "_seek_to_restart_ms"] = std::round(median(restarts));
        // Bounds: bytes needed at the seeder's rate, plus (first frame) the
        // time until the seeder's first payload byte arrived.
        double rate = kUploadLimit / 1000.0; // bytes per ms
        double frameBound = median(connects) + static_cast<double>(needed) / rate;
        // After a seek: one key-frame interval (a second of the clip) in whole pieces.
        double second = static_cast<double>(fs::file_size(clip)) / seconds;
        double seekBound = std::ceil(second / static_cast<double>(pieceSize)) *
                           static_cast<double>(pieceSize) / rate;
        result[container + "_first_frame_bytes_needed"] = needed;
        result[container + "_connect_ms"] = std::round(median(connects));
        result[container + "_first_frame_bound_ms"] = std::round(frameBound);
        result[container + "_first_frame_ratio"] = median(firstFrames) / frameBound;
        result[container + "_seek_bound_ms"] = std::round(seekBound);
        result[container + "_seek_ratio"] = median(restarts) / seekBound;
        result[container + "_seek_target_already_downloaded"] = targetDownloaded;
    }
    result["failures"] = failures;
    std::printf("%s\n", result.dump().c_str());
    return failures ? 1 : 0;
}
