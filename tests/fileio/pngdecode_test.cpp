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

} // namespace
