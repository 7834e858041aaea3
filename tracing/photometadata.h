#pragma once

#include <string>

// What a photograph's Exif metadata tells about the camera that took it, as far as it has it:
// enough to set up the perspective camera the photograph's skylines were seen from.
struct PhotoMetadata {
    // The lens's focal length as on 35 mm film (36 x 24 mm): FocalLengthIn35mmFilm, or the
    // focal length times the crop factor of the sensor (its diagonal from the focal plane
    // resolution and the image's pixel dimensions); 0 when the photograph does not say.
    double focal35 = 0.0;
    // The image's size in pixels as the metadata gives it (PixelXDimension and
    // PixelYDimension); 0 when it does not.
    double width = 0.0;
    double height = 0.0;
    // The GPS altitude in metres above sea level (negative below it).
    bool hasAltitude = false;
    double altitude = 0.0;

    bool hasFocalLength() const { return focal35 > 0; }
    bool any() const { return hasFocalLength() || hasAltitude; }
};

// Reads the Exif metadata of a JPEG (its APP1 segment) or a PNG (its eXIf chunk), with
// libexif. False with a reason (a phrase) when the file cannot be read or holds no Exif data;
// true with whatever of the above the data holds (possibly none).
bool readPhotoMetadata(const std::string& file, PhotoMetadata& metadata, std::string& reason);
