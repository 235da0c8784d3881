// Glimmet: answers one question about a local media file and exits.
//   Glimmet duration PATH                 prints the duration in seconds ("%.6f\n")
//   Glimmet frame PATH SECONDS OUTPUT     writes a 512 x 288 JPEG of the frame at SECONDS
// Exit codes: 0 done, 2 usage, 3 the input cannot be opened, 4 no answer.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "frame-extractor/frame_extraction.h"
#include "frame-extractor/input.h"

namespace {

constexpr int kDone = 0;
constexpr int kUsage = 2;
constexpr int kUnopenable = 3;
constexpr int kNoAnswer = 4;

constexpr double kMaxSeconds = 864000; // ten days
constexpr std::size_t kMaxAllocation = 268'435'456;

bool parseSeconds(const char* text, double& seconds) {
    char* end = nullptr;
    seconds = std::strtod(text, &end);
    if (end == text || *end != '\0')
        return false;
    return std::isfinite(seconds) && seconds >= 0 && seconds <= kMaxSeconds;
}

// The output must never be the input, whatever name either goes by: a JPEG
// written over the video would destroy the download.
bool sameFile(const char* path, const struct stat& input, const char* output) {
    if (std::strcmp(path, output) == 0)
        return true;
    struct stat target {};
    return ::stat(output, &target) == 0 && target.st_dev == input.st_dev &&
           target.st_ino == input.st_ino;
}

int duration(const glimmet::Input& input) {
    const std::int64_t micros = input.format->duration;
    if (micros == AV_NOPTS_VALUE || micros < 1)
        return kNoAnswer;
    std::printf("%.6f\n", static_cast<double>(micros) / 1'000'000);
    return std::fflush(stdout) == 0 ? kDone : kNoAnswer;
}

int frame(glimmet::Input& input, const char* path, const char* secondsText, const char* output) {
    double seconds = 0;
    if (!parseSeconds(secondsText, seconds))
        return kUsage;
    if (sameFile(path, input.file, output))
        return kUsage;
    return glimmet::extract(input, seconds, output) ? kDone : kNoAnswer;
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(kMaxAllocation);

    if (argc != 3 && argc != 5)
        return kUsage;
    const bool isDuration = std::strcmp(argv[1], "duration") == 0;
    const bool isFrame = std::strcmp(argv[1], "frame") == 0;
    if ((!isDuration && !isFrame) || (isDuration && argc != 3) || (isFrame && argc != 5))
        return kUsage;

    glimmet::Input input;
    if (!input.open(argv[2]))
        return kUnopenable;
    if (isDuration)
        return duration(input);
    return frame(input, argv[2], argv[3], argv[4]);
}
