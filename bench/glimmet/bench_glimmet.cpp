// Glimmet's frame command against ffmpeg's own one-frame extraction on the
// same clip: scripts/bench glimmet [FILE] [--time SECONDS] [--runs N]
// Without FILE a 30 s 1080p clip is generated. The last line is JSON.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/run_program.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    int status = -1;
    double milliseconds = 0;
    std::string out;
};

Run run(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    const tevro::test::ProgramResult r = tevro::test::runProgram(args, std::chrono::minutes(10));
    Run result;
    result.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    result.status = r.exited() ? r.exitCode : r.signal ? 128 + r.signal : -1;
    result.out = r.out;
    return result;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string jsonText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: bench_glimmet [FILE] [--time SECONDS] [--runs N]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    std::optional<fs::path> file;
    std::optional<double> time;
    int runs = 15;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--time" && i + 1 < argc)
            time = std::strtod(argv[++i], nullptr);
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!arg.starts_with("--") && !file)
            file = fs::absolute(arg);
        else
            usage();
    }

    char pattern[] = "/tmp/bench-glimmet-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path work = pattern;
    const bool generated = !file;
    if (generated) {
        file = work / "clip-1080p.mp4";
        std::printf("generating a 30 s 1080p H.264 clip...\n");
        const Run made = run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc2=size=1920x1080:rate=25:duration=30", "-c:v", "libx264",
                              "-pix_fmt", "yuv420p", file->string()});
        if (made.status != 0) {
            std::fprintf(stderr, "ffmpeg could not make the clip\n");
            return 1;
        }
    }

    const std::string glimmet = TEVRO_GLIMMET_PATH;
    if (!time) {
        const Run duration = run({glimmet, "duration", file->string()});
        const double seconds =
            duration.status == 0 ? std::strtod(duration.out.c_str(), nullptr) : 0;
        time = seconds > 0 ? seconds * 0.4 : 1.0;
    }
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%.3f", *time);

    const std::string ours = (work / "glimmet.jpg").string();
    const std::string theirs = (work / "ffmpeg.jpg").string();
    const std::vector<std::string> glimmetArgs = {glimmet, "frame", file->string(), timeText, ours};
    const std::vector<std::string> ffmpegArgs = {"ffmpeg",       "-nostdin",  "-v",     "error",
                                                 "-y",           "-ss",       timeText, "-i",
                                                 file->string(), "-frames:v", "1",      theirs};
    // The same command on one thread (decoder, filters and encoder), as
    // Glimmet decodes: the like-for-like reference.
    const std::string single = (work / "ffmpeg-1.jpg").string();
    const std::vector<std::string> oneThreadArgs = {
        "ffmpeg",   "-nostdin",  "-v",  "error",  "-y", "-filter_threads", "1",
        "-threads", "1",         "-ss", timeText, "-i", file->string(),    "-threads",
        "1",        "-frames:v", "1",   single};
    // One untimed run each warms the page cache.
    run(glimmetArgs);
    run(ffmpegArgs);
    run(oneThreadArgs);

    std::vector<double> glimmetTimes;
    std::vector<double> ffmpegTimes;
    std::vector<double> oneThreadTimes;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Run a = run(glimmetArgs);
        const Run b = run(ffmpegArgs);
        const Run c = run(oneThreadArgs);
        failures += a.status != 0;
        failures += b.status != 0;
        failures += c.status != 0;
        glimmetTimes.push_back(a.milliseconds);
        ffmpegTimes.push_back(b.milliseconds);
        oneThreadTimes.push_back(c.milliseconds);
    }
    const double glimmetMedian = median(glimmetTimes);
    const double ffmpegMedian = median(ffmpegTimes);
    const double oneThreadMedian = median(oneThreadTimes);
    const double ratio = ffmpegMedian > 0 ? glimmetMedian / ffmpegMedian : 0;
    const double oneThreadRatio = oneThreadMedian > 0 ? glimmetMedian / oneThreadMedian : 0;

    std::printf("clip:    %s%s\n", file->c_str(), generated ? " (generated)" : "");
    std::printf("time:    %s s, %d runs each\n", timeText, runs);
    std::printf("Glimmet frame:            median %.1f ms\n", glimmetMedian);
    std::printf("ffmpeg -ss -frames:v 1:   median %.1f ms\n", ffmpegMedian);
    std::printf("ffmpeg -threads 1:        median %.1f ms\n", oneThreadMedian);
    std::printf("ratio Glimmet / ffmpeg:   %.3f\n", ratio);
    std::printf("ratio Glimmet / 1 thread: %.3f\n", oneThreadRatio);
    std::printf("{\"benchmark\":\"glimmet\",\"file\":\"%s\",\"generated\":%s,\"time\":%s,"
                "\"runs\":%d,\"glimmet_median_ms\":%.2f,\"ffmpeg_median_ms\":%.2f,"
                "\"ratio\":%.4f,\"ffmpeg_one_thread_median_ms\":%.2f,"
                "\"one_thread_ratio\":%.4f,\"failures\":%d}\n",
                jsonText(generated ? "1080p testsrc2 30 s" : file->filename().string()).c_str(),
                generated ? "true" : "false", timeText, runs, glimmetMedian, ffmpegMedian, ratio,
                oneThreadMedian, oneThreadRatio, failures);
    std::error_code ec;
    fs::remove_all(work, ec);
    return failures == 0 ? 0 : 1;
}
