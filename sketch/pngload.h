#pragma once

#include <string>
#include <vector>

// What a PNG load reports about the image: size in pixels, bits per channel in the file and
// whether the file carried transparency (1) or not (0).
struct pngInfo {
    unsigned int Width;
    unsigned int Height;
    unsigned int Depth;
    unsigned int Alpha;
};

// A PNG file decoded into memory: 8-bit RGB, rows tightly packed, top row first.
struct PngImage {
    pngInfo info{0, 0, 0, 0};
    std::vector<unsigned char> rgb;
};

// Decodes the PNG file name completely into image (palette, grey and 16-bit images become
// 8-bit RGB; transparency is dropped). Images wider or taller than maxSide pixels are refused
// before anything large is allocated. On failure returns false, leaves image untouched and
// puts the reason in error. Needs no GL context.
bool pngDecode(const std::string& name, PngImage& image, std::string& error,
               unsigned int maxSide = 16384);

// Defines the image of the currently bound 2D texture from a decoded image: no mipmaps, no
// alpha, top row as texture row 0. Needs the texture's GL context current.
void pngUpload(const PngImage& image);

// Decodes name and, only when that succeeded and the image fits GL_MAX_TEXTURE_SIZE, defines
// the bound texture's image from it. mipmap must be 0 and trans -1 (solid): the only modes
// the views use. Fills info on success; on failure the texture is left as it was.
bool pngLoad(const char* name, int mipmap, int trans, pngInfo* info);
