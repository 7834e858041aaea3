#include "fileio/pngdecode.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
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

// Asks libpng for 8-bit RGB whatever the file holds. For an image to be reduced, an
// interlaced image comes pass by pass instead of as whole rows, and grey stays one channel
// (the reduction makes it RGB at the end, after averaging a third of the samples).
void requestRgb8(png_structp png, png_infop info, bool toBeReduced) {
    const png_byte colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_bit_depth(png, info) == 16)
        png_set_scale_16(png);
    if (!toBeReduced && (colorType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    // A tRNS chunk is never expanded, so stripping the alpha channel leaves plain RGB.
    png_set_strip_alpha(png);
    if (!toBeReduced)
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
                std::string& error, unsigned int maxSide, PngFit fit) {
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
    unsigned int fittedWidth = 0, fittedHeight = 0;
    pngFittedSize(width, height, fit, fittedWidth, fittedHeight);
    const bool toBeReduced = fittedWidth != width || fittedHeight != height;
    requestRgb8(png, info, toBeReduced);
    const std::size_t channels = toBeReduced ? png_get_channels(png, info) : 3;
    if ((channels != 1 && channels != 3) ||
        png_get_rowbytes(png, info) != static_cast<size_t>(width) * channels) {
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

// Averages an image down while its rows arrive, in any order. Along each axis a source pixel
// covers a length of scale destination pixels, which falls into one destination pixel or is
// split between two; its samples count with those lengths as weights, so that the weights of
// each destination pixel sum to one. Grey images are averaged as one channel.
class Reduction {
public:
    Reduction(unsigned int fromWidth, unsigned int fromHeight, unsigned int toWidth,
              unsigned int toHeight, unsigned int channels)
        : across_(shares(fromWidth, toWidth)), down_(shares(fromHeight, toHeight)),
          gather_(gathers(fromWidth, toWidth)), channels_(channels),
          sums_(std::size_t{toWidth} * toHeight * channels, 0.0f),
          rowSums_(std::size_t{toWidth} * channels) {}

    // Adds source row y, all of it.
    void addWholeRow(const unsigned char* samples, unsigned int y) {
        const unsigned int n = channels_;
        float* out = rowSums_.data();
        for (const Gather& g : gather_) {
            const unsigned char* first = samples + std::size_t{g.first} * n;
            for (unsigned int c = 0; c < n; ++c) {
                unsigned int inner = 0;
                for (unsigned int i = 1; i < g.count; ++i)
                    inner += first[i * n + c];
                const unsigned int last = g.count > 0 ? first[g.count * n + c] : 0;
                out[c] = g.firstWeight * first[c] + g.innerWeight * static_cast<float>(inner) +
                         g.lastWeight * static_cast<float>(last);
            }
            out += n;
        }
        addRowSums(y);
    }

    // Adds count pixels of source row y, at columns firstX, firstX + stepX, ... (a pass of an
    // interlaced image).
    void addPartialRow(const unsigned char* samples, unsigned int y, unsigned int firstX,
                       unsigned int stepX, unsigned int count) {
        const unsigned int n = channels_;
        std::fill(rowSums_.begin(), rowSums_.end(), 0.0f);
        for (unsigned int i = 0, x = firstX; i < count; ++i, x += stepX) {
            const Share& share = across_[x];
            float* out = rowSums_.data() + std::size_t{share.to} * n;
            for (unsigned int c = 0; c < n; ++c)
                out[c] += share.first * samples[c];
            if (share.second > 0.0f)
                for (unsigned int c = 0; c < n; ++c)
                    out[n + c] += share.second * samples[c];
            samples += n;
        }
        addRowSums(y);
    }

    // The averages as 8-bit RGB.
    void finish(std::vector<unsigned char>& rgb) const {
        const std::size_t pixels = sums_.size() / channels_;
        rgb.resize(pixels * 3);
        for (std::size_t p = 0; p < pixels; ++p)
            for (unsigned int c = 0; c < 3; ++c) {
                const float sum = sums_[p * channels_ + (channels_ == 3 ? c : 0)];
                rgb[p * 3 + c] = static_cast<unsigned char>(std::clamp(sum + 0.5f, 0.0f, 255.0f));
            }
    }

private:
    // Where a source pixel falls along an axis.
    struct Share {
        unsigned int to; // the destination pixel it starts in
        float first;     // the length it covers there
        float second;    // and in the next one
    };
    // What a destination pixel covers along an axis: source pixels first .. first + count,
    // the first and the last only partly (the last is absent when count is 0), the ones
    // between wholly.
    struct Gather {
        unsigned int first;
        unsigned int count;
        float firstWeight, innerWeight, lastWeight;
    };

    static std::vector<Share> shares(unsigned int from, unsigned int to) {
        std::vector<Share> result(from);
        const double scale = static_cast<double>(to) / from;
        for (unsigned int i = 0; i < from; ++i) {
            const double begin = i * scale, end = (i + 1) * scale;
            const unsigned int cell = std::min(static_cast<unsigned int>(begin), to - 1);
            const double split = cell + 1.0;
            result[i].to = cell;
            result[i].first = static_cast<float>(std::min(end, split) - begin);
            result[i].second =
                end > split && cell + 1 < to ? static_cast<float>(end - split) : 0.0f;
        }
        return result;
    }

    static std::vector<Gather> gathers(unsigned int from, unsigned int to) {
        std::vector<Gather> result(to);
        const double scale = static_cast<double>(to) / from;
        const double span = static_cast<double>(from) / to;
        for (unsigned int d = 0; d < to; ++d) {
            const double begin = d * span, end = std::min((d + 1) * span, double(from));
            const unsigned int first = std::min(static_cast<unsigned int>(begin), from - 1);
            unsigned int last = std::min(static_cast<unsigned int>(std::ceil(end)) - 1, from - 1);
            last = std::max(last, first);
            Gather& g = result[d];
            g.first = first;
            g.count = last - first;
            g.innerWeight = static_cast<float>(scale);
            if (g.count == 0) {
                g.firstWeight = static_cast<float>((end - begin) * scale);
                g.lastWeight = 0.0f;
            } else {
                g.firstWeight = static_cast<float>((first + 1 - begin) * scale);
                g.lastWeight = static_cast<float>((end - last) * scale);
            }
        }
        return result;
    }

    void addRowSums(unsigned int y) {
        const Share& share = down_[y];
        addScaled(share.to, share.first);
        if (share.second > 0.0f)
            addScaled(share.to + 1, share.second);
    }

    void addScaled(unsigned int row, float weight) {
        float* out = sums_.data() + std::size_t{row} * rowSums_.size();
        for (std::size_t i = 0; i < rowSums_.size(); ++i)
            out[i] += weight * rowSums_[i];
    }

    std::vector<Share> across_, down_;
    std::vector<Gather> gather_;
    unsigned int channels_;
    std::vector<float> sums_;
    std::vector<float> rowSums_;
};

// Reads every row of the image (of every pass when interlaced, as libpng hands them out
// without combining them) into reduction; false on corrupt or truncated data.
bool readReducing(png_structp png, png_bytep scratch, png_uint_32 width, png_uint_32 height,
                  bool interlaced, Reduction& reduction) {
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    if (!interlaced) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, scratch, nullptr);
            reduction.addWholeRow(scratch, y);
        }
    } else {
        for (int pass = 0; pass < 7; ++pass) {
            const auto columns = static_cast<unsigned int>(PNG_PASS_COLS(width, pass));
            const auto rows = static_cast<unsigned int>(PNG_PASS_ROWS(height, pass));
            // libpng skips the passes that hold no pixel of a small image.
            if (columns == 0 || rows == 0)
                continue;
            const auto firstRow = static_cast<unsigned int>(PNG_PASS_START_ROW(pass));
            const auto firstColumn = static_cast<unsigned int>(PNG_PASS_START_COL(pass));
            const unsigned int rowStep = 1u << PNG_PASS_ROW_SHIFT(pass);
            const unsigned int columnStep = 1u << PNG_PASS_COL_SHIFT(pass);
            for (unsigned int r = 0; r < rows; ++r) {
                png_read_row(png, scratch, nullptr);
                reduction.addPartialRow(scratch, firstRow + r * rowStep, firstColumn, columnStep,
                                        columns);
            }
        }
    }
    png_read_end(png, nullptr);
    return true;
}

enum class Reading { failed, done, readAgain };

// One reading of source into out. An image of up to eagerImageBytes (or any image when
// pixelsAnyway) is decoded at once; a larger one is only read through, and readAgain says
// that it is complete and may now have its memory.
// problem says why when it fails: memory, or else damage.
Reading decodeOnce(Source& source, PngImage& out, std::string& error, unsigned int maxSide,
                   PngFit fit, bool pixelsAnyway, ImageProblem& problem) {
    problem = ImageProblem::damaged;
    Reader reader(source, error, maxSide);
    if (!reader.ready()) {
        error = "out of memory";
        problem = ImageProblem::tooLargeForMemory;
        return Reading::failed;
    }
    if (!readHeader(reader.png, reader.info, source, out.info, error, maxSide, fit))
        return Reading::failed;
    const std::size_t rowBytes = static_cast<std::size_t>(out.info.Width) * 3;
    pngFittedSize(out.info.Width, out.info.Height, fit, out.width, out.height);
    try {
        if (out.reduced()) {
            // Memory for the reduced image only: no need to read the file through first.
            const unsigned int channels = png_get_channels(reader.png, reader.info);
            std::vector<unsigned char> scratch(std::size_t{out.info.Width} * channels);
            Reduction reduction(out.info.Width, out.info.Height, out.width, out.height, channels);
            const bool interlaced =
                png_get_interlace_type(reader.png, reader.info) != PNG_INTERLACE_NONE;
            if (!readReducing(reader.png, scratch.data(), out.info.Width, out.info.Height,
                              interlaced, reduction))
                return Reading::failed;
            reduction.finish(out.rgb);
            return Reading::done;
        }
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

bool decode(Source& source, PngImage& image, std::string& error, unsigned int maxSide, PngFit fit,
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
        reading = decodeOnce(source, decoded, error, maxSide, fit, false, why.problem);
    if (reading == Reading::readAgain) {
        reading = Reading::failed;
        if (source.rewind())
            reading = decodeOnce(source, decoded, error, maxSide, fit, true, why.problem);
    }
    if (reading != Reading::done)
        return false;
    image = std::move(decoded);
    return true;
}

bool decodeFile(const std::string& name, PngFit fit, PngImage& image, std::string& error,
                unsigned int maxSide, ImageFailure* failure) {
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
        ok = decode(source, image, error, maxSide, fit, why);
    }
    std::fclose(file);
    return ok;
}

bool decodeBytes(const unsigned char* data, std::size_t size, PngFit fit, PngImage& image,
                 std::string& error, unsigned int maxSide, ImageFailure* failure) {
    ImageFailure ignored;
    Source source;
    source.data = data;
    source.size = data ? size : 0;
    return decode(source, image, error, maxSide, fit, failure ? *failure : ignored);
}

} // namespace

void pngFittedSize(unsigned int width, unsigned int height, PngFit fit, unsigned int& fittedWidth,
                   unsigned int& fittedHeight) {
    double scale = 1.0;
    if (fit.width > 0 && width > fit.width)
        scale = static_cast<double>(fit.width) / width;
    if (fit.height > 0 && height > fit.height)
        scale = std::min(scale, static_cast<double>(fit.height) / height);
    if (scale >= 1.0) {
        fittedWidth = width;
        fittedHeight = height;
        return;
    }
    const auto side = [scale](unsigned int length, unsigned int limit) {
        const auto scaled = static_cast<unsigned int>(std::lround(length * scale));
        return std::clamp(scaled, 1u, limit > 0 ? limit : length);
    };
    fittedWidth = side(width, fit.width);
    fittedHeight = side(height, fit.height);
}

bool pngDecode(const std::string& name, PngImage& image, std::string& error, unsigned int maxSide,
               ImageFailure* failure) {
    return decodeFile(name, PngFit{}, image, error, maxSide, failure);
}

bool pngDecodeBytes(const unsigned char* data, std::size_t size, PngImage& image,
                    std::string& error, unsigned int maxSide, ImageFailure* failure) {
    return decodeBytes(data, size, PngFit{}, image, error, maxSide, failure);
}

bool pngDecodeFitting(const std::string& name, PngFit fit, PngImage& image, std::string& error,
                      unsigned int maxSide, ImageFailure* failure) {
    return decodeFile(name, fit, image, error, maxSide, failure);
}

bool pngDecodeBytesFitting(const unsigned char* data, std::size_t size, PngFit fit, PngImage& image,
                           std::string& error, unsigned int maxSide, ImageFailure* failure) {
    return decodeBytes(data, size, fit, image, error, maxSide, failure);
}
