#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sketch/failurereasons.h"

// What a PNG load reports about the image: size in pixels, bits per channel in the file and
// whether the file carried transparency (1) or not (0).
struct pngInfo {
    unsigned int Width;
    unsigned int Height;
    unsigned int Depth;
    unsigned int Alpha;
};

// A PNG file decoded into memory: 8-bit RGB, rows tightly packed, top row first.
struct PngImage {
    pngInfo info{0, 0, 0, 0};
    std::vector<unsigned char> rgb;
};

// Decodes the PNG file name completely into image (palette, grey and 16-bit images become
// 8-bit RGB; transparency is dropped). Images wider or taller than maxSide pixels are refused.
// A PNG header may claim any size, so the claim is checked before anything large exists: an
// image that its file is too small to hold is refused outright, and a large one is read
// through once before its pixels get memory, so that a file that breaks off never costs more
// than a few megabytes beyond the image it really holds. Ancillary chunks other than tRNS are
// skipped unread. On failure returns false, leaves image untouched and puts the reason in
// error, and what kind of problem it was in failure (when given). Needs no GL context.
bool pngDecode(const std::string& name, PngImage& image, std::string& error,
               unsigned int maxSide = 16384, ImageFailure* failure = nullptr);

// The same for a PNG file held in memory.
bool pngDecodeBytes(const unsigned char* data, std::size_t size, PngImage& image,
                    std::string& error, unsigned int maxSide = 16384,
                    ImageFailure* failure = nullptr);
