#include "tracing/photometadata.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <libexif/exif-data.h>
#include <memory>
#include <vector>

namespace {

using ExifHandle = std::unique_ptr<ExifData, decltype(&exif_data_unref)>;

// The largest eXIf chunk read: Exif data in a JPEG segment is at most 64 KiB, and PNG
// writers copy it over.
constexpr std::uint32_t largestExifChunk = 1u << 20;

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// A PNG's eXIf chunk (the Exif data as a TIFF stream), with the "Exif\0\0" header libexif
// looks for put in front; empty when the file is no PNG or has none.
std::vector<unsigned char> pngExifChunk(std::FILE* in) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char head[8];
    if (std::fread(head, 1, 8, in) != 8 || std::memcmp(head, signature, 8) != 0)
        return {};
    while (std::fread(head, 1, 8, in) == 8) {
        const std::uint32_t length = bigEndian32(head);
        if (std::memcmp(head + 4, "eXIf", 4) == 0) {
            if (length > largestExifChunk)
                return {};
            std::vector<unsigned char> data = {'E', 'x', 'i', 'f', 0, 0};
            data.resize(6 + length);
            if (std::fread(data.data() + 6, 1, length, in) != length)
                return {};
            return data;
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0 || length > 0x7fffffffu ||
            std::fseek(in, static_cast<long>(length) + 4, SEEK_CUR) != 0)
            return {};
    }
    return {};
}

ExifEntry* entryOf(ExifData* data, ExifIfd ifd, int tag) {
    return exif_content_get_entry(data->ifd[ifd], static_cast<ExifTag>(tag));
}

// The first value of an entry as a number: SHORT, LONG or (S)RATIONAL; NaN otherwise.
double numberOf(ExifData* data, ExifEntry* entry) {
    if (!entry || entry->components < 1 || !entry->data)
        return NAN;
    const ExifByteOrder order = exif_data_get_byte_order(data);
    const unsigned size = exif_format_get_size(entry->format);
    if (size == 0 || entry->size < size)
        return NAN;
    switch (entry->format) {
    case EXIF_FORMAT_BYTE:
        return entry->data[0];
    case EXIF_FORMAT_SHORT:
        return exif_get_short(entry->data, order);
    case EXIF_FORMAT_LONG:
        return exif_get_long(entry->data, order);
    case EXIF_FORMAT_RATIONAL: {
        const ExifRational r = exif_get_rational(entry->data, order);
        return r.denominator == 0 ? NAN : static_cast<double>(r.numerator) / r.denominator;
    }
    case EXIF_FORMAT_SRATIONAL: {
        const ExifSRational r = exif_get_srational(entry->data, order);
        return r.denominator == 0 ? NAN : static_cast<double>(r.numerator) / r.denominator;
    }
    default:
        return NAN;
    }
}

bool positive(double value) {
    return std::isfinite(value) && value > 0;
}

void readCamera(ExifData* data, PhotoMetadata& metadata) {
    const double width = numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION));
    const double height = numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION));
    if (positive(width) && positive(height)) {
        metadata.width = width;
        metadata.height = height;
    }
    const double focal35 =
        numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM));
    if (positive(focal35)) {
        metadata.focal35 = focal35;
    } else {
        // The sensor's size from the focal plane's resolution: pixels per unit.
        const double focal = numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH));
        const double xResolution =
            numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_X_RESOLUTION));
        const double yResolution =
            numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_Y_RESOLUTION));
        const double unit =
            numberOf(data, entryOf(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT));
        // 2 inches (the default), 3 centimetres, 4 millimetres.
        const double millimetres = unit == 3 ? 10.0 : unit == 4 ? 1.0 : 25.4;
        if (positive(focal) && positive(xResolution) && positive(yResolution) &&
            metadata.width > 0) {
            const double sensorWidth = metadata.width / xResolution * millimetres;
            const double sensorHeight = metadata.height / yResolution * millimetres;
            metadata.focal35 =
                focal * std::hypot(36.0, 24.0) / std::hypot(sensorWidth, sensorHeight);
        }
    }
    const double altitude = numberOf(data, entryOf(data, EXIF_IFD_GPS, EXIF_TAG_GPS_ALTITUDE));
    if (std::isfinite(altitude)) {
        const double below = numberOf(data, entryOf(data, EXIF_IFD_GPS, EXIF_TAG_GPS_ALTITUDE_REF));
        metadata.hasAltitude = true;
        metadata.altitude = below == 1 ? -altitude : altitude;
    }
}

} // namespace

bool readPhotoMetadata(const std::string& file, PhotoMetadata& metadata, std::string& reason) {
    metadata = PhotoMetadata();
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) {
        reason = std::string("cannot open it: ") + std::strerror(errno);
        return false;
    }
    const std::vector<unsigned char> chunk = pngExifChunk(in);
    std::fclose(in);
    ExifHandle data(
        chunk.empty() ? exif_data_new_from_file(file.c_str())
                      : exif_data_new_from_data(chunk.data(), static_cast<unsigned>(chunk.size())),
        &exif_data_unref);
    if (!data) {
        reason = "it holds no Exif metadata";
        return false;
    }
    readCamera(data.get(), metadata);
    return true;
}
