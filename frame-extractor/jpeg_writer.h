#pragma once

// Encodes 8-bit RGBX pixels (the fourth byte ignored) as a baseline sRGB JPEG.

#include <cstddef>

namespace glimmet {

// Writes `width` x `height` pixels whose rows are `stride` bytes apart to the
// file at `path`, replacing it. Quality is on libjpeg's 1...100 scale.
bool writeJpeg(const char* path, const unsigned char* pixels, int width, int height,
               std::size_t stride, int quality);

} // namespace glimmet
