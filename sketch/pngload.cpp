#include "sketch/pngload.h"

#include <QOpenGLContext>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <png.h>
#include <qopengl.h>

namespace {

// Closes the file however decoding ends.
struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file)
            std::fclose(file);
    }
};

void onPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error)
        *error = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Asks libpng for 8-bit RGB whatever the file holds.
void requestRgb8(png_structp png, png_infop info) {
    const png_byte colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_bit_depth(png, info) == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // A tRNS chunk is never expanded, so stripping the alpha channel leaves plain RGB.
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

bool fileHasAlpha(png_structp png, png_infop info) {
    const png_byte colorType = png_get_color_type(png, info);
    return (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
}

// Reads the header and sets up the conversion to 8-bit RGB. libpng reports errors by a jump
// back to the setjmp here, so this function holds no objects of its own.
bool readHeader(png_structp png, png_infop info, std::FILE* file, PngImage& out, std::string& error,
                unsigned int maxSide) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    out.info.Width = width;
    out.info.Height = height;
    out.info.Depth = png_get_bit_depth(png, info);
    out.info.Alpha = fileHasAlpha(png, info) ? 1u : 0u;
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
        error = "image too large";
        return false;
    }
    requestRgb8(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3) {
        error = "unexpected pixel layout";
        return false;
    }
    return true;
}

// Reads every pixel into the rows prepared by the caller; false on corrupt or truncated data.
bool readPixels(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

bool decodeOpenFile(std::FILE* file, PngImage& out, std::string& error, unsigned int maxSide) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, onPngError, onPngWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    std::vector<png_bytep> rows;
    if (info && readHeader(png, info, file, out, error, maxSide)) {
        // The header's size is only a claim: a tiny file may ask for gigabytes.
        const size_t rowBytes = static_cast<size_t>(out.info.Width) * 3;
        try {
            out.rgb.resize(rowBytes * out.info.Height);
            rows.resize(out.info.Height);
            for (size_t r = 0; r < rows.size(); ++r)
                rows[r] = out.rgb.data() + rowBytes * r;
            ok = readPixels(png, rows.data());
        } catch (const std::bad_alloc&) {
            error = "not enough memory for the image";
        }
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

} // namespace

bool pngDecode(const std::string& name, PngImage& image, std::string& error, unsigned int maxSide) {
    FileCloser file{std::fopen(name.c_str(), "rb")};
    if (!file.file) {
        error = "cannot open the file";
        return false;
    }
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof signature, file.file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = "not a PNG file";
        return false;
    }
    std::rewind(file.file);
    PngImage decoded;
    if (!decodeOpenFile(file.file, decoded, error, maxSide))
        return false;
    image = std::move(decoded);
    return true;
}

void pngUpload(const PngImage& image) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(image.info.Width),
                 static_cast<GLsizei>(image.info.Height), 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.rgb.data());
}

bool pngLoad(const char* name, int mipmap, int trans, pngInfo* info) {
    if (!name || mipmap != 0 || trans != -1 || !QOpenGLContext::currentContext())
        return false;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    PngImage image;
    std::string error;
    if (maxSize <= 0 || !pngDecode(name, image, error, static_cast<unsigned int>(maxSize)))
        return false;
    pngUpload(image);
    if (info)
        *info = image.info;
    return true;
}
