// Glimmet run as a real program on clips that ffmpeg makes for the occasion.

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

using namespace tevro::test;
namespace fs = std::filesystem;

namespace {

struct Clip {
    const char* name;
    std::vector<std::string> args; // ffmpeg arguments before the output name
};

// A test picture whose hue turns a full circle every 10 s, so frames a few
// seconds apart differ everywhere.
const char* kTurning = "testsrc2=size=%s:rate=25:duration=%d,hue=H=2*PI*t/10";

std::string source(const char* size, int seconds) {
    char text[160];
    std::snprintf(text, sizeof text, kTurning, size, seconds);
    return text;
}

std::vector<std::string> video(const char* size, int seconds, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-f",       "lavfi",   "-i", source(size, seconds),
                                     "-c:v",     "libx264", "-g", "50",
                                     "-pix_fmt", "yuv420p"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Width and height from a JPEG's start-of-frame header.
std::optional<std::pair<int, int>> jpegSize(const std::string& bytes) {
    if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    while (at + 9 < bytes.size() && byte(at) == 0xFF) {
        const unsigned char marker = byte(at + 1);
        const std::size_t length = byte(at + 2) << 8 | byte(at + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return std::pair{byte(at + 7) << 8 | byte(at + 8), byte(at + 5) << 8 | byte(at + 6)};
        at += 2 + length;
    }
    return std::nullopt;
}

// Mean absolute difference per channel of two same-sized RGB pictures.
double difference(const std::string& a, const std::string& b) {
    EXPECT_EQ(a.size(), b.size());
    if (a.empty() || a.size() != b.size())
        return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]));
    return sum / static_cast<double>(a.size());
}

std::string rgbOf(const fs::path& jpeg) {
    return runProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", jpeg, "-f", "rawvideo",
                       "-pix_fmt", "rgb24", "-"})
        .out;
}

// What ffmpeg itself makes of the frame at `seconds`, scaled and cropped the
// same way.
std::string referenceRgb(const fs::path& clip, double seconds, const std::string& scale) {
    return runProgram({"ffmpeg", "-nostdin", "-v", "error", "-ss", std::to_string(seconds), "-i",
                       clip, "-frames:v", "1", "-vf",
                       "scale=" + scale + ":flags=bilinear,crop=512:288", "-f", "rawvideo",
                       "-pix_fmt", "rgb24", "-"})
        .out;
}

class GlimmetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_dir = new TempDir; }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    // A clip by name, made on first use: each test makes only what it reads.
    static std::string path(const std::string& name) {
        const fs::path target = *s_dir / name;
        if (!fs::exists(target))
            make(name, target);
        return target.string();
    }

    static void make(const std::string& name, const fs::path& target) {
        const std::map<std::string, std::vector<std::string>> recipes = {
            {"clip.mkv", video("640x480", 10)},
            // ffmpeg leaves the MP4 index at the end unless told otherwise.
            {"clip.mp4", video("1280x720", 10)},
            {"wide.mkv", video("1920x800", 4)},
            {"portrait.mkv", video("270x480", 4)},
            {"anamorphic.mkv", video("720x576", 4, {"-vf", "setsar=16/15"})},
            {"flat.mkv", video("1700x200", 1)},
            {"tall.mkv", video("200x1700", 1)},
            {"audio.m4a", {"-f", "lavfi", "-i", "sine=duration=3", "-c:a", "aac"}},
            {"cover.mp3",
             {"-f",
              "lavfi",
              "-i",
              "sine=duration=3",
              "-f",
              "lavfi",
              "-i",
              "testsrc=size=64x64:duration=0.04",
              "-map",
              "0",
              "-map",
              "1",
              "-c:a",
              "libmp3lame",
              "-c:v",
              "mjpeg",
              "-disposition:v",
              "attached_pic",
              "-frames:v",
              "1"}},
            {"raw.h264",
             {"-f", "lavfi", "-i", source("320x240", 3), "-c:v", "libx264", "-f", "h264"}},
            {"huge.mkv",
             {"-f", "lavfi", "-i", "testsrc2=size=8200x1100:rate=1:duration=1", "-c:v", "ffv1"}},
            // Brightness steps by frame number (period 3), B-frames always, one
            // key frame in 250: a neighbouring frame is far from the right one.
            {"flicker.mkv",
             {"-f", "lavfi", "-i",
              "color=gray:size=320x240:rate=25:duration=12,geq=lum='mod(N\\,3)*90+30':cb=128:"
              "cr=128",
              "-c:v", "libx264", "-x264-params", "b-adapt=0:bframes=3:keyint=250:scenecut=0",
              "-pix_fmt", "yuv420p"}},
            // One key frame, then thousands of frames that depend on it.
            {"long-gop.mkv",
             {"-f", "lavfi", "-i", "testsrc2=size=64x64:rate=25:duration=300", "-c:v", "libx264",
              "-x264-params", "keyint=100000:min-keyint=100000:scenecut=0", "-pix_fmt", "yuv420p"}},
        };
        if (auto recipe = recipes.find(name); recipe != recipes.end()) {
            std::vector<std::string> args = recipe->second;
            args.push_back(target.string());
            ASSERT_TRUE(ffmpeg(args)) << name;
        } else if (name == "truncated.mkv") {
            const std::string mkv = readAll(path("clip.mkv"));
            writeAll(target, mkv.substr(0, mkv.size() * 2 / 5));
        } else if (name == "truncated.mp4") {
            const std::string mp4 = readAll(path("clip.mp4"));
            writeAll(target, mp4.substr(0, mp4.size() * 3 / 5));
        } else if (name == "empty.mkv") {
            writeAll(target, "");
        } else if (name == "noise.mkv") {
            std::mt19937 random(7);
            std::string noise(65536, '\0');
            for (char& c : noise)
                c = static_cast<char>(random());
            writeAll(target, noise);
        } else if (name == "folder.mkv") {
            fs::create_directories(target);
        }
    }

    static ProgramResult glimmet(std::vector<std::string> args) {
        args.insert(args.begin(), glimmetPath().string());
        // Far beyond the program's own budget: only a hang reaches it.
        return runProgram(args, std::chrono::seconds(30));
    }

    void SetUp() override {
        ASSERT_TRUE(fs::exists(glimmetPath())) << glimmetPath();
        ASSERT_TRUE(s_dir);
        fs::remove(out());
    }
    static std::string out() { return path("out.jpg"); }

    static TempDir* s_dir;
};

TempDir* GlimmetTest::s_dir = nullptr;

TEST_F(GlimmetTest, DurationMatchesFfprobe) {
    for (const char* name :
         {"clip.mkv", "clip.mp4", "truncated.mkv", "audio.m4a", "cover.mp3", "wide.mkv"}) {
        const ProgramResult probe =
            runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                        "default=noprint_wrappers=1:nokey=1", path(name)});
        ASSERT_TRUE(probe.exited() && probe.exitCode == 0) << name;
        const ProgramResult result = glimmet({"duration", path(name)});
        ASSERT_TRUE(result.exited()) << name;
        EXPECT_EQ(result.exitCode, 0) << name;
        EXPECT_EQ(result.out, probe.out) << name;
        EXPECT_EQ(result.out.back(), '\n') << name;
    }
}

TEST_F(GlimmetTest, FrameIsTheCoveringCropOfTheFrameAtTheTime) {
    struct Case {
        const char* clip;
        double seconds;
        const char* scale; // the covering size before the centre crop
    };
    const Case cases[] = {
        {"clip.mkv", 3.5, "512:384"},      {"clip.mp4", 6.3, "512:288"},
        {"clip.mkv", 0, "512:384"},        {"wide.mkv", 1.1, "692:288"},
        {"portrait.mkv", 0.7, "512:911"},  {"anamorphic.mkv", 1.3, "512:384"},
        {"truncated.mkv", 1.9, "512:384"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.clip) + " at " + std::to_string(c.seconds));
        fs::remove(out());
        const ProgramResult result =
            glimmet({"frame", path(c.clip), std::to_string(c.seconds), out()});
        ASSERT_TRUE(result.exited());
        ASSERT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.out.empty());
        const auto size = jpegSize(readAll(out()));
        ASSERT_TRUE(size);
        EXPECT_EQ(*size, std::pair(512, 288));

        // The hue turns 54 degrees in 1.5 s: the right frame is close to
        // ffmpeg's, a frame 1.5 s away is far from it.
        const std::string ours = rgbOf(out());
        const double same = difference(ours, referenceRgb(path(c.clip), c.seconds, c.scale));
        const double away = c.seconds >= 1.5 ? c.seconds - 1.5 : c.seconds + 1.5;
        const double other = difference(ours, referenceRgb(path(c.clip), away, c.scale));
        EXPECT_LT(same, 8);
        EXPECT_GT(other, 4 * same);
    }
}

// Frames shown before the time are skipped where nothing refers to them: the
// frame written is still exactly ffmpeg's, never a neighbour.
TEST_F(GlimmetTest, SkippingFramesBeforeTheTimeKeepsTheExactFrame) {
    for (double seconds : {9.0, 9.04, 9.08, 9.12, 9.16, 10.5}) {
        SCOPED_TRACE(seconds);
        fs::remove(out());
        const ProgramResult result =
            glimmet({"frame", path("flicker.mkv"), std::to_string(seconds), out()});
        ASSERT_TRUE(result.exited());
        ASSERT_EQ(result.exitCode, 0);
        EXPECT_LT(difference(rgbOf(out()), referenceRgb(path("flicker.mkv"), seconds, "512:384")),
                  8);
    }
}

TEST_F(GlimmetTest, UsageErrorsExitTwoBeforeTouchingTheInput) {
    const std::string clip = path("clip.mkv");
    const std::string missing = path("missing.mkv");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"duration"},
        {"duration", missing, "extra"},
        {"duration", missing, "1", out()},
        {"frame", missing},
        {"frame", missing, "1"},
        {"frame", missing, "1", out(), "extra"},
        {"thumbnail", missing},
        {"Frame", missing, "1", out()},
        {"", missing, "1", out()},
    };
    for (const auto& args : cases) {
        const ProgramResult result = glimmet(args);
        ASSERT_TRUE(result.exited());
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(result.out.empty());
    }
}

TEST_F(GlimmetTest, SecondsAreCheckedAfterTheInputOpens) {
    struct Case {
        const char* seconds;
        int code; // with a readable input
    };
    const Case cases[] = {
        {"", 2},      {"5s", 2}, {"inf", 2}, {"nan", 2}, {"-1", 2},  {"abc", 2},    {"864000.5", 2},
        {"1e400", 2}, {"0", 0},  {"-0", 0},  {" 2", 0},  {"2.5", 0}, {"864000", 4}, {"30", 4},
    };
    for (const Case& c : cases) {
        fs::remove(out());
        const ProgramResult result = glimmet({"frame", path("clip.mkv"), c.seconds, out()});
        ASSERT_TRUE(result.exited());
        EXPECT_EQ(result.exitCode, c.code) << '"' << c.seconds << '"';
        EXPECT_EQ(fs::exists(out()), c.code == 0) << '"' << c.seconds << '"';
    }
    // An unopenable input is reported first, whatever the seconds say.
    const ProgramResult result = glimmet({"frame", path("missing.mkv"), "abc", out()});
    EXPECT_EQ(result.exitCode, 3);
}

TEST_F(GlimmetTest, NeverWritesOverItsInput) {
    const std::string original = readAll(path("clip.mkv"));
    const std::string copy = path("victim.mkv");
    writeAll(copy, original);
    ASSERT_EQ(::symlink(copy.c_str(), path("victim-link.mkv").c_str()), 0);
    ASSERT_EQ(::link(copy.c_str(), path("victim-hard.mkv").c_str()), 0);
    const std::vector<std::string> spellings = {
        copy,
        s_dir->path().string() + "/./victim.mkv",
        s_dir->path().string() + "//victim.mkv",
        (s_dir->path() / ".." / s_dir->path().filename() / "victim.mkv").string(),
        path("victim-link.mkv"),
        path("victim-hard.mkv"),
    };
    for (const std::string& output : spellings) {
        const ProgramResult result = glimmet({"frame", copy, "1", output});
        ASSERT_TRUE(result.exited());
        EXPECT_EQ(result.exitCode, 2) << output;
        ASSERT_EQ(readAll(copy), original) << output;
    }
}

TEST_F(GlimmetTest, UnopenableInputsExitThree) {
    const std::vector<std::string> inputs = {
        "clip.mkv", // relative
        path("missing.mkv"), path("folder.mkv"),    path("empty.mkv"),
        path("noise.mkv"),   path("truncated.mp4"),
    };
    for (const std::string& input : inputs) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"duration", input},
              std::vector<std::string>{"frame", input, "1", out()}}) {
            const ProgramResult result = glimmet(args);
            ASSERT_TRUE(result.exited());
            EXPECT_EQ(result.exitCode, 3) << args[0] << ' ' << input;
            EXPECT_TRUE(result.out.empty());
        }
    }
    EXPECT_FALSE(fs::exists(out()));
}

TEST_F(GlimmetTest, InputsWithoutAnAnswerExitFour) {
    const std::vector<std::vector<std::string>> cases = {
        {"duration", path("raw.h264")}, // no duration known
        {"frame", path("audio.m4a"), "1", out()},
        {"frame", path("cover.mp3"), "1", out()}, // only embedded cover art
        {"frame", path("clip.mkv"), "12", out()}, // past the end
        {"frame", path("clip.mp4"), "11.5", out()},
        {"frame", path("truncated.mkv"), "8", out()},  // past what is there
        {"frame", path("clip.mkv"), "1", "out.jpg"},   // relative output
        {"frame", path("flat.mkv"), "0.5", out()},     // aspect above 8
        {"frame", path("tall.mkv"), "0.5", out()},     // aspect below 1/8
        {"frame", path("huge.mkv"), "0", out()},       // wider than 8192
        {"frame", path("long-gop.mkv"), "290", out()}, // too far from a key frame
    };
    for (const auto& args : cases) {
        const ProgramResult result = glimmet(args);
        ASSERT_TRUE(result.exited());
        EXPECT_EQ(result.exitCode, 4) << ::testing::PrintToString(args);
        EXPECT_TRUE(result.out.empty());
    }
    EXPECT_FALSE(fs::exists(out()));
    EXPECT_FALSE(fs::exists("out.jpg"));

    // The same long stretch without a key frame is fine where it is short.
    const ProgramResult near = glimmet({"frame", path("long-gop.mkv"), "10", out()});
    EXPECT_EQ(near.exitCode, 0);
}

TEST_F(GlimmetTest, DamagedInputNeverHangsOrCrashes) {
    std::mt19937 random(2024);
    int answered = 0;
    for (const char* name : {"clip.mkv", "clip.mp4"}) {
        const std::string original = readAll(path(name));
        const std::string damaged = path(std::string("damaged-") + name);
        for (int round = 0; round < 24; ++round) {
            std::string bytes = original;
            // Headers and the MP4 index at the end matter most, so aim there
            // as often as anywhere else.
            const std::size_t region = 65536;
            const int edits = 1 + static_cast<int>(random() % 48);
            for (int e = 0; e < edits; ++e) {
                std::size_t at = random() % bytes.size();
                if (e % 3 == 0)
                    at = random() % std::min(region, bytes.size());
                else if (e % 3 == 1)
                    at = bytes.size() - 1 - random() % std::min(region, bytes.size());
                bytes[at] = static_cast<char>(random());
            }
            if (round % 4 == 3)
                bytes.resize(random() % bytes.size());
            writeAll(damaged, bytes);

            const double seconds = static_cast<double>(random() % 1200) / 100.0;
            for (const std::vector<std::string>& args :
                 {std::vector<std::string>{"duration", damaged},
                  std::vector<std::string>{"frame", damaged, std::to_string(seconds), out()}}) {
                fs::remove(out());
                const ProgramResult result = glimmet(args);
                SCOPED_TRACE(std::string(name) + " round " + std::to_string(round) + " " + args[0]);
                ASSERT_TRUE(result.launched);
                ASSERT_FALSE(result.hung);
                ASSERT_EQ(result.signal, 0);
                EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3 || result.exitCode == 4)
                    << result.exitCode;
                if (args[0] == "frame" && result.exitCode == 0) {
                    ++answered;
                    EXPECT_EQ(jpegSize(readAll(out())), std::pair(512, 288));
                }
            }
        }
    }
    // Damage that spares the frames in question still gives a picture.
    EXPECT_GT(answered, 0);
}

} // namespace
