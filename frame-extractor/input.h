#pragma once

// The state of one Glimmet run: the demuxer, the decoder, the frame and packet
// buffers and the deadline that bounds the whole run. Everything is released by
// the destructor, whichever way the run ends.

#include <chrono>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace glimmet {

// The whole run, opening through writing, gets this much time.
inline constexpr std::chrono::nanoseconds kBudget{1'350'000'000};

struct Input {
    Input();
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Opens and probes an absolute path to a regular file within the probe
    // limits. False when anything fails or the budget runs out meanwhile.
    bool open(const char* path);
    bool expired() const { return std::chrono::steady_clock::now() >= deadline; }

    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    std::chrono::steady_clock::time_point deadline;
    // The opened file as stat saw it; lets the caller recognise the same file
    // under another name.
    struct stat file {};
};

} // namespace glimmet
