// What a heightmap export writes besides the heightmap: the set saved whole, tiles that meet,
// padding without a cliff, GDAL's sidecars, the engine maps and progress. Checked with libpng
// and gdalinfo where a tool reads the result.
#include "../sketch/filetesting.h"
#include "../support/testfiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <png.h>

#include "heightmap/exportchecks.h"
#include "heightmap/exportset.h"
#include "heightmap/heightmapexport.h"
#include "heightmap/terrainmaps.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// 10 rows of 30 points, 4 pixels apart, a ridge running back from the silhouette.
Grid ridge() {
    Grid grid(10);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 30; ++c)
            grid[r].emplace_back(4.0 * c, (1 - r / 12.0) * (50 + 30 * std::sin(c * 0.3)));
    return grid;
}

HeightmapExport sized(HeightmapFormat format, int side) {
    HeightmapExport s;
    s.format = format;
    s.raster.width = s.raster.height = side;
    return s;
}

std::string path(const std::string& name) {
    static int counter = 0;
    return scratchFolder() + "/set-" + std::to_string(counter++) + "-" + name;
}

bool exists(const std::string& name) {
    struct stat info {};
    return stat(name.c_str(), &info) == 0;
}

std::string command(const std::string& line) {
    std::string output;
    if (std::FILE* pipe = popen((line + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

// Every sample of a PNG (8 or 16 bits, any channels), row by row.
std::vector<unsigned> pngSamples(const std::string& file, png_uint_32& width, int& channels) {
    std::vector<unsigned> samples;
    std::FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return samples;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, in);
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        channels = png_get_channels(png, info);
        const bool wide = png_get_bit_depth(png, info) == 16;
        std::vector<png_byte> row(png_get_rowbytes(png, info));
        for (png_uint_32 r = 0; r < png_get_image_height(png, info); ++r) {
            png_read_row(png, row.data(), nullptr);
            for (std::size_t i = 0; i < row.size(); i += wide ? 2 : 1)
                samples.push_back(wide ? (row[i] << 8 | row[i + 1]) : row[i]);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return samples;
}

} // namespace

TEST(ExportSet, TilesShareTheirEdgesSampleBySampleAndOneFileDescribesThem) {
    HeightmapExport s = sized(HeightmapFormat::png16, 129); // 2 x 2 tiles of 65
    s.tilesAcross = s.tilesDown = 2;
    const std::string file = path("tiles.png");
    std::string error;
    ExportReport report;
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, s, file, error, &report)) << error;
    std::vector<unsigned> tile[2][2];
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            png_uint_32 width = 0;
            int channels = 0;
            tile[x][y] = pngSamples(tileFileName(file, x, y), width, channels);
            ASSERT_EQ(width, 65u);
            ASSERT_EQ(tile[x][y].size(), 65u * 65u);
        }
    }
    for (int i = 0; i < 65; ++i) {
        for (int y = 0; y < 2; ++y) // the western tile's last column is the eastern one's first
            ASSERT_EQ(tile[0][y][i * 65 + 64], tile[1][y][i * 65]) << "row " << i;
        for (int x = 0; x < 2; ++x) // the northern tile's last row is the southern one's first
            ASSERT_EQ(tile[x][0][64 * 65 + i], tile[x][1][i]) << "column " << i;
    }
    const auto meta = nlohmann::json::parse(readWholeFile(file + ".json"));
    EXPECT_EQ(meta["tiles"]["side"], 65);
    EXPECT_EQ(meta["tiles"]["files"].size(), 4u);
    EXPECT_EQ(meta["width"], 129);
    EXPECT_FALSE(exists(file)) << "only the tiles";

    int side = 0;
    RasterOptions odd{1000, 1000, 1.0};
    EXPECT_FALSE(planTiles(2, 2, 0, 0, odd, side, error));
    EXPECT_NE(error.find("1025x1025"), std::string::npos) << error;
    RasterOptions native;
    ASSERT_TRUE(planTiles(3, 1, 100, 40, native, side, error)) << error;
    EXPECT_EQ(side, 65); // 3 x 64 + 1 = 193 holds 100; 33 would give 97
    EXPECT_EQ(native.width, 193);
    EXPECT_EQ(native.height, 65);
    EXPECT_EQ(tileFileName("out/a.b/peak.exr", 3, 1), "out/a.b/peak_x3_y1.exr");
}

TEST(ExportSet, PaddingFallsSmoothlyToTheBaseOrHoldsNoData) {
    // The ridge is wider than deep: rows of padding lie north and south of it.
    HeightRaster blended, holes;
    std::string error;
    RasterOptions options{65, 65, 1.0, Padding::blend};
    ASSERT_TRUE(resampleTerrain(ridge(), 4.0, options, blended, error)) << error;
    options.padding = Padding::noData;
    ASSERT_TRUE(resampleTerrain(ridge(), 4.0, options, holes, error)) << error;

    int padded = 0;
    float largestStep = 0, terrainStep = 0;
    for (int r = 1; r < 65; ++r) {
        for (int c = 0; c < 65; ++c) {
            const float here = blended.row(r)[c], above = blended.row(r - 1)[c];
            const bool inside = !std::isnan(holes.row(r)[c]) && !std::isnan(holes.row(r - 1)[c]);
            if (inside) {
                EXPECT_EQ(here, holes.row(r)[c]);
                terrainStep = std::max(terrainStep, std::abs(here - above));
            } else {
                largestStep = std::max(largestStep, std::abs(here - above));
            }
            padded += std::isnan(holes.row(r)[c]);
        }
    }
    ASSERT_GT(padded, 0);
    // Regression: the padding used to drop from the edge height to 0 in one cell.
    EXPECT_LT(largestStep,
              0.5f * *std::max_element(blended.heights.begin(), blended.heights.end()));
    EXPECT_LE(largestStep, 2 * terrainStep + 1);
    for (int c = 0; c < 65; ++c) // the outermost rows reach the base
        EXPECT_EQ(blended.row(0)[c], 0.0f);
}

TEST(ExportSet, GdalPlacesTheSixteenBitFileAndReadsWorldHeights) {
    HeightmapExport s = sized(HeightmapFormat::png16, 65);
    s.place.originX = 500000;
    s.place.originY = 4100000;
    std::string error;
    ASSERT_TRUE(readCrs("epsg:32632", s.place.crs, error)) << error;
    EXPECT_EQ(s.place.crs, "EPSG:32632");
    const std::string file = path("placed.png");
    ExportReport report;
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, s, file, error, &report)) << error;
    const std::string stem = file.substr(0, file.size() - 4);
    EXPECT_TRUE(exists(stem + ".pgw"));

    const std::string info = command("gdalinfo -stats " + file);
    EXPECT_NE(info.find("ID[\"EPSG\",32632]"), std::string::npos) << info;
    const std::size_t at = info.find("Origin = (");
    ASSERT_NE(at, std::string::npos) << info;
    double x = 0, y = 0;
    std::sscanf(info.c_str() + at, "Origin = (%lf,%lf)", &x, &y);
    // The ridge runs from x 0 to 116, centred in the raster; the origin shifts it.
    EXPECT_DOUBLE_EQ(x, 500000 + 58 - 0.5 * report.width * report.cellSize);
    EXPECT_GT(y, 4100000);
    // Offset and scale turn the lowest and highest steps back into the height range.
    double offset = 0, scale = 0;
    const std::size_t o = info.find("Offset: ");
    ASSERT_NE(o, std::string::npos) << info;
    std::sscanf(info.c_str() + o, "Offset: %lf, Scale:%lf", &offset, &scale);
    EXPECT_DOUBLE_EQ(offset, report.heightRange.min);
    EXPECT_NEAR(offset + 65535 * scale, report.heightRange.max, 1e-9);

    // An ASCII grid's reference system goes to its .prj as WKT, a code as the code's WKT.
    HeightmapExport grid = sized(HeightmapFormat::asc, 65);
    grid.place.crs = s.place.crs;
    const std::string coded = path("coded.asc");
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, grid, coded, error)) << error;
    EXPECT_NE(command("gdalinfo " + coded).find("ID[\"EPSG\",32632]]"), std::string::npos);
    grid.place.crs = "EPSG:99999";
    EXPECT_FALSE(exportHeightmap(ridge(), 4.0, grid, path("unknown.asc"), error));
    EXPECT_NE(error.find("EPSG:99999"), std::string::npos) << error;
    const std::string wkt = command("gdalsrsinfo -o wkt_esri EPSG:32632");
    ASSERT_TRUE(readCrs(wkt, grid.place.crs, error)) << error;
    const std::string asc = path("placed.asc");
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, grid, asc, error)) << error;
    EXPECT_NE(command("gdalinfo " + asc).find("UTM zone 32N"), std::string::npos);

    for (const char* bad : {"EPSG:", "EPSG:12a", "PROJCS[\"x\"", "32632", "no-such.prj"})
        EXPECT_FALSE(readCrs(bad, grid.place.crs, error)) << bad;
}

TEST(ExportSet, NormalAndSplatMapsFollowTheSlopesAndWeighToFullCoverage) {
    HeightRaster raster;
    raster.width = 3;
    raster.height = 2;
    raster.cellSize = 1.0;
    // Rising gently eastwards in the first row, a cliff at the end of the second.
    raster.heights = {0, 0.1f, 0.2f, 0, 0, 10};
    const std::vector<unsigned char> normals = normalMapPixels(raster);
    ASSERT_EQ(normals.size(), 18u);
    const double length = std::sqrt(1.01); // the normal (-0.1, 0, 1) leans west
    EXPECT_NEAR(normals[0], (1 - 0.1 / length) / 2 * 255, 0.6);
    EXPECT_EQ(normals[1], 128);
    EXPECT_NEAR(normals[2], (1 + 1 / length) / 2 * 255, 0.6);
    // The cliff faces north-west: the northward slope is negative, so green leans up.
    EXPECT_GT(normals[5 * 3 + 1], 128);
    EXPECT_LT(normals[5 * 3], 128);
    const std::vector<unsigned char> splat = splatMapPixels(raster);
    for (std::size_t p = 0; p < 6; ++p)
        EXPECT_EQ(splat[4 * p] + splat[4 * p + 1] + splat[4 * p + 2] + splat[4 * p + 3], 255)
            << "pixel " << p;
    EXPECT_EQ(splat[4 * 5 + 1], 255) << "the cliff is rock";
    EXPECT_EQ(splat[4 * 0 + 3], 255) << "gentle low ground";

    HeightRaster flat = raster;
    flat.heights.assign(6, 3.0f);
    const std::vector<unsigned char> level = normalMapPixels(flat);
    EXPECT_EQ(std::vector<unsigned char>(level.begin(), level.begin() + 3),
              (std::vector<unsigned char>{128, 128, 255}));

    // Written beside a mesh, from its native raster; the material names the splat map.
    HeightmapExport s;
    s.format = HeightmapFormat::obj;
    const std::string obj = path("mapped.obj");
    s.normalMapFile = obj + ".normal.png";
    s.splatMapFile = obj + ".splat.png";
    std::string error;
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, s, obj, error)) << error;
    png_uint_32 width = 0;
    int channels = 0;
    EXPECT_FALSE(pngSamples(s.normalMapFile, width, channels).empty());
    EXPECT_EQ(channels, 3);
    EXPECT_FALSE(pngSamples(s.splatMapFile, width, channels).empty());
    EXPECT_EQ(channels, 4);
    const std::string material = readWholeFile(obj.substr(0, obj.size() - 4) + ".mtl");
    EXPECT_NE(material.find("map_Kd " + s.splatMapFile.substr(s.splatMapFile.rfind('/') + 1)),
              std::string::npos)
        << material;
}

// Regression: the heightmap was replaced, then its metadata could not be written and the
// export failed, leaving the previous heightmap lost.
TEST(ExportSet, AFileOfTheSetThatCannotBeCreatedLeavesEveryPreviousFile) {
    const std::string file = path("kept.png");
    std::string error;
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, sized(HeightmapFormat::png16, 65), file, error));
    const std::string previous = readWholeFile(file);
    ASSERT_EQ(std::remove((file + ".json").c_str()), 0);
    ASSERT_EQ(mkdir((file + ".json").c_str(), 0755), 0); // in the way of the metadata

    std::vector<double> shares;
    HeightmapExport larger = sized(HeightmapFormat::png16, 129);
    larger.progress = [&](double share) { shares.push_back(share); };
    EXPECT_FALSE(exportHeightmap(ridge(), 4.0, larger, file, error));
    EXPECT_EQ(error, "cannot create " + file + ".json: Is a directory");
    EXPECT_EQ(readWholeFile(file), previous);
    EXPECT_EQ(filesStartingWith(file), 3) << "no temporary file is left";

    ASSERT_EQ(rmdir((file + ".json").c_str()), 0);
    shares.clear();
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, larger, file, error)) << error;
    EXPECT_NE(readWholeFile(file), previous);
    ASSERT_GE(shares.size(), 3u);
    EXPECT_EQ(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
}

TEST(ExportSet, NamesEveryFileItWritesBeforehandAndRefusesOneFileTwiceBeforeCreatingAny) {
    HeightmapExport tiled = sized(HeightmapFormat::png16, 129);
    tiled.tilesAcross = tiled.tilesDown = 2;
    tiled.place.crs = "EPSG:32632";
    tiled.normalMapFile = path("normal.png");
    tiled.splatMapFile = path("splat.png");
    HeightmapExport grid = sized(HeightmapFormat::asc, 65);
    grid.place.crs = "EPSG:4326";
    HeightmapExport mesh = sized(HeightmapFormat::obj, 65);
    mesh.splatMapFile = path("mesh-splat.png");
    std::string error;
    for (const auto& [settings, name] :
         {std::pair{tiled, "tiled.png"}, std::pair{grid, "grid.asc"}, std::pair{mesh, "m.obj"}}) {
        const std::string output = path(name);
        ExportReport report;
        ASSERT_TRUE(exportHeightmap(ridge(), 4.0, settings, output, error, &report)) << error;
        std::set<std::string> planned;
        for (const ExportSetFile& file : exportSetFiles(settings, output))
            planned.insert(file.file);
        EXPECT_EQ(planned, std::set<std::string>(report.files.begin(), report.files.end()));
    }

    const std::string folder = path("collisions");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(symlink("m.png", (folder + "/link.png").c_str()), 0); // dangling: m.png is made
    HeightmapExport prj = grid, obj = mesh, maps = sized(HeightmapFormat::png16, 65);
    prj.place.crs = "EPSG:4326";
    obj.splatMapFile = folder + "/q.png";
    maps.normalMapFile = folder + "/./m.png";
    maps.splatMapFile = folder + "/link.png";
    HeightmapExport tile = maps;
    tile.tilesAcross = 2;
    tile.tilesDown = 1;
    tile.splatMapFile = folder + "/t_x1_y0.png";
    const std::pair<HeightmapExport, std::string> cases[] = {
        {prj, "x.prj"}, {obj, "z.mtl"}, {obj, "q.png"}, {maps, "h.png"}, {tile, "t.png"}};
    const std::string says[] = {
        "write " + folder +
            "/x.prj twice: as the heightmap and as the reference "
            "system (.prj) of the heightmap",
        "as the mesh and as the mesh's material file (.mtl)", "as the mesh and as the splat map",
        "as the normal map and as the splat map", "as the tile x1 y0 and as the splat map"};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_FALSE(
            exportHeightmap(ridge(), 4.0, cases[k].first, folder + "/" + cases[k].second, error));
        EXPECT_NE(error.find(says[k]), std::string::npos) << error;
        EXPECT_EQ(command("ls -A " + folder), "link.png\n") << "nothing created: " << error;
    }
    // A hard link is one file under two names.
    std::fclose(std::fopen((folder + "/a.png").c_str(), "w"));
    ASSERT_EQ(link((folder + "/a.png").c_str(), (folder + "/b.png").c_str()), 0);
    maps.normalMapFile = folder + "/a.png";
    maps.splatMapFile = folder + "/b.png";
    EXPECT_FALSE(checkExportSetDistinct(exportSetFiles(maps, folder + "/h.png"), error));
    EXPECT_NE(error.find("(" + folder + "/a.png is the same file)"), std::string::npos) << error;
}

TEST(ExportSet, AnExportWaitsWhileAnotherWritesIntoItsFolder) {
    const std::string output = path("locked.png");
    const HeightmapExport settings = sized(HeightmapFormat::png16, 65);
    ExportSetLock held;
    held.acquire(exportSetFiles(settings, output));
    std::string waitedFor, error;
    HeightmapExport waiting = settings;
    waiting.waiting = [&](const std::string& folder) { waitedFor = folder; };
    bool saved = false;
    std::thread other([&] { saved = exportHeightmap(ridge(), 4.0, waiting, output, error); });
    usleep(300000);
    EXPECT_FALSE(exists(output)) << "nothing is written while the lock is held";
    held.release();
    other.join();
    EXPECT_TRUE(saved) << error;
    const std::string resolved = resolvedFilePath(output);
    EXPECT_EQ(waitedFor, resolved.substr(0, resolved.rfind('/')));
}

TEST(ExportSet, AReferenceSystemIsReadOnlyFromABoundedRegularFileAndSaysWhyNot) {
    const std::string fifo = path("crs.fifo"), big = path("big.prj"), nul = path("nul.prj");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::FILE* out = std::fopen(big.c_str(), "w");
    std::fputs(("GEOGCS[\"" + std::string(70000, 'x') + "\"]").c_str(), out);
    std::fclose(out);
    out = std::fopen(nul.c_str(), "w");
    std::fwrite("GEOGCS[\"x\"]\0", 1, 12, out);
    std::fclose(out);
    std::string crs, error;
    for (const auto& [file, says] :
         {std::pair{fifo, fifo + " is a pipe (FIFO), not a file holding WKT"},
          std::pair{scratchFolder(), scratchFolder() + " is a folder"},
          std::pair{std::string("/dev/zero"), std::string("/dev/zero is a device")},
          std::pair{big, big + " is larger than 64 KiB"}, std::pair{nul, nul + " holds a NUL byte"},
          std::pair{path("none.prj"), std::string("given to --crs: No such file or directory")}}) {
        EXPECT_FALSE(readCrs(file, crs, error)) << file;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
}

// A window's Cancel: asked after the last file was written, it still keeps every previous file
// and leaves no temporary file; the export says it was cancelled.
TEST(ExportSet, ACancelledSetLeavesEveryPreviousFile) {
    const std::string file = path("cancelled.png");
    std::string error;
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, sized(HeightmapFormat::png16, 65), file, error));
    const std::string previous = readWholeFile(file);
    const std::string metadata = readWholeFile(file + ".json");
    const int files = filesStartingWith(file);

    HeightmapExport larger = sized(HeightmapFormat::png16, 129);
    int questions = 0;
    larger.cancelled = [&] { return ++questions < 0; };
    ASSERT_TRUE(exportHeightmap(ridge(), 4.0, larger, path("counted.png"), error));
    ASSERT_GE(questions, 2);
    // Stops at the last question, when every file of the set is written and none committed.
    int asked = 0;
    larger.cancelled = [&] { return ++asked == questions; };
    EXPECT_FALSE(exportHeightmap(ridge(), 4.0, larger, file, error));
    EXPECT_EQ(error, exportCancelled);
    EXPECT_EQ(readWholeFile(file), previous);
    EXPECT_EQ(readWholeFile(file + ".json"), metadata);
    EXPECT_EQ(filesStartingWith(file), files) << "no temporary file is left";
}

// The window's dialog and the builder share these rules: a map named without a folder is
// checked where it will be written, beside the heightmap, and a native raster must fit the
// tiles asked for.
TEST(ExportSet, SettingsChecksSeeMapsBesideTheHeightmapAndTheNativeSize) {
    HeightmapExport settings;
    settings.format = HeightmapFormat::png16;
    settings.splatMapFile = "peak.png";
    settings.normalMapFile = "maps/n.png";
    const HeightmapExport placed = mapsBesideOutput(settings, "/data/out/peak.png");
    EXPECT_EQ(placed.splatMapFile, "/data/out/peak.png");
    EXPECT_EQ(placed.normalMapFile, "maps/n.png");
    EXPECT_EQ(mapsBesideOutput(settings, "/peak.png").splatMapFile, "/peak.png");
    EXPECT_NE(exportSettingsRefusal(settings, "/data/out/peak.png", 0, 0).find("twice"),
              std::string::npos);

    settings.splatMapFile.clear();
    settings.normalMapFile.clear();
    settings.tilesAcross = settings.tilesDown = 1;
    EXPECT_TRUE(exportSettingsRefusal(settings, "/data/out/peak.png", 4097, 300).empty());
    EXPECT_EQ(exportSettingsRefusal(settings, "/data/out/peak.png", 4098, 300)
                  .rfind("no tile side of 33 to 4097 cells holds", 0),
              0u);
    settings.format = HeightmapFormat::obj;
    EXPECT_EQ(exportSettingsRefusal(settings, "/data/out/peak.obj", 0, 0),
              "--tiles applies to the raster formats asc, png16, r16 and exr, not to obj");
}

// A Cancel pressed while a large file is written takes effect between row bands, not after the
// file: every format and the maps tell progress while they write, and stopping inside any of
// them keeps every previous file and leaves no temporary file.
TEST(ExportSet, ACancelInsideAFileStopsItBetweenRowBands) {
    HeightRaster raster;
    raster.width = raster.height = 200;
    raster.cellSize = 1.0;
    for (int i = 0; i < 200 * 200; ++i)
        raster.heights.push_back(static_cast<float>(std::sin(i * 0.001) * 40.0));
    for (const HeightmapFormat format :
         {HeightmapFormat::asc, HeightmapFormat::png16, HeightmapFormat::r16, HeightmapFormat::exr,
          HeightmapFormat::obj}) {
        const std::string file = path(std::string("band.") + heightmapFormatName(format));
        HeightmapExport settings = sized(format, 200);
        settings.splatMapFile = file + "-splat.png";
        std::string error;
        ASSERT_TRUE(exportHeightRaster(raster, settings, file, error)) << error;
        const std::string previous = readWholeFile(file);
        const std::string splat = readWholeFile(settings.splatMapFile);
        const int files = filesStartingWith(file);

        // Stopped at each third of the work: in the heightmap, in the map's pixels, in its PNG.
        for (const double at : {0.3, 0.6, 0.9}) {
            std::vector<double> shares;
            settings.progress = [&](double share) { shares.push_back(share); };
            settings.cancelled = [&] { return !shares.empty() && shares.back() >= at; };
            EXPECT_FALSE(exportHeightRaster(raster, settings, file, error));
            EXPECT_EQ(error, exportCancelled);
            ASSERT_FALSE(shares.empty());
            EXPECT_LT(shares.back(), at + 0.05) << heightmapFormatName(format) << " at " << at;
            EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
            EXPECT_EQ(readWholeFile(file), previous);
            EXPECT_EQ(readWholeFile(settings.splatMapFile), splat);
            EXPECT_EQ(filesStartingWith(file), files) << "no temporary file is left";
        }
    }
}

// Where the folder takes no new file, the set is rewritten in place; a Cancel arriving then is
// too late, and the export finishes rather than leave new rows over the old file's tail.
TEST(ExportSet, ACancelAfterRewritingInPlaceFinishesTheFile) {
    char pattern[] = "/tmp/mondrel-inplace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, file = folder + "/h.asc", expected = path("inplace.asc");
    HeightRaster raster;
    raster.width = raster.height = 60;
    raster.cellSize = 1.0;
    raster.heights.assign(60 * 60, 5.0f);
    HeightmapExport settings = sized(HeightmapFormat::asc, 60);
    std::string error;
    ASSERT_TRUE(exportHeightRaster(raster, settings, expected, error)) << error;
    std::FILE* old = std::fopen(file.c_str(), "w");
    std::fputs(std::string(200000, 'X').c_str(), old);
    std::fclose(old);
    const bool root = geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), nobody, nobody), 0);
    }
    chmod(folder.c_str(), 0555);
    const pid_t child = fork();
    if (child == 0) {
        if (root && (setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(10);
        double last = 0.0;
        settings.progress = [&](double share) { last = share; };
        settings.cancelled = [&] { return last >= 0.99; };
        std::string childError;
        _exit(exportHeightRaster(raster, settings, file, childError) ? 0 : 11);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folder.c_str(), 0700);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(readWholeFile(file), readWholeFile(expected));
    std::remove(file.c_str());
    rmdir(folder.c_str());
}
