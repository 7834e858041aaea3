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

HeightRange heightRangeOf(const HeightRaster& raster) {
    if (raster.heights.empty())
        return {0.0, 1.0};
    const auto [low, high] = std::minmax_element(raster.heights.begin(), raster.heights.end());
    HeightRange range{*low, *high};
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

bool writeAsciiGrid(std::FILE* out, const HeightRaster& raster) {
    // A height that happens to be the usual no-data value would read as a hole; below every
    // height nothing is mistaken.
    float noData = -9999.0f;
    if (!raster.heights.empty() &&
        *std::min_element(raster.heights.begin(), raster.heights.end()) <= noData)
        noData = -3.4028235e38f;
    TextBuffer text(out);
    text.put("ncols ");
    text.number(raster.width);
    text.put("\nnrows ");
    text.number(raster.height);
    text.put("\nxllcorner ");
    text.number(raster.westEdge);
    text.put("\nyllcorner ");
    text.number(raster.southEdge);
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
            text.number(row[c]);
        }
        text.put('\n');
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
                std::size_t& clamped, std::string& error) {
    const SixteenBitSteps steps(range);
    std::vector<std::uint16_t> row(static_cast<std::size_t>(raster.width));
    PngWriteState state{&raster, &steps, row.data()};
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

bool writeR16(std::FILE* out, const HeightRaster& raster, const HeightRange& range,
              std::size_t& clamped) {
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
              std::string& error) {
    try {
        Imf::Header header(raster.width, raster.height);
        header.channels().insert("Y", Imf::Channel(Imf::FLOAT));
        // Heights in float keep every bit of their mantissas, which zip shrinks by a tenth at
        // most and at the cost of seconds for an engine-sized map: they are stored as they are.
        header.compression() = Imf::NO_COMPRESSION;
        StdioOStream stream(out, name);
        Imf::OutputFile file(stream, header);
        Imf::FrameBuffer frame;
        // OpenEXR only reads the heights; its slice type has no const.
        char* base = reinterpret_cast<char*>(const_cast<float*>(raster.heights.data()));
        frame.insert("Y", Imf::Slice(Imf::FLOAT, base, sizeof(float),
                                     sizeof(float) * static_cast<std::size_t>(raster.width)));
        file.setFrameBuffer(frame);
        file.writePixels(raster.height);
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
