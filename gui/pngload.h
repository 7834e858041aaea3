#pragma once

#include "fileio/pngdecode.h"

// Defines the image of the currently bound 2D texture from a decoded image: no mipmaps, no
// alpha, top row as texture row 0. Needs the texture's GL context current.
void pngUpload(const PngImage& image);

// Decodes name and, only when that succeeded and the image fits GL_MAX_TEXTURE_SIZE, defines
// the bound texture's image from it. mipmap must be 0 and trans -1 (solid): the only modes
// the views use. Fills info on success; on failure the texture is left as it was and failure
// (when given) says why.
bool pngLoad(const char* name, int mipmap, int trans, pngInfo* info,
             ImageFailure* failure = nullptr);
