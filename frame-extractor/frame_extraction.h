#pragma once

// Finds the first frame at or after a time in an opened input and writes it,
// scaled to cover 512 x 288 and cropped to its centre, as a JPEG file.

#include "frame-extractor/input.h"

namespace glimmet {

inline constexpr int kCoverWidth = 512;
inline constexpr int kCoverHeight = 288;

// False when any step fails: no usable video stream, decoding, seeking, no
// frame before the budget or packet limit ran out, a relative output path, a
// picture size or aspect out of range, scaling or writing.
bool extract(Input& input, double seconds, const char* output);

} // namespace glimmet
