// Reading a photograph's camera from its Exif metadata, on files written here: a JPEG stream
// whose APP1 segment libexif itself wrote, and a PNG carrying the same data in an eXIf chunk.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <libexif/exif-data.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "sketch/sketchcamera.h"
#include "tracing/photometadata.h"

namespace {

void addEntry(ExifData* data, ExifIfd ifd, int tag, ExifFormat format,
              const std::vector<unsigned char>& value) {
    ExifEntry* entry = exif_entry_new();
    entry->tag = static_cast<ExifTag>(tag);
    entry->format = format;
    entry->components = 1;
    entry->size = static_cast<unsigned>(value.size());
    entry->data = static_cast<unsigned char*>(std::malloc(value.size()));
    std::copy(value.begin(), value.end(), entry->data);
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_unref(entry);
}

std::vector<unsigned char> rational(ExifByteOrder order, unsigned numerator, unsigned denominator) {
    std::vector<unsigned char> bytes(8);
    exif_set_rational(bytes.data(), order, {numerator, denominator});
    return bytes;
}

std::vector<unsigned char> shortValue(ExifByteOrder order, unsigned short value) {
    std::vector<unsigned char> bytes(2);
    exif_set_short(bytes.data(), order, value);
    return bytes;
}

// Exif data (with its "Exif\0\0" header) of a 6000 x 4000 photograph, taken 1234.5 m up; with
// focal35 the 35 mm equivalent, else a 24 mm lens on a 23.5 x 15.6 mm sensor.
std::vector<unsigned char> exifBytes(unsigned short focal35) {
    ExifData* data = exif_data_new();
    const ExifByteOrder order = EXIF_BYTE_ORDER_INTEL;
    exif_data_set_byte_order(data, order);
    addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_SHORT,
             shortValue(order, 6000));
    addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, EXIF_FORMAT_SHORT,
             shortValue(order, 4000));
    if (focal35 > 0) {
        addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM, EXIF_FORMAT_SHORT,
                 shortValue(order, focal35));
    } else {
        addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, EXIF_FORMAT_RATIONAL,
                 rational(order, 24, 1));
        // Pixels per centimetre: 6000 over 2.35 cm, 4000 over 1.56 cm.
        addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_X_RESOLUTION, EXIF_FORMAT_RATIONAL,
                 rational(order, 600000, 235));
        addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_Y_RESOLUTION, EXIF_FORMAT_RATIONAL,
                 rational(order, 400000, 156));
        addEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT, EXIF_FORMAT_SHORT,
                 shortValue(order, 3));
    }
    addEntry(data, EXIF_IFD_GPS, EXIF_TAG_GPS_ALTITUDE_REF, EXIF_FORMAT_BYTE, {0});
    addEntry(data, EXIF_IFD_GPS, EXIF_TAG_GPS_ALTITUDE, EXIF_FORMAT_RATIONAL,
             rational(order, 12345, 10));
    unsigned char* saved = nullptr;
    unsigned size = 0;
    exif_data_save_data(data, &saved, &size);
    std::vector<unsigned char> bytes(saved, saved + size);
    std::free(saved);
    exif_data_unref(data);
    return bytes;
}

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
