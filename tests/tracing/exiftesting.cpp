#include "tests/tracing/exiftesting.h"

#include <algorithm>
#include <cstdlib>
#include <libexif/exif-data.h>

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

} // namespace

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
