#include "photoimage.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <png.h>

namespace {

// A small fixed-sequence generator, so that every run makes the same pictures.
struct Grain {
    std::uint32_t state = 12345u;
    int next() {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7fffu);
    }
};

unsigned char clamp8(double v) {
    return static_cast<unsigned char>(v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v);
}

} // namespace

std::vector<unsigned char> photoLikePixels(unsigned width, unsigned height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    Grain grain;
    const double w = width, h = height;
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const double u = x / w, v = y / h;
            // The ridge: a few overlapping waves, between 30 % and 60 % of the height.
            const double ridge = 0.45 + 0.08 * std::sin(u * 7.0) + 0.05 * std::sin(u * 23.0 + 1.0) +
                                 0.02 * std::sin(u * 61.0 + 2.0);
            const double noise = (grain.next() % 13) - 6;
            double r, g, b;
            if (v < ridge) { // sky: blue to pale towards the horizon
                const double t = v / ridge;
                r = 90 + 120 * t;
                g = 140 + 90 * t;
                b = 220 + 25 * t;
            } else { // slopes: shaded rock and grass, darker towards the foot
                const double t = (v - ridge) / (1.0 - ridge);
                const double shade = 0.5 + 0.5 * std::sin(u * 40.0 + t * 9.0);
                r = 110 - 60 * t + 30 * shade;
                g = 105 - 30 * t + 25 * shade;
                b = 95 - 55 * t + 15 * shade;
            }
            unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = clamp8(r + noise);
            p[1] = clamp8(g + noise);
            p[2] = clamp8(b + noise);
        }
    }
    return rgb;
}

std::vector<unsigned char> noisePixels(unsigned width, unsigned height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    Grain grain;
    for (unsigned char& c : rgb)
        c = static_cast<unsigned char>(grain.next() & 0xff);
    return rgb;
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

} // namespace

std::vector<unsigned char> encodePng(const std::vector<unsigned char>& rgb, unsigned width,
                                     unsigned height, bool interlaced) {
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgb.data() + static_cast<std::size_t>(y) * width * 3);
    png_write_image(png, rows.data()); // every pass of an interlaced image
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<unsigned char> oneBitPng(unsigned side) {
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, side, side, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row((side + 7) / 8);
    for (unsigned y = 0; y < side; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = y > side - side / 8 ? (y % 2 ? 0xaa : 0x55) : (i < row.size() / 2 ? 0 : 0xff);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool writeBytes(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
