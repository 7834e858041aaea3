#pragma once

#include <vector>

// Exif data (with its "Exif\0\0" header), written by libexif, of a 6000 x 4000 photograph
// taken 1234.5 m up: with focal35 > 0 that 35 mm equivalent, else a 24 mm lens on a
// 23.5 x 15.6 mm sensor (given by its focal plane resolution).
std::vector<unsigned char> exifBytes(unsigned short focal35);
