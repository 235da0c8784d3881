#include "frame-extractor/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace glimmet {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

// libjpeg's own handler would end the process; come back to writeJpeg instead.
[[noreturn]] void failed(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void silent(j_common_ptr) {}

// Only plain C objects live in this frame, so leaving it by longjmp is sound.
bool encode(const unsigned char* pixels, int width, int height, std::size_t stride, int quality,
            unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failed;
    errors.base.output_message = silent;
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool writeJpeg(const char* path, const unsigned char* pixels, int width, int height,
               std::size_t stride, int quality) {
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool ok = encode(pixels, width, height, stride, quality, &buffer, &size);
    if (ok) {
        std::FILE* file = std::fopen(path, "wb");
        ok = file != nullptr;
        if (file) {
            ok = std::fwrite(buffer, 1, size, file) == size;
            ok = std::fclose(file) == 0 && ok;
        }
    }
    std::free(buffer);
    return ok;
}

} // namespace glimmet
