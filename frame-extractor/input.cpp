#include "frame-extractor/input.h"

namespace glimmet {

namespace {

int interrupted(void* opaque) {
    return static_cast<const Input*>(opaque)->expired() ? 1 : 0;
}

} // namespace

Input::Input()
    : frame(av_frame_alloc()), packet(av_packet_alloc()),
      deadline(std::chrono::steady_clock::now() + kBudget) {}

Input::~Input() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
}

bool Input::open(const char* path) {
    if (path[0] != '/' || ::stat(path, &file) != 0 || !S_ISREG(file.st_mode))
        return false;
    format = avformat_alloc_context();
    if (!format || !frame || !packet)
        return false;
    format->interrupt_callback.callback = interrupted;
    format->interrupt_callback.opaque = this;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "probesize", "1048576", 0);
    av_dict_set(&options, "analyzeduration", "1000000", 0);
    // On failure avformat_open_input frees the context and clears the pointer.
    const int opened = avformat_open_input(&format, path, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return false;
    return avformat_find_stream_info(format, nullptr) >= 0;
}

} // namespace glimmet
