#include "heightmap/rasterwriters.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <sys/types.h>
#include <vector>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfIO.h>
#include <OpenEXR/ImfOutputFile.h>
#include <png.h>

#include "heightmap/textbuffer.h"

const char* const writeStopped = "the write was stopped";

HeightRange heightRangeOf(const HeightRaster& raster) {
    float low = INFINITY, high = -INFINITY;
    for (float h : raster.heights) {
        if (std::isnan(h))
            continue;
        low = std::min(low, h);
        high = std::max(high, h);
    }
    if (!(low <= high))
        return {0.0, 1.0};
    HeightRange range{low, high};
    if (range.empty())
        range.max = range.min + 1.0;
    return range;
}

SixteenBitSteps::SixteenBitSteps(const HeightRange& range)
    : min_(range.min), max_(range.max), stepsPerUnit_(65535.0 / (range.max - range.min)) {}

std::size_t SixteenBitSteps::convert(const float* heights, int count, std::uint16_t* steps) const {
    std::size_t outside = 0;
    for (int i = 0; i < count; ++i) {
        const double h = heights[i];
        outside += (h < min_) | (h > max_);
        const double step = std::clamp((h - min_) * stepsPerUnit_, 0.0, 65535.0);
        steps[i] = static_cast<std::uint16_t>(step + 0.5);
    }
    return outside;
}

float asciiGridNoData(const HeightRaster& raster) {
    // A height that happens to be the usual no-data value would read as a hole; below every
    // height nothing is mistaken.
    for (float h : raster.heights)
        if (h <= -9999.0f)
            return -3.4028235e38f;
    return -9999.0f;
}

bool writeAsciiGrid(std::FILE* out, const HeightRaster& raster, double xOrigin, double yOrigin,
                    const RowProgress& progress) {
    const float noData = asciiGridNoData(raster);
    TextBuffer text(out);
    text.put("ncols ");
    text.number(raster.width);
    text.put("\nnrows ");
    text.number(raster.height);
    text.put("\nxllcorner ");
    text.number(raster.westEdge + xOrigin);
    text.put("\nyllcorner ");
    text.number(raster.southEdge + yOrigin);
    text.put("\ncellsize ");
    text.number(raster.cellSize);
    text.put("\nNODATA_value ");
    text.number(noData);
    text.put('\n');
    for (int r = 0; r < raster.height; ++r) {
        const float* row = raster.row(r);
        for (int c = 0; c < raster.width; ++c) {
            if (c > 0)
                text.put(' ');
            text.number(std::isnan(row[c]) ? noData : row[c]);
        }
        text.put('\n');
        if (progress && (r % rowBand == rowBand - 1 || r + 1 == raster.height) && !progress(r + 1))
            return false;
    }
    return text.finish();
}

namespace {

bool littleEndianHost() {
    const std::uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// What libpng reports, kept outside the function that calls setjmp so that nothing there
// changes between the jump target and the jump.
struct PngWriteState {
    const HeightRaster* raster;
    const SixteenBitSteps* steps;
    std::uint16_t* row;
    const RowProgress* progress;
    std::size_t clamped = 0;
    char message[200] = "";
};

void pngFailed(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    std::longjmp(png_jmpbuf(png), 1);
}

void pngWarned(png_structp, png_const_charp) {}

void writePngRows(png_structp png, PngWriteState& state) {
    const HeightRaster& raster = *state.raster;
    for (int r = 0; r < raster.height; ++r) {
        state.clamped += state.steps->convert(raster.row(r), raster.width, state.row);
        png_write_row(png, reinterpret_cast<png_const_bytep>(state.row));
        if (*state.progress && (r % rowBand == rowBand - 1 || r + 1 == raster.height) &&
            !(*state.progress)(r + 1))
            png_error(png, writeStopped);
    }
}

bool writePngImage(std::FILE* out, PngWriteState& state) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngFailed, pngWarned);
    if (!png) {
        std::snprintf(state.message, sizeof state.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        if (!info)
            std::snprintf(state.message, sizeof state.message, "out of memory");
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    // Heightmaps are smooth: the difference to the row above leaves little for zlib, and a
    // fast level keeps a 4097 x 4097 map well under a second.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, static_cast<png_uint_32>(state.raster->width),
                 static_cast<png_uint_32>(state.raster->height), 16, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // PNG stores samples big-endian; the rows hold them in the host's order.
    if (littleEndianHost())
        png_set_swap(png);
    writePngRows(png, state);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng16(std::FILE* out, const HeightRaster& raster, const HeightRange& range,
                std::size_t& clamped, std::string& error, const RowProgress& progress) {
    const SixteenBitSteps steps(range);
    std::vector<std::uint16_t> row(static_cast<std::size_t>(raster.width));
    PngWriteState state{&raster, &steps, row.data(), &progress};
    const bool written = writePngImage(out, state);
    clamped = state.clamped;
    if (!written) {
        error = std::string("libpng: ") + state.message;
        return false;
    }
    if (std::ferror(out)) {
        error = "a write failed";
        return false;
    }
    return true;
}

namespace {

struct Png8State {
    char message[200] = "";
};

void png8Failed(png_structp png, png_const_charp message) {
    auto* state = static_cast<Png8State*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    std::longjmp(png_jmpbuf(png), 1);
}

bool writePng8Image(std::FILE* out, int width, int height, int channels,
                    const unsigned char* pixels, const RowProgress& progress, Png8State& state) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, png8Failed, pngWarned);
    if (!png) {
        std::snprintf(state.message, sizeof state.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        if (!info)
            std::snprintf(state.message, sizeof state.message, "out of memory");
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (int r = 0; r < height; ++r) {
        png_write_row(png, pixels + static_cast<std::size_t>(r) * stride);
        if (progress && (r % rowBand == rowBand - 1 || r + 1 == height) && !progress(r + 1))
            png_error(png, writeStopped);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng8(std::FILE* out, int width, int height, int channels,
               const std::vector<unsigned char>& pixels, std::string& error,
               const RowProgress& progress) {
    Png8State state;
    if (!writePng8Image(out, width, height, channels, pixels.data(), progress, state)) {
        error = std::string("libpng: ") + state.message;
        return false;
    }
    if (std::ferror(out)) {
        error = "a write failed";
        return false;
    }
    return true;
}

bool writeR16(std::FILE* out, const HeightRaster& raster, const HeightRange& range,
              std::size_t& clamped, const RowProgress& progress) {
    const SixteenBitSteps steps(range);
    std::vector<std::uint16_t> row(static_cast<std::size_t>(raster.width));
    std::vector<unsigned char> bytes(row.size() * 2);
    clamped = 0;
    for (int r = 0; r < raster.height; ++r) {
        clamped += steps.convert(raster.row(r), raster.width, row.data());
        for (std::size_t c = 0; c < row.size(); ++c) {
            bytes[2 * c] = static_cast<unsigned char>(row[c] & 0xff);
            bytes[2 * c + 1] = static_cast<unsigned char>(row[c] >> 8);
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
            return false;
        if (progress && (r % rowBand == rowBand - 1 || r + 1 == raster.height) && !progress(r + 1))
            return false;
    }
    return true;
}

namespace {

// OpenEXR writes through this onto the stream of an atomic save.
class StdioOStream : public Imf::OStream {
public:
    StdioOStream(std::FILE* file, const std::string& name)
        : Imf::OStream(name.c_str()), file_(file) {}

    void write(const char c[], int n) override {
        if (std::fwrite(c, 1, static_cast<std::size_t>(n), file_) != static_cast<std::size_t>(n))
            throw std::runtime_error("a write failed");
    }
    uint64_t tellp() override {
        const off_t position = ftello(file_);
        if (position < 0)
            throw std::runtime_error("the file position cannot be read");
        return static_cast<uint64_t>(position);
    }
    void seekp(uint64_t position) override {
        if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
            throw std::runtime_error("the file cannot be rewound");
    }

private:
    std::FILE* file_;
};

} // namespace

bool writeExr(std::FILE* out, const std::string& name, const HeightRaster& raster,
              std::string& error, bool compressed, const RowProgress& progress) {
    try {
        Imf::Header header(raster.width, raster.height);
        header.channels().insert("Y", Imf::Channel(Imf::FLOAT));
        header.compression() = compressed ? Imf::ZIP_COMPRESSION : Imf::NO_COMPRESSION;
        StdioOStream stream(out, name);
        Imf::OutputFile file(stream, header);
        Imf::FrameBuffer frame;
        // OpenEXR only reads the heights; its slice type has no const.
        char* base = reinterpret_cast<char*>(const_cast<float*>(raster.heights.data()));
        frame.insert("Y", Imf::Slice(Imf::FLOAT, base, sizeof(float),
                                     sizeof(float) * static_cast<std::size_t>(raster.width)));
        file.setFrameBuffer(frame);
        // In bands of whole zip blocks (16 lines), so that progress can be told between them.
        for (int done = 0; done < raster.height;) {
            const int lines = std::min(rowBand, raster.height - done);
            file.writePixels(lines);
            done += lines;
            if (progress && !progress(done))
                throw std::runtime_error(writeStopped);
        }
    } catch (const std::exception& failure) {
        error = std::string("OpenEXR: ") + failure.what();
        return false;
    }
    if (std::ferror(out)) {
        error = "a write failed";
        return false;
    }
    return true;
}
