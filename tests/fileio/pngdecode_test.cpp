#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <png.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "fileio/pngdecode.h"

namespace {

using Bytes = std::vector<unsigned char>;

void putBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

// A chunk whose length field says claimedLength, whatever data holds.
void putChunk(Bytes& out, const char* type, const Bytes& data, std::uint32_t claimedLength) {
    putBigEndian(out, claimedLength);
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    putChunk(out, type, data, static_cast<std::uint32_t>(data.size()));
}

// The signature and a header for an 8-bit RGB image of the claimed size.
Bytes pngStart(std::uint32_t width, std::uint32_t height) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    putChunk(png, "IHDR", header);
    return png;
}

Bytes compressed(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
    out.resize(size);
    return out;
}

// How much the peak memory of a child process grows while it runs action, in bytes.
long peakGrowth(const std::function<void()>& action) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        action();
        getrusage(RUSAGE_SELF, &after);
        const long growth = (after.ru_maxrss - before.ru_maxrss) * 1024;
        _exit(write(pipeEnds[1], &growth, sizeof growth) == sizeof growth ? 0 : 1);
    }
    long growth = -1;
    close(pipeEnds[1]);
    if (read(pipeEnds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return growth;
}

// Files under 1 MB whose headers claim far more than they hold: each must be refused at the
// cost of a few megabytes, not of what it claims.
TEST(PngDecode, FilesClaimingMoreThanTheyHoldAreRefusedCheaply) {
    Bytes text = pngStart(1, 1); // 44 bytes: a text chunk claiming 2 GB
    putBigEndian(text, 0x7fffffff);
    text.insert(text.end(), {'t', 'E', 'X', 't', 'a', 'b', 'c'});

    Bytes empty = pngStart(16384, 16384); // 16384 x 16384 with no pixel data
    putChunk(empty, "IDAT", compressed({}));
    putChunk(empty, "IEND", {});

    // The same claim, padded past what the compression ratio bound could refuse, holding
    // only ten rows.
    Bytes tenRows = pngStart(16384, 16384);
    putChunk(tenRows, "abCd", Bytes(900000, 0));
    Bytes rows;
    for (int r = 0; r < 10; ++r) {
        rows.push_back(0);
        rows.insert(rows.end(), 16384 * 3, 0x80);
    }
    putChunk(tenRows, "IDAT", compressed(rows));
    putChunk(tenRows, "IEND", {});

    for (const Bytes* file : {&text, &empty, &tenRows}) {
        ASSERT_LT(file->size(), 1000000u);
        PngImage image;
        std::string error;
        EXPECT_FALSE(pngDecodeBytes(file->data(), file->size(), image, error)) << file->size();
        EXPECT_FALSE(error.empty());
        const long growth = peakGrowth([file] {
            PngImage decoded;
            std::string reason;
            pngDecodeBytes(file->data(), file->size(), decoded, reason);
        });
        EXPECT_GE(growth, 0);
        EXPECT_LT(growth, 64L << 20) << "a file of " << file->size() << " bytes";
    }
}

// A PNG written by libpng itself: a 4096 x 3072 gradient, beyond the size decoded at once.
Bytes gradientPng(int interlace) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    const png_uint_32 width = 4096, height = 3072;
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    Bytes all(static_cast<std::size_t>(width) * height * 3);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 r = 0; r < height; ++r) {
        rows[r] = all.data() + static_cast<std::size_t>(r) * width * 3;
        for (png_uint_32 c = 0; c < width; ++c) {
            rows[r][c * 3] = static_cast<unsigned char>(c);
            rows[r][c * 3 + 1] = static_cast<unsigned char>(r);
            rows[r][c * 3 + 2] = static_cast<unsigned char>(c / 16);
        }
    }
    png_write_image(png, rows.data()); // every pass of an interlaced image
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(PngDecode, LargeImagesAreReadThroughAndThenDecodedWhole) {
    for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
        const Bytes file = gradientPng(interlace);
        PngImage image;
        std::string error;
        ASSERT_TRUE(pngDecodeBytes(file.data(), file.size(), image, error)) << error;
        ASSERT_EQ(image.info.Width, 4096u);
        ASSERT_EQ(image.info.Height, 3072u);
        ASSERT_EQ(image.rgb.size(), 4096u * 3072u * 3u);
        for (std::size_t r : {0u, 1u, 1234u, 3071u})
            for (std::size_t c : {0u, 7u, 2049u, 4095u}) {
                const unsigned char* p = &image.rgb[(r * 4096 + c) * 3];
                EXPECT_EQ(p[0], c % 256) << r << "," << c << " interlace " << interlace;
                EXPECT_EQ(p[1], r % 256);
                EXPECT_EQ(p[2], (c / 16) % 256);
            }
        // Cut short, the same file is refused.
        EXPECT_FALSE(pngDecodeBytes(file.data(), file.size() / 2, image, error));
        EXPECT_EQ(image.info.Width, 4096u) << "a refusal leaves the image as it was";
    }
}

// A PNG of any colour type and a depth of up to 8 bits written by libpng; samples holds one
// byte per sample (for palette images the index), scaled down to the bit depth.
Bytes encodedPng(png_uint_32 width, png_uint_32 height, int colorType, int depth, int interlace,
                 const Bytes& samples) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, depth, colorType, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = {static_cast<png_byte>(i), static_cast<png_byte>(i),
                                                static_cast<png_byte>(255 - i)};
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette.data(), 1 << depth);
    png_write_info(png, info);
    if (depth < 8)
        png_set_packing(png);
    Bytes all(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        all[i] = static_cast<unsigned char>(samples[i] >> (8 - depth));
    std::vector<png_bytep> rows(height);
    for (png_uint_32 r = 0; r < height; ++r)
        rows[r] = all.data() + r * (samples.size() / height);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The reduced image worked out directly: each destination pixel is the mean of the source
// area it covers, source pixels weighted by their overlap with it.
Bytes boxAverage(const PngImage& full, unsigned width, unsigned height) {
    const double sx = double(full.width) / width, sy = double(full.height) / height;
    Bytes out(std::size_t{width} * height * 3);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            for (unsigned c = 0; c < 3; ++c) {
                double sum = 0.0;
                for (unsigned v = unsigned(y * sy); v < full.height && v < (y + 1) * sy; ++v)
                    for (unsigned u = unsigned(x * sx); u < full.width && u < (x + 1) * sx; ++u) {
                        const double across =
                            std::min(u + 1.0, (x + 1) * sx) - std::max(u * 1.0, x * sx);
                        const double down =
                            std::min(v + 1.0, (y + 1) * sy) - std::max(v * 1.0, y * sy);
                        sum += across * down * full.rgb[(std::size_t{v} * full.width + u) * 3 + c];
                    }
                out[(std::size_t{y} * width + x) * 3 + c] =
                    static_cast<unsigned char>(std::lround(sum / (sx * sy)));
            }
    return out;
}

TEST(PngFit, ReducedSizesKeepTheAspectRatioWithinTheFit) {
    struct Case {
        unsigned width, height;
        PngFit fit;
        unsigned fittedWidth, fittedHeight;
    } cases[] = {
        {4000, 3000, {1280, 1024}, 1280, 960}, // a photograph on a 1280 x 1024 screen
        {3000, 4000, {1280, 1024}, 768, 1024}, // upright
        {16384, 16384, {1920, 1080}, 1080, 1080},
        {16384, 1, {1280, 1024}, 1280, 1}, // a side never rounds to nothing
        {1, 16384, {1280, 1024}, 1, 1024},
        {800, 600, {1280, 1024}, 800, 600},     // fits: unchanged
        {1280, 1024, {1280, 1024}, 1280, 1024}, // exactly
        {5000, 10, {0, 1024}, 5000, 10},        // no limit across
    };
    for (const Case& c : cases) {
        unsigned w = 0, h = 0;
        pngFittedSize(c.width, c.height, c.fit, w, h);
        EXPECT_EQ(w, c.fittedWidth) << c.width << " x " << c.height;
        EXPECT_EQ(h, c.fittedHeight) << c.width << " x " << c.height;
    }
}

// Every colour type, depth and interlacing, at sizes whose ratios to the fit are not whole:
// the image read straight into the reduced size is the box average of the whole image.
TEST(PngFit, ReducedWhileReadingEqualsTheAverageOfTheWholeImage) {
    struct Kind {
        int colorType, depth;
        unsigned samplesPerPixel;
    } kinds[] = {{PNG_COLOR_TYPE_RGB, 8, 3},
                 {PNG_COLOR_TYPE_GRAY, 1, 1},
                 {PNG_COLOR_TYPE_GRAY, 8, 1},
                 {PNG_COLOR_TYPE_PALETTE, 4, 1},
                 {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4}};
    struct Size {
        png_uint_32 width, height;
        PngFit fit;
    } sizes[] = {
        {37, 23, {10, 10}}, {9, 5, {4, 4}}, {64, 3, {7, 7}}, {5, 41, {3, 6}}, {13, 7, {10, 10}}};
    for (const Kind& kind : kinds)
        for (const Size& size : sizes)
            for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
                Bytes samples(std::size_t{size.width} * size.height * kind.samplesPerPixel);
                std::uint32_t state = 7;
                for (unsigned char& s : samples) {
                    state = state * 1103515245u + 12345u;
                    s = static_cast<unsigned char>(state >> 16);
                }
                const Bytes file = encodedPng(size.width, size.height, kind.colorType, kind.depth,
                                              interlace, samples);
                const std::string what =
                    "type " + std::to_string(kind.colorType) + " depth " +
                    std::to_string(kind.depth) + " size " + std::to_string(size.width) + "x" +
                    std::to_string(size.height) + " interlace " + std::to_string(interlace);
                PngImage full, reduced;
                std::string error;
                ASSERT_TRUE(pngDecodeBytes(file.data(), file.size(), full, error)) << what;
                ASSERT_TRUE(
                    pngDecodeBytesFitting(file.data(), file.size(), size.fit, reduced, error))
                    << what << ": " << error;
                unsigned w = 0, h = 0;
                pngFittedSize(size.width, size.height, size.fit, w, h);
                ASSERT_EQ(reduced.width, w) << what;
                ASSERT_EQ(reduced.height, h) << what;
                EXPECT_TRUE(reduced.reduced());
                EXPECT_EQ(reduced.info.Width, size.width) << "info describes the file";
                const Bytes expected = boxAverage(full, w, h);
                ASSERT_EQ(reduced.rgb.size(), expected.size()) << what;
                int worst = 0;
                for (std::size_t i = 0; i < expected.size(); ++i)
                    worst = std::max(worst, std::abs(int(reduced.rgb[i]) - int(expected[i])));
                EXPECT_LE(worst, 1) << what;
            }
}

// Regression: a legal 1-bit 16384 x 16384 file of a few kilobytes made the window grow by
// gigabytes. Read into the screen's size it costs little more than that size.
TEST(PngFit, AHugeSmallFileCostsTheReducedSizeOnly) {
    const png_uint_32 side = 16384;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes file;
    png_set_write_fn(
        png, &file,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, side, side, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row(side / 8);
    for (png_uint_32 r = 0; r < side; ++r) {
        // Black left half, white right half, then a checkerboard in the bottom rows.
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = r < side - 64 ? (i < row.size() / 2 ? 0x00 : 0xff) : (r % 2 ? 0xaa : 0x55);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    ASSERT_LT(file.size(), 200000u);

    const PngFit screen{1280, 1024};
    PngImage image;
    std::string error;
    ASSERT_TRUE(pngDecodeBytesFitting(file.data(), file.size(), screen, image, error)) << error;
    ASSERT_EQ(image.width, 1024u);
    ASSERT_EQ(image.height, 1024u);
    const auto at = [&](unsigned x, unsigned y) { return image.rgb[(y * 1024 + x) * 3]; };
    EXPECT_EQ(at(0, 0), 0);
    EXPECT_EQ(at(511, 500), 0) << "the black half ends where it did";
    EXPECT_EQ(at(512, 500), 255);
    EXPECT_NEAR(at(700, 1023), 128, 1) << "the checkerboard averages to grey";

    const long growth = peakGrowth([&] {
        PngImage decoded;
        std::string reason;
        pngDecodeBytesFitting(file.data(), file.size(), screen, decoded, reason);
    });
    EXPECT_GE(growth, 0);
    EXPECT_LT(growth, 48L << 20);
    // Cut short, it is refused and the image stays as it was.
    EXPECT_FALSE(pngDecodeBytesFitting(file.data(), file.size() / 2, screen, image, error));
    EXPECT_EQ(image.width, 1024u);
}

} // namespace
