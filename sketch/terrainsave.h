#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "heightmap/heightmapexport.h"
#include "natural/naturalterrain.h"
#include "sketch/sketchmodel.h"

// Saving the model's terrain in any of the terrain formats (heightmap/heightmapformat.h): the
// ".grd" grid exactly as "Save Terrain" writes it, or a heightmap or mesh for other tools. The
// heightmaps always lay the rows the model's rowSpacing() apart, so an exported terrain is as
// deep as the one the user shaped. Shared by the window and the headless builder.

// What the terrain was built from, for the metadata beside a 16-bit heightmap:
//
//     { "program": "mondrel-build", "input": "peak.c2d", "stage": 3,
//       "settings": { "profileRandomness": 0, "bottomDropOff": 0.3, "detailRandomness": 20,
//                     "profileColumns": [0, 7, 25] } }
//
// The randomness values are the sliders' (0 to 99), the drop-off the model's, rounded to two
// decimals; profileColumns are the columns holding a profile of their own. An empty input
// (a curve drawn in the window and never saved) is written as null.
nlohmann::ordered_json terrainSource(const SketchModel& model, const std::string& program,
                                     const std::string& input);

// Whether the format can be written to a pipe: not EXR (OpenEXR seeks back in its file) and no
// 16-bit format (their metadata file needs the heightmap's name).
bool streamableFormat(HeightmapFormat format);

// Writes the model's terrain to the file `name` in settings.format, atomically (a failure
// leaves no partial file and a previous file as it was). grd is written as SketchModel::
// exportGRD writes it (settings other than the format do not apply); every other format by
// exportHeightmap with the model's grid and rowSpacing(). A successful heightmap prints
// "Heightmap NAME has been written successfully" when the model prints. False with a
// one-line reason, also when the model has no terrain to save.
bool saveTerrainAs(const SketchModel& model, const std::string& name,
                   const HeightmapExport& settings, std::string& message,
                   ExportReport* report = nullptr);

// Writes the model's terrain to an open stream in a streamable format. False with a one-line
// reason when there is no terrain, the format cannot be streamed or a write failed.
bool writeTerrainTo(std::FILE* out, const SketchModel& model, const HeightmapExport& settings,
                    std::string& message);

// What the natural construction stands on: the grid and every layer's range, placed in the
// world by the model's camera and divided by the export's scale into the grid's units.
// Straight on that is the grid and the skylines as drawn; in perspective the front layer's
// view pixels become the world its distance shows (the grid with them, so that the native
// raster's cells are those of the drawing there), and every layer's skyline lies at its own
// distance, the farther the larger, seen by a viewer at the camera.
struct NaturalGround {
    const std::vector<std::vector<gmVector2>>& grid() const;
    double rowSpacing = 0.0;
    std::vector<NaturalRange> ranges;

    const std::vector<std::vector<gmVector2>>* modelGrid = nullptr;
    std::vector<std::vector<gmVector2>> placedGrid;
    bool placed = false;
};
NaturalGround naturalGround(const SketchModel& model, double scale);

// The size in cells of the terrain's native heightmap raster. False when there is no terrain
// that could be resampled (the size would not fit either).
bool nativeHeightmapSize(const SketchModel& model, int& width, int& height);
// The same for the model's natural terrain with its natural settings, its layers' depths
// taken at the export's scale (world units per sketch pixel).
bool nativeNaturalSize(const SketchModel& model, int& width, int& height, double scale = 1.0);

// The natural terrain's settings as the metadata names them:
//
//     { "slope": 0.5, "frontProfile": 1.6, "detail": 0.5, "erosion": 0.5,
//       "erosionSteps": 24, "seed": 1 }
nlohmann::ordered_json naturalSettingsJson(const NaturalSettings& natural);

// Builds the model's terrain as a natural terrain (natural/naturalterrain.h) at
// settings.raster's size and scale, on `threads` threads (0: all cores; the bytes are the same
// with any number). settings.cancelled, when set, may stop the construction between levels;
// `progress`, when set, hears the share of the construction done after each level.
bool buildNaturalRaster(const SketchModel& model, const HeightmapExport& settings,
                        const NaturalSettings& natural, HeightRaster& raster, std::string& message,
                        int threads = 0, const std::function<void(double)>& progress = {});

// Writes the model's terrain as a natural terrain to the file `name` in settings.format, as
// saveTerrainAs writes the plain one: atomically, with the metadata beside a 16-bit file, whose
// "source" gains a "natural" object naming the settings. The grd format has no natural form
// (the grid stays the model's own) and is refused. A successful write prints "Heightmap NAME
// has been written successfully" when the model prints. The window and the builder share this,
// so the same model and settings give the same bytes from either.
bool saveNaturalTerrainAs(const SketchModel& model, const std::string& name,
                          const HeightmapExport& settings, const NaturalSettings& natural,
                          std::string& message, ExportReport* report = nullptr);

// Writes the model's natural terrain to an open stream as an ASCII grid or an OBJ mesh.
bool writeNaturalTerrainTo(std::FILE* out, const SketchModel& model,
                           const HeightmapExport& settings, const NaturalSettings& natural,
                           std::string& message);
