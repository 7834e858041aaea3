#pragma once

#include <cstddef>
#include <vector>

// A photograph as the tracing help reads it: 8-bit samples, rows top row first and tightly
// packed, one (grey), three (RGB) or four (RGBA, alpha unread) samples a pixel. It points at
// pixels it does not own.
struct PhotoView {
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    int channels = 3;

    bool valid() const {
        return pixels != nullptr && width > 0 && height > 0 && channels >= 1 && channels <= 4;
    }
    // The brightness of pixel (column, row), 0 to 255: Rec. 601 luma for colour pixels. The
    // position is clamped to the image, so a neighbourhood reaching over the edge repeats it.
    float luma(int column, int row) const {
        column = column < 0 ? 0 : (column >= width ? width - 1 : column);
        row = row < 0 ? 0 : (row >= height ? height - 1 : row);
        const unsigned char* p =
            pixels + (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(column)) *
                         static_cast<std::size_t>(channels);
        if (channels < 3)
            return static_cast<float>(p[0]);
        return 0.299f * static_cast<float>(p[0]) + 0.587f * static_cast<float>(p[1]) +
               0.114f * static_cast<float>(p[2]);
    }
};

// A grey photograph that owns its pixels (one sample a pixel, top row first).
struct GreyPhoto {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> grey;

    PhotoView view() const { return {grey.data(), width, height, 1}; }
};

// The photograph's brightness as it lies under a drawing of width x height pixels, which it
// fills (stretched in either direction as the background is): each output pixel is the mean
// brightness of the part of the photograph it covers (a box filter with fractional edges), or
// the nearest photograph pixel where the output is the finer. An invalid photograph or a size
// below one pixel gives an empty result.
GreyPhoto greyPhotoAtSize(const PhotoView& photo, int width, int height);
