#pragma once

#include <string>
#include <vector>

// Test pictures for the background-image benchmark, made here rather than fetched: a
// photograph-like landscape (smooth sky and slopes, a ridge line, fine grain as a camera
// gives it) and plain noise, as 8-bit RGB rows, top row first.
std::vector<unsigned char> photoLikePixels(unsigned width, unsigned height);
std::vector<unsigned char> noisePixels(unsigned width, unsigned height);

// The pixels as a PNG file held in memory, with libpng's default filters and compression,
// interlaced (Adam7) when asked.
std::vector<unsigned char> encodePng(const std::vector<unsigned char>& rgb, unsigned width,
                                     unsigned height, bool interlaced = false);

// A 1-bit grey PNG of side x side pixels that compresses to a few tens of kilobytes: black
// and white halves with a checkerboard strip.
std::vector<unsigned char> oneBitPng(unsigned side);

// Writes bytes to name; false when it cannot.
bool writeBytes(const std::string& name, const std::vector<unsigned char>& bytes);
