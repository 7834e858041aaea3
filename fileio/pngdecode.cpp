#include "fileio/pngdecode.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <png.h>
#include <sys/stat.h>

namespace {

// Deflate cannot expand its input more than 1032 times, so a file of n bytes holds at most
// 1032 n bytes of filtered rows.
constexpr unsigned long long maxInflateRatio = 1032;
// Images up to this size get their pixel memory at once; larger ones are read through first.
constexpr std::size_t eagerImageBytes = std::size_t{32} << 20;
// Bounds on what libpng keeps besides the pixels.
constexpr png_alloc_size_t maxChunkBytes = png_alloc_size_t{4} << 20;
constexpr png_uint_32 maxCachedChunks = 32;

// Where the compressed bytes come from: an open file or a block of memory. Rewound for the
// second reading of a large image.
struct Source {
    std::FILE* file = nullptr;
    const unsigned char* data = nullptr;
    std::size_t size = 0; // the file's size or the block's
    std::size_t position = 0;

    bool rewind() {
        position = 0;
        return !file || std::fseek(file, 0, SEEK_SET) == 0;
    }
};

void readFromSource(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (source->file) {
        if (std::fread(out, 1, length, source->file) != length)
            png_error(png, "Read Error");
        return;
    }
    if (length > source->size - source->position)
        png_error(png, "Read Error");
    std::memcpy(out, source->data + source->position, length);
    source->position += length;
}

void onPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error)
        *error = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// One reading of the file: libpng's structures with the limits set, freed however it ends.
struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;

    Reader(Source& source, std::string& error, unsigned int maxSide) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, onPngError, onPngWarning);
        if (!png)
            return;
        info = png_create_info_struct(png);
        png_set_read_fn(png, &source, readFromSource);
        png_set_user_limits(png, maxSide, maxSide);
        png_set_chunk_malloc_max(png, maxChunkBytes);
        png_set_chunk_cache_max(png, maxCachedChunks);
        // Text, profiles and the like are never used: skip them without reading them into
        // memory (a text chunk may claim gigabytes).
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    }
    ~Reader() {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    bool ready() const { return png && info; }
};

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

// Reads the header, checks the size it claims and sets up the conversion to 8-bit RGB. libpng
// reports errors by a jump back to the setjmp here, so this function holds no objects of its
// own.
bool readHeader(png_structp png, png_infop info, const Source& source, pngInfo& out,
                std::string& error, unsigned int maxSide) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    out.Width = width;
    out.Height = height;
    out.Depth = png_get_bit_depth(png, info);
    out.Alpha = fileHasAlpha(png, info) ? 1u : 0u;
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) {
        error = "image too large";
        return false;
    }
    // The rows as the file stores them, each with its filter byte, before any interlacing.
    const unsigned long long filteredBytes =
        static_cast<unsigned long long>(height) * (1 + png_get_rowbytes(png, info));
    if (filteredBytes > maxInflateRatio * source.size + 4096) {
        error = "the file is too small for the image size it claims";
        return false;
    }
    requestRgb8(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3) {
        error = "unexpected pixel layout";
        return false;
    }
    return true;
}

// Reads every pixel into rows; false on corrupt or truncated data.
bool readPixels(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// Decodes every row, every pass of an interlaced image, into the one row scratch.
void readAllRows(png_structp png, png_bytep scratch, png_uint_32 height) {
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 r = 0; r < height; ++r)
            png_read_row(png, scratch, nullptr);
    png_read_end(png, nullptr);
}

// Reads the whole file without keeping its pixels; false on corrupt or truncated data.
bool readThrough(png_structp png, png_bytep scratch, png_uint_32 height) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    readAllRows(png, scratch, height);
    return true;
}

enum class Reading { failed, done, readAgain };

// One reading of source into out. An image of up to eagerImageBytes (or any image when
// pixelsAnyway) is decoded at once; a larger one is only read through, and readAgain says
// that it is complete and may now have its memory.
// problem says why when it fails: memory, or else damage.
Reading decodeOnce(Source& source, PngImage& out, std::string& error, unsigned int maxSide,
                   bool pixelsAnyway, ImageProblem& problem) {
    problem = ImageProblem::damaged;
    Reader reader(source, error, maxSide);
    if (!reader.ready()) {
        error = "out of memory";
        problem = ImageProblem::tooLargeForMemory;
        return Reading::failed;
    }
    if (!readHeader(reader.png, reader.info, source, out.info, error, maxSide))
        return Reading::failed;
    const std::size_t rowBytes = static_cast<std::size_t>(out.info.Width) * 3;
    try {
        if (!pixelsAnyway && rowBytes * out.info.Height > eagerImageBytes) {
            std::vector<unsigned char> scratch(rowBytes);
            return readThrough(reader.png, scratch.data(), out.info.Height) ? Reading::readAgain
                                                                            : Reading::failed;
        }
        out.rgb.resize(rowBytes * out.info.Height);
        std::vector<png_bytep> rows(out.info.Height);
        for (std::size_t r = 0; r < rows.size(); ++r)
            rows[r] = out.rgb.data() + rowBytes * r;
        return readPixels(reader.png, rows.data()) ? Reading::done : Reading::failed;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the image";
        problem = ImageProblem::tooLargeForMemory;
        return Reading::failed;
    }
}

// The size the header claims, read straight from the IHDR chunk that must follow the
// signature, so that an image too large for the display can be named with its size even
// though libpng refuses it before telling it. False when the file is too short to say.
bool claimedSize(Source& source, png_uint_32& width, png_uint_32& height) {
    unsigned char header[24];
    bool read = source.size >= sizeof header;
    if (read && source.file)
        read =
            source.rewind() && std::fread(header, 1, sizeof header, source.file) == sizeof header;
    else if (read)
        std::memcpy(header, source.data, sizeof header);
    if (!read || std::memcmp(header + 12, "IHDR", 4) != 0)
        return false;
    width = png_get_uint_32(header + 16);
    height = png_get_uint_32(header + 20);
    return true;
}

bool decode(Source& source, PngImage& image, std::string& error, unsigned int maxSide,
            ImageFailure& why) {
    unsigned char signature[8];
    bool isPng = source.size >= sizeof signature;
    if (isPng && source.file)
        isPng = std::fread(signature, 1, sizeof signature, source.file) == sizeof signature;
    else if (isPng)
        std::memcpy(signature, source.data, sizeof signature);
    if (!isPng || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = "not a PNG file";
        why.problem = ImageProblem::notPng;
        return false;
    }
    png_uint_32 width = 0, height = 0;
    if (claimedSize(source, width, height) && (width > maxSide || height > maxSide)) {
        error = "image too large";
        why = {ImageProblem::largerThanTexture, 0, width, height, maxSide};
        return false;
    }
    why.problem = ImageProblem::damaged;
    PngImage decoded;
    Reading reading = Reading::failed;
    if (source.rewind())
        reading = decodeOnce(source, decoded, error, maxSide, false, why.problem);
    if (reading == Reading::readAgain) {
        reading = Reading::failed;
        if (source.rewind())
            reading = decodeOnce(source, decoded, error, maxSide, true, why.problem);
    }
    if (reading != Reading::done)
        return false;
    image = std::move(decoded);
    return true;
}

} // namespace

bool pngDecode(const std::string& name, PngImage& image, std::string& error, unsigned int maxSide,
               ImageFailure* failure) {
    ImageFailure ignored;
    ImageFailure& why = failure ? *failure : ignored;
    why = ImageFailure();
    // Only a regular file has a size to check the image against; opening a pipe might also
    // wait for ever.
    struct stat status {};
    if (stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        error = "not a regular file";
        why.problem = S_ISDIR(status.st_mode) ? ImageProblem::cannotOpen : ImageProblem::notPng;
        why.systemError = S_ISDIR(status.st_mode) ? EISDIR : 0;
        return false;
    }
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        error = "cannot open the file";
        why.problem = ImageProblem::cannotOpen;
        why.systemError = errno;
        return false;
    }
    bool ok = false;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        error = "not a regular file";
    } else {
        Source source;
        source.file = file;
        source.size = static_cast<std::size_t>(status.st_size);
        ok = decode(source, image, error, maxSide, why);
    }
    std::fclose(file);
    return ok;
}

bool pngDecodeBytes(const unsigned char* data, std::size_t size, PngImage& image,
                    std::string& error, unsigned int maxSide, ImageFailure* failure) {
    ImageFailure ignored;
    Source source;
    source.data = data;
    source.size = data ? size : 0;
    return decode(source, image, error, maxSide, failure ? *failure : ignored);
}
