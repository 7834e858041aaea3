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

// A PNG file decoded into memory: 8-bit RGB, rows tightly packed, top row first. info
// describes the file; width and height the pixels held, which are fewer when the image was
// reduced on loading.
struct PngImage {
    pngInfo info{0, 0, 0, 0};
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<unsigned char> rgb;

    bool reduced() const { return width != info.Width || height != info.Height; }
};

// The largest size a decoded image may have: an image larger in either direction is averaged
// down to fit, keeping its aspect ratio. A zero side means no limit in that direction.
struct PngFit {
    unsigned int width = 0;
    unsigned int height = 0;
};

// The size an image of width x height pixels gets when it must fit into fit: the same when it
// fits already; otherwise scaled by one factor, each side rounded to whole pixels and at least
// one pixel.
void pngFittedSize(unsigned int width, unsigned int height, PngFit fit, unsigned int& fittedWidth,
                   unsigned int& fittedHeight);

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

// Decodes like pngDecode, but an image larger than fit comes out reduced to pngFittedSize:
// each pixel is the average of the part of the image it covers (a box filter with fractional
// edges, so that the picture keeps its place to a fraction of a pixel). The file is read once,
// row by row (pass by pass when interlaced), straight into the reduced size: memory grows
// with the reduced image, not with the file's. An image that fits comes out as pngDecode
// gives it.
bool pngDecodeFitting(const std::string& name, PngFit fit, PngImage& image, std::string& error,
                      unsigned int maxSide = 16384, ImageFailure* failure = nullptr);

// The same for a PNG file held in memory.
bool pngDecodeBytesFitting(const unsigned char* data, std::size_t size, PngFit fit, PngImage& image,
                           std::string& error, unsigned int maxSide = 16384,
                           ImageFailure* failure = nullptr);
