// The exported files as the tools they are made for read them: GDAL for the ASCII grid, libpng
// for the 16-bit PNG, exrheader for OpenEXR, assimp for the mesh.
#include "../sketch/filetesting.h"
#include "../support/testfiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>
#include <png.h>

#include "heightmap/heightmapexport.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

const double rowSpacing = 8.0;

// 12 rows of 40 points, 2 pixels apart but closer at the ends, falling away behind a jagged
// silhouette.
Grid terrain() {
    Grid grid(12);
    for (int r = 0; r < 12; ++r) {
        for (int c = 0; c < 40; ++c) {
            const double x = c == 0 ? 99.5 : c == 39 ? 178.5 : 100.0 + 2 * (c - 1) + 1;
            grid[r].emplace_back(x, (1 - r / 12.0) * (60 + 25 * std::sin(c * 0.7)) + r % 3);
        }
    }
    return grid;
}

HeightmapExport settings(HeightmapFormat format) {
    HeightmapExport s;
    s.format = format;
    s.raster.width = 65;
    s.raster.height = 49;
    s.raster.scale = 0.5;
    s.source = {{"input", "peak.c2d"}, {"stage", 3}};
    return s;
}

std::string path(const std::string& name) {
    static int counter = 0;
    return scratchFolder() + "/" + std::to_string(counter++) + "-" + name;
}

ExportReport exported(const std::string& file, const HeightmapExport& s) {
    ExportReport report;
    std::string error;
    EXPECT_TRUE(exportHeightmap(terrain(), rowSpacing, s, file, error, &report)) << error;
    return report;
}

// Standard output and error of a command.
std::string run(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

std::vector<double> asciiGridHeights(const std::string& file) {
    std::istringstream in(readWholeFile(file));
    std::string keyword, value;
    for (int line = 0; line < 6; ++line)
        in >> keyword >> value;
    std::vector<double> heights;
    for (double h; in >> h;)
        heights.push_back(h);
    return heights;
}

struct Png {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    bool transparency = true;
    std::vector<unsigned> samples;
};

Png decodePng(const std::string& file) {
    Png image;
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, in);
        png_read_info(png, info);
        image.width = png_get_image_width(png, info);
        image.height = png_get_image_height(png, info);
        image.bitDepth = png_get_bit_depth(png, info);
        image.colourType = png_get_color_type(png, info);
        image.transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        std::vector<png_byte> row(png_get_rowbytes(png, info));
        for (png_uint_32 r = 0; r < image.height; ++r) {
            png_read_row(png, row.data(), nullptr);
            for (std::size_t i = 0; i + 1 < row.size(); i += 2)
                image.samples.push_back(row[i] << 8 | row[i + 1]); // PNG is big-endian
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return image;
}

} // namespace

TEST(HeightmapExport, GdalOpensTheAsciiGridWithItsSizeCellAndHeights) {
    const std::string file = path("terrain.asc");
    const ExportReport report = exported(file, settings(HeightmapFormat::asc));
    std::vector<double> heights = asciiGridHeights(file);
    ASSERT_EQ(heights.size(), 65u * 49u);
    // Beside the terrain, which is deeper than wide, the cells hold no data: no height at all.
    const auto padding = std::remove(heights.begin(), heights.end(), -9999.0);
    EXPECT_EQ(heights.end() - padding, 2 * 10 * 49) << "ten columns on either side";
    heights.erase(padding, heights.end());
    const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
    EXPECT_GT(*low, 0.0);

    const std::string info = run("gdalinfo -stats " + file);
    EXPECT_NE(info.find("Driver: AAIGrid/"), std::string::npos) << info;
    EXPECT_NE(info.find("Size is 65, 49"), std::string::npos) << info;
    char pixel[100];
    std::snprintf(pixel, sizeof pixel, "Pixel Size = (%.15f,%.15f)", report.cellSize,
                  -report.cellSize);
    EXPECT_NE(info.find(pixel), std::string::npos) << info;
    char stats[100];
    std::snprintf(stats, sizeof stats, "Minimum=%.3f, Maximum=%.3f", *low, *high);
    EXPECT_NE(info.find(stats), std::string::npos) << info;
    EXPECT_NE(info.find("NoData Value=-9999"), std::string::npos) << info;
}

TEST(HeightmapExport, SixteenBitFilesMapBackToTheAsciiHeightsWithinAStep) {
    const std::string asc = path("terrain.asc"), png = path("terrain.png"),
                      r16 = path("terrain.r16");
    exported(asc, settings(HeightmapFormat::asc));
    const ExportReport report = exported(png, settings(HeightmapFormat::png16));
    exported(r16, settings(HeightmapFormat::r16));
    const std::vector<double> heights = asciiGridHeights(asc);

    const Png image = decodePng(png);
    const std::string pam = readWholeFile(png + ".aux.xml");
    EXPECT_NE(pam.find("<Offset>"), std::string::npos) << pam;
    EXPECT_NE(pam.find("<Scale>"), std::string::npos) << pam;
    EXPECT_EQ(image.width, 65u);
    EXPECT_EQ(image.height, 49u);
    EXPECT_EQ(image.bitDepth, 16);
    EXPECT_EQ(image.colourType, PNG_COLOR_TYPE_GRAY); // no alpha
    EXPECT_FALSE(image.transparency);
    ASSERT_EQ(image.samples.size(), heights.size());
    const HeightRange range = report.heightRange;
    const double step = (range.max - range.min) / 65535;
    for (std::size_t i = 0; i < heights.size(); ++i) {
        if (heights[i] == -9999.0) // no data in the grid; the 16-bit padding falls to 0
            continue;
        ASSERT_NEAR(range.min + image.samples[i] * step, heights[i], step) << "cell " << i;
    }

    // The RAW file holds the same samples, little-endian, and nothing else.
    const std::string raw = readWholeFile(r16);
    ASSERT_EQ(raw.size(), 65u * 49u * 2u);
    for (std::size_t i = 0; i < image.samples.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(raw[2 * i]) |
                      static_cast<unsigned char>(raw[2 * i + 1]) << 8,
                  image.samples[i]);

    // Beside each, what the steps stand for.
    for (const std::string& file : {png, r16}) {
        const auto meta = nlohmann::json::parse(readWholeFile(file + ".json"));
        EXPECT_EQ(meta["width"], 65);
        EXPECT_EQ(meta["height"], 49);
        EXPECT_EQ(meta["cellSize"], report.cellSize);
        EXPECT_EQ(meta["heightRange"]["min"], range.min);
        EXPECT_EQ(meta["heightRange"]["max"], range.max);
        EXPECT_EQ(meta["units"], "sketch pixels × scale");
        EXPECT_EQ(meta["scale"], 0.5);
        EXPECT_EQ(meta["source"], nlohmann::json({{"input", "peak.c2d"}, {"stage", 3}}));
    }
}

TEST(HeightmapExport, ExrheaderAndAssimpReadTheirFiles) {
    const std::string exr = path("terrain.exr"), obj = path("terrain.obj");
    exported(exr, settings(HeightmapFormat::exr));
    const std::string header = run("exrheader " + exr);
    EXPECT_NE(header.find("Y, 32-bit floating-point"), std::string::npos) << header;
    EXPECT_NE(header.find("dataWindow (type box2i): (0 0) - (64 48)"), std::string::npos) << header;

    EXPECT_NE(header.find("compression (type compression): zip"), std::string::npos) << header;

    exported(obj, settings(HeightmapFormat::obj));
    const std::string text = readWholeFile(obj);
    // One vertex and one texture coordinate a grid point (12 x 40); assimp splits vertices
    // where its tangents differ, so only the faces are counted through it.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n') - 3, 3 * 480 + 858);
    EXPECT_NE(text.find("\nvt 0 0\n"), std::string::npos);
    EXPECT_NE(text.find("\nvt 1 1\n"), std::string::npos);
    const std::string mesh = run("assimp info " + obj);
    EXPECT_NE(mesh.find("Faces:              858\n"), std::string::npos) << mesh; // 2 x 11 x 39
    EXPECT_NE(mesh.find("Materials:          1\n"), std::string::npos) << mesh;
    EXPECT_NE(mesh.find("Texture Refs:\n    '" +
                        obj.substr(obj.rfind('/') + 1, obj.size() - obj.rfind('/') - 5) + ".png'"),
              std::string::npos)
        << mesh;
    EXPECT_NE(mesh.find("Primitive Types:    triangles\n"), std::string::npos) << mesh;
}

TEST(HeightmapExport, HeightRangeClampsAndCountsOrIsRefusedWhenEmpty) {
    HeightmapExport s = settings(HeightmapFormat::r16);
    s.heightRange = HeightRange{10, 20};
    HeightRaster raster;
    std::string error;
    RasterOptions blended = s.raster;
    blended.padding = Padding::blend;
    ASSERT_TRUE(resampleTerrain(terrain(), rowSpacing, blended, raster, error));
    const auto outside = std::count_if(raster.heights.begin(), raster.heights.end(),
                                       [](float h) { return h < 10 || h > 20; });
    const std::string file = path("clamped.r16");
    const ExportReport report = exported(file, s);
    EXPECT_EQ(report.clampedCells, static_cast<std::size_t>(outside));
    EXPECT_GT(report.clampedCells, 0u);
    EXPECT_EQ(nlohmann::json::parse(readWholeFile(file + ".json"))["clampedCells"], outside);

    // A flat terrain with the default range: every cell is step 0, nothing divides by zero.
    const Grid flat(3, std::vector<gmVector2>{{0, 7}, {1, 7}, {2, 7}});
    const std::string level = path("flat.r16");
    HeightmapExport native;
    native.format = HeightmapFormat::r16;
    ExportReport flatReport;
    ASSERT_TRUE(exportHeightmap(flat, 1.0, native, level, error, &flatReport)) << error;
    EXPECT_EQ(readWholeFile(level), std::string(3 * 3 * 2, '\0'));
    EXPECT_EQ(flatReport.heightRange.min, 7.0);
    EXPECT_EQ(flatReport.heightRange.max, 8.0);

    s.heightRange = HeightRange{5, 5};
    const std::string empty = path("empty.r16");
    EXPECT_FALSE(exportHeightmap(terrain(), rowSpacing, s, empty, error));
    EXPECT_EQ(error, "the height range 5:5 is empty: its minimum must lie below its maximum");
    EXPECT_EQ(filesStartingWith(empty), 0);
}

// Regression guard: a failed save must never leave half a heightmap or lose the previous one.
TEST(HeightmapExport, FailedSavesLeaveNoFileAndKeepThePreviousOne) {
    const std::string file = path("kept.png");
    exported(file, settings(HeightmapFormat::png16));
    const std::string previous = readWholeFile(file), previousMeta = readWholeFile(file + ".json");

    HeightmapExport bigger = settings(HeightmapFormat::png16);
    bigger.raster.width = bigger.raster.height = 1025;
    bool written = true;
    std::string error;
    withFileSizeLimit(
        4000, [&] { written = exportHeightmap(terrain(), rowSpacing, bigger, file, error); });
    EXPECT_FALSE(written);
    EXPECT_EQ(error.rfind("could not write " + file, 0), 0u) << error;
    EXPECT_EQ(readWholeFile(file), previous);
    EXPECT_EQ(readWholeFile(file + ".json"), previousMeta);
    EXPECT_EQ(filesStartingWith(file), 3) << "the heightmap, its .json and its .aux.xml";

    const std::string missing = path("no-such-folder") + "/terrain.exr";
    EXPECT_FALSE(
        exportHeightmap(terrain(), rowSpacing, settings(HeightmapFormat::exr), missing, error));
    EXPECT_EQ(error, "cannot create " + missing + ": No such file or directory");
}

TEST(HeightmapFormat, ComesFromTheSuffixOrTheName) {
    const std::pair<const char*, HeightmapFormat> files[] = {
        {"a.grd", HeightmapFormat::grd},   {"a", HeightmapFormat::grd},
        {"a.txt", HeightmapFormat::grd},   {"dir.png/a", HeightmapFormat::grd},
        {"a.asc", HeightmapFormat::asc},   {"a.PNG", HeightmapFormat::png16},
        {"a.r16", HeightmapFormat::r16},   {"a.raw", HeightmapFormat::r16},
        {"a.b.exr", HeightmapFormat::exr}, {"a.obj", HeightmapFormat::obj},
    };
    for (const auto& [name, format] : files)
        EXPECT_EQ(heightmapFormatForFile(name), format) << name;
    for (const char* name : {"grd", "asc", "png16", "r16", "exr", "obj"}) {
        HeightmapFormat format = HeightmapFormat::grd;
        EXPECT_TRUE(heightmapFormatNamed(name, format));
        EXPECT_STREQ(heightmapFormatName(format), name);
    }
    HeightmapFormat format = HeightmapFormat::asc;
    EXPECT_FALSE(heightmapFormatNamed("tiff", format));
    EXPECT_EQ(format, HeightmapFormat::asc);
    EXPECT_TRUE(heightmapFormatNamed("PNG", format));
    EXPECT_EQ(format, HeightmapFormat::png16);
    EXPECT_TRUE(heightmapFormatNamed("Raw", format));
    EXPECT_EQ(format, HeightmapFormat::r16);
    // A suffix no format has is no format at all; none is the grid as ever.
    EXPECT_FALSE(heightmapFormatForSuffix("peak.tif", format));
    EXPECT_TRUE(heightmapFormatForSuffix("peak", format));
    EXPECT_EQ(format, HeightmapFormat::grd);
}
