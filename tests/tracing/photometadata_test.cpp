// Reading a photograph's camera from its Exif metadata, on files written here: a JPEG stream
// whose APP1 segment libexif itself wrote, and a PNG carrying the same data in an eXIf chunk.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "sketch/sketchcamera.h"
#include "tests/tracing/exiftesting.h"
#include "tracing/photometadata.h"

namespace {

std::string written(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = "/tmp/mondrel-exif-" + std::to_string(getpid()) + "-" + name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path;
}

// A JPEG stream: start of image, the APP1 segment, end of image.
std::vector<unsigned char> jpegWith(const std::vector<unsigned char>& exif) {
    std::vector<unsigned char> jpeg = {0xff, 0xd8, 0xff, 0xe1};
    const std::size_t length = exif.size() + 2;
    jpeg.push_back(static_cast<unsigned char>(length >> 8));
    jpeg.push_back(static_cast<unsigned char>(length & 0xff));
    jpeg.insert(jpeg.end(), exif.begin(), exif.end());
    jpeg.push_back(0xff);
    jpeg.push_back(0xd9);
    return jpeg;
}

void appendChunk(std::vector<unsigned char>& png, const char* type,
                 const std::vector<unsigned char>& data) {
    const std::size_t n = data.size();
    for (int shift : {24, 16, 8, 0})
        png.push_back(static_cast<unsigned char>((n >> shift) & 0xff));
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    png.insert(png.end(), 4, 0); // the reader does not check the CRC
}

} // namespace

TEST(PhotoMetadata, FocalLengthAndAltitudeFromAJpegAndAPng) {
    PhotoMetadata metadata;
    std::string reason;
    const std::string jpeg = written("35.jpg", jpegWith(exifBytes(36)));
    ASSERT_TRUE(readPhotoMetadata(jpeg, metadata, reason)) << reason;
    EXPECT_EQ(metadata.focal35, 36.0);
    EXPECT_EQ(metadata.width, 6000.0);
    EXPECT_TRUE(metadata.hasAltitude);
    EXPECT_DOUBLE_EQ(metadata.altitude, 1234.5);
    EXPECT_NEAR(fieldOfViewFor35mm(metadata.focal35, metadata.width, metadata.height), 53.130102,
                1e-6);

    // The sensor's crop factor from the focal plane resolution: 43.27 / 28.18 mm diagonals.
    const std::string sensor = written("sensor.jpg", jpegWith(exifBytes(0)));
    ASSERT_TRUE(readPhotoMetadata(sensor, metadata, reason)) << reason;
    EXPECT_NEAR(metadata.focal35, 24.0 * 43.2666 / 28.2063, 0.01);

    // The same data in a PNG's eXIf chunk; the TIFF stream goes without the Exif header.
    const std::vector<unsigned char> exif = exifBytes(50);
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    appendChunk(png, "IHDR", std::vector<unsigned char>(13, 0));
    appendChunk(png, "eXIf", std::vector<unsigned char>(exif.begin() + 6, exif.end()));
    appendChunk(png, "IEND", {});
    ASSERT_TRUE(readPhotoMetadata(written("exif.png", png), metadata, reason)) << reason;
    EXPECT_EQ(metadata.focal35, 50.0);
    EXPECT_DOUBLE_EQ(metadata.altitude, 1234.5);

    std::vector<unsigned char> plain = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    appendChunk(plain, "IEND", {});
    EXPECT_FALSE(readPhotoMetadata(written("plain.png", plain), metadata, reason));
    EXPECT_FALSE(metadata.any());
    EXPECT_FALSE(readPhotoMetadata("/nonexistent/photo.jpg", metadata, reason));
    EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;
}
