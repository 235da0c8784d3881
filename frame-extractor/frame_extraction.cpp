#include "frame-extractor/frame_extraction.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "frame-extractor/jpeg_writer.h"

namespace glimmet {

namespace {

constexpr int kMaxRounds = 4096;
constexpr int kMaxSide = 8192;
constexpr std::int64_t kMaxDecoderPixels = 67'108'864;
constexpr int kJpegQuality = 72;

struct SwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

bool openDecoder(Input& input, const AVStream* stream) {
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return false;
    input.codec = avcodec_alloc_context3(decoder);
    if (!input.codec || avcodec_parameters_to_context(input.codec, stream->codecpar) < 0)
        return false;
    input.codec->thread_count = 1;
    input.codec->max_pixels = kMaxDecoderPixels;
    return avcodec_open2(input.codec, decoder, nullptr) >= 0;
}

// Scales the whole frame once, straight to the size that covers 512 x 288,
// then writes the centre of it.
bool writeCover(Input& input, AVStream* stream, const AVFrame* frame, const char* output) {
    const AVRational sample =
        av_guess_sample_aspect_ratio(input.format, stream, const_cast<AVFrame*>(frame));
    if (output[0] != '/')
        return false;
    const int width = frame->width;
    const int height = frame->height;
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide)
        return false;
    double aspect = static_cast<double>(width) / height;
    if (sample.num >= 1 && sample.den >= 1)
        aspect *= static_cast<double>(sample.num) / sample.den;
    if (!std::isfinite(aspect) || aspect < 0.125 || aspect > 8)
        return false;

    int coverWidth = kCoverWidth;
    int coverHeight = kCoverHeight;
    if (aspect >= 16.0 / 9.0)
        coverWidth = static_cast<int>(std::ceil(aspect * kCoverHeight));
    else
        coverHeight = static_cast<int>(std::ceil(kCoverWidth / aspect));

    std::unique_ptr<SwsContext, SwsFree> scaler(
        sws_getContext(width, height, static_cast<AVPixelFormat>(frame->format), coverWidth,
                       coverHeight, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    const int* coefficients = sws_getCoefficients(frame->colorspace);
    const int fullSource = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    sws_setColorspaceDetails(scaler.get(), coefficients, fullSource, coefficients, 1, 0, 1 << 16,
                             1 << 16);

    const std::size_t stride = static_cast<std::size_t>(coverWidth) * 4;
    std::vector<unsigned char> pixels(stride * coverHeight, 0);
    uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    const int rows =
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, height, planes, strides);
    scaler.reset();
    if (rows != coverHeight)
        return false;

    const int left = (coverWidth - kCoverWidth) / 2;
    const int top = (coverHeight - kCoverHeight) / 2;
    const unsigned char* origin = pixels.data() + top * stride + left * 4;
    return writeJpeg(output, origin, kCoverWidth, kCoverHeight, stride, kJpegQuality);
}

} // namespace

bool extract(Input& input, double seconds, const char* output) {
    const int index = av_find_best_stream(input.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return false;
    AVStream* stream = input.format->streams[index];
    // Embedded cover art is not a frame of the video.
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
        return false;
    if (!openDecoder(input, stream))
        return false;

    std::int64_t target = av_rescale_q(static_cast<std::int64_t>(seconds * 1'000'000),
                                       AVRational{1, 1'000'000}, stream->time_base);
    if (stream->start_time != AV_NOPTS_VALUE)
        target += stream->start_time;
    // At 0 the decoder simply starts from the beginning of the file.
    if (seconds > 0 && av_seek_frame(input.format, index, target, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(input.codec);

    for (int round = 0; round < kMaxRounds; ++round) {
        if (input.expired())
            return false;
        // A failed read, the budget's interrupt included, counts as the end of
        // the input: drain the decoder once and take what it still holds.
        const bool ended = av_read_frame(input.format, input.packet) < 0;
        if (ended) {
            avcodec_send_packet(input.codec, nullptr);
        } else if (input.packet->stream_index == index) {
            // A frame shown before the target is never the answer, and one that
            // no other frame refers to is not needed to decode the answer:
            // such frames are skipped. Everything else decodes as before, so
            // the frame written is the same.
            const std::int64_t shown = input.packet->pts;
            input.codec->skip_frame =
                shown != AV_NOPTS_VALUE && shown < target ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            avcodec_send_packet(input.codec, input.packet);
        }
        av_packet_unref(input.packet);

        while (!input.expired() && avcodec_receive_frame(input.codec, input.frame) == 0) {
            const std::int64_t stamp = input.frame->best_effort_timestamp;
            if (stamp != AV_NOPTS_VALUE && stamp < target) {
                av_frame_unref(input.frame);
                continue;
            }
            return writeCover(input, stream, input.frame, output);
        }
        if (ended)
            return false;
    }
    return false;
}

} // namespace glimmet
