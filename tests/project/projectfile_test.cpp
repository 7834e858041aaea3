// Project files: an exact round trip, the files that are refused, and where the background
// image's path points.
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "../sketch/modeltesting.h"
#include "project/projectfile.h"

using modeltesting::drawCurve;
using modeltesting::quietModel;
using modeltesting::readFile;
using modeltesting::temporaryPath;
using modeltesting::writeFile;

namespace {

using Json = nlohmann::ordered_json;

// A stage-3 model with a column profile and values that single precision cannot hold
// exactly; its curve heights carry fractions the curve file would round away.
SketchModel refinedModel() {
    SketchModel model = quietModel();
    drawCurve(model, 10, 609, [](int x) { return 120.0 + 50.0 * ((x / 13) % 4); });
    model.next();
    model.selectProfile(9);
    SketchModel::PointList profile = model.selectedProfile();
    for (gmVector2& point : profile)
        point[1] = point[1] * point[1] / 3.0;
    model.setSelectedProfile(profile);
    model.next();
    model.randomnessChanged(37);
    model.changeBottomDropOff(true);
    model.next();
    model.randomnessChanged(61);
    return model;
}

Project projectOf(const SketchModel& model) {
    Project project;
    project.sketch = model.state();
    project.rotX = 12.7f;
    project.rotY = -33.3f;
    project.backgroundImage = "photos/ridge.png";
    return project;
}

// A small valid stage-1 document to take apart.
Json validDocument() {
    SketchModel model = quietModel();
    drawCurve(model, 0, 299, [](int x) { return 100.0 + x % 11; });
    model.next();
    return Json::parse(projectText(projectOf(model)));
}

// The document's text with more inserted right after its opening brace.
Json withText(const Json& document, const std::string& more) {
    return document.dump().insert(1, more);
}

Project reread(const Project& project) {
    Project read;
    std::string reason;
    EXPECT_TRUE(parseProjectText(projectText(project), read, reason)) << reason;
    return read;
}

Json layerJson(double distance) {
    return {{"name", "Ridge"},
            {"colour", "#3366cc"},
            {"distance", distance},
            {"visible", true},
            {"locked", false}};
}

} // namespace

TEST(ProjectFile, RoundTripIsExactAndRebuildsTheSameTerrain) {
    for (int stage : {0, 3}) {
        SketchModel model = stage == 0 ? quietModel() : refinedModel();
        if (stage == 0)
            drawCurve(model, 0, 99, [](int x) { return 100.5 + x / 7.0; });
        const std::string first = temporaryPath("first.mondrel");
        std::string message;
        ASSERT_TRUE(writeProjectFile(first, projectOf(model), message)) << message;

        Project read;
        ASSERT_TRUE(readProjectFile(first, read, message)) << message;
        EXPECT_EQ(read.rotX, 12.7f);
        EXPECT_EQ(read.rotY, -33.3f);
        EXPECT_EQ(read.backgroundImage, "photos/ridge.png");
        EXPECT_TRUE(read.sketch.sameTerrainInputs(model.state())) << "stage " << stage;
        EXPECT_EQ(read.sketch.selectedColumn, model.currentProfile());

        SketchModel restored = quietModel();
        restored.restore(read.sketch);
        EXPECT_TRUE(restored.grid() == model.grid()) << "stage " << stage;

        const std::string second = temporaryPath("second.mondrel");
        ASSERT_TRUE(writeProjectFile(second, read, message)) << message;
        EXPECT_EQ(readFile(second), readFile(first)) << "stage " << stage;
        EXPECT_TRUE(looksLikeProjectFile(second));
    }
}

struct BadFile {
    const char* what;
    std::function<void(Json&)> spoil;
    const char* reason;
};

class RefusedProject : public testing::TestWithParam<BadFile> {};

TEST_P(RefusedProject, IsRefusedWithOneMessageNamingTheFileAndTheFault) {
    Json document = validDocument();
    GetParam().spoil(document);
    const std::string file = temporaryPath("bad.mondrel");
    ASSERT_TRUE(document.is_string() || document.is_object());
    writeFile(file, document.is_string() ? document.get<std::string>() : document.dump());
    Project project;
    project.backgroundImage = "untouched";
    std::string message;
    EXPECT_FALSE(readProjectFile(file, project, message));
    EXPECT_EQ(message.rfind("Cannot open the project " + file + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
    EXPECT_EQ(project.backgroundImage, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedProject,
    testing::Values(
        BadFile{"not_json", [](Json& d) { d = "hill 3 //size"; }, "is not a JSON document"},
        BadFile{"other_format", [](Json& d) { d["format"] = "Other"; }, "is not a Mondrel project"},
        BadFile{"newer_version", [](Json& d) { d["version"] = 2; },
                "written by a newer Mondrel (format version 2"},
        BadFile{"missing_field", [](Json& d) { d.erase("curve"); }, "\"curve\" is missing"},
        BadFile{"stage_out_of_range", [](Json& d) { d["stage"] = 4; },
                "\"stage\" must lie between 0 and 3"},
        BadFile{"point_not_a_pair",
                [](Json& d) {
                    d["curve"][3] = {1.0, 2.0, 3.0};
                },
                "\"curve\" point 3 must be an [x, y] pair"},
        BadFile{"nan_written_as_null", [](Json& d) { d["silhouette"][0][0] = nullptr; },
                "\"silhouette\" point 0 must be a number"},
        BadFile{"non_finite_number",
                [](Json& d) {
                    std::string text = d.dump();
                    const std::size_t at = text.find("\"bottomDropOff\":") + 16;
                    d = text.replace(at, text.find(',', at) - at, "1e999");
                },
                "number overflow"},
        BadFile{"column_outside_the_grid",
                [](Json& d) {
                    const Json profile = d["globalProfile"];
                    d["columnProfiles"] = {Json{{"column", 0}, {"profile", profile}},
                                           Json{{"column", 40}, {"profile", profile}}};
                },
                "has column 40, outside the grid's columns 0 to"},
        BadFile{"randomness_above_one", [](Json& d) { d["detailRandomness"] = 1.5; },
                "\"detailRandomness\" must lie between 0 and 1"},
        BadFile{"details_in_stage_0", [](Json& d) { d["stage"] = 0; },
                "\"detailLevels\" must be empty in stage 0"},
        // Regression: the last of two "stage" keys won silently.
        BadFile{"key_given_twice", [](Json& d) { d = withText(d, "\"stage\":3,"); },
                "\"stage\" is given twice"},
        BadFile{"unknown_key_given_twice",
                [](Json& d) { d = withText(d, "\"note\":1,\"note\":2,"); },
                "\"note\" is given twice"},
        BadFile{"view_angle_given_twice",
                [](Json& d) {
                    std::string text = d.dump();
                    const std::string rotX = "\"rotX\":";
                    d = text.insert(text.find(rotX), rotX + "5,");
                },
                "\"rotX\" is given twice"},
        // Regression: the path was cut at the NUL and another image opened.
        BadFile{"nul_in_image_path",
                [](Json& d) { d["backgroundImage"] = std::string("x\0y.png", 7); },
                "\"backgroundImage\" holds a NUL character"},
        // Regression: 8 MiB of "[" took 671 MB to refuse.
        BadFile{"nested_deeper_than_a_project",
                [](Json& d) { d["note"] = Json::parse("[[[[[1]]]]]"); },
                "it nests deeper than a project does (more than 5 levels)"},
        BadFile{"coordinate_that_is_a_list", [](Json& d) { d["curve"][2][1] = Json::array({1.0}); },
                "\"curve\" point 2 must be a number"},
        BadFile{"point_list_of_the_wrong_kind", [](Json& d) { d["curve"] = Json::object(); },
                "\"curve\" must be a list of [x, y] points"},
        BadFile{"stage_of_the_wrong_kind", [](Json& d) { d["stage"] = Json::array(); },
                "\"stage\" must be a whole number"},
        BadFile{"entry_missing_its_profile",
                [](Json& d) {
                    d["columnProfiles"] = {Json{{"column", 0}}};
                },
                "\"profile\" is missing"},
        BadFile{"front_layer_with_a_skyline",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["skyline"] = Json::array();
                },
                "is the front layer, whose skyline is \"silhouette\""},
        BadFile{"layer_without_its_skyline",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0), layerJson(2000.0)};
                },
                "\"layers\" entry 1's \"skyline\" is missing"},
        BadFile{"layers_out_of_order",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0), layerJson(500.0)};
                    d["layers"][1]["skyline"] = Json::array();
                },
                "\"layers\" entry 1 lies nearer than the entry before it"},
        BadFile{"layer_distance_zero", [](Json& d) { d["layers"] = {layerJson(0.0)}; },
                "\"layers\" entry 0's distance must lie above 0"},
        BadFile{"layer_colour_not_hex",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["colour"] = "orange";
                },
                "\"layers\" entry 0's colour must be a string \"#rrggbb\""},
        BadFile{"divide_course_not_rising",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["divideCourse"] = {{0.0, 1.0}, {5.0, 2.0}, {5.0, 3.0}};
                },
                "\"layers\" entry 0's divide course is refused: the divide's course point 2 "
                "must lie east of the point before it"},
        BadFile{"divide_course_beyond_any_terrain",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["divideCourse"] = {{0.0, 1.0}, {5.0, 2e8}};
                },
                "the divide's course point 1 must be finite and within 1e7 either way"},
        BadFile{"divide_course_of_one_point",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["divideCourse"] = {{0.0, 1.0}};
                },
                "a divide's course holds 2 to 4096 points, not 1"},
        BadFile{"divide_course_not_numbers",
                [](Json& d) {
                    d["layers"] = {layerJson(1000.0)};
                    d["layers"][0]["divideCourse"] = {{0.0, 1.0}, {"east", 2.0}};
                },
                "\"layers\" entry 0's divide course point 1 must be a number"},
        BadFile{"current_layer_missing", [](Json& d) { d["currentLayer"] = 1; },
                "\"currentLayer\" 1 is not one of the layers 0 to 0"},
        BadFile{"too_many_unknown_keys",
                [](Json& d) {
                    for (int k = 0; k < 257; ++k)
                        d["note" + std::to_string(k)] = k;
                },
                "more than 256 keys in one object that Mondrel does not know"}),
    [](const testing::TestParamInfo<BadFile>& param) { return std::string(param.param.what); });

// The natural terrain's switch and settings read back exactly; a project that leaves them at
// their first values does not write them, and one without them reads with those.
TEST(ProjectFile, NaturalSettingsRoundTripAndAreOptional) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 199, [](int x) { return 100.0 + x % 17; });
    model.next();
    Project project = projectOf(model);
    EXPECT_EQ(projectText(project).find("\"natural\""), std::string::npos);
    EXPECT_FALSE(reread(project).sketch.naturalTerrain);

    project.sketch.naturalTerrain = true;
    project.sketch.natural.slope = 0.1 + 1e-12; // a double that a float would round
    project.sketch.natural.frontProfile = 4.0;
    project.sketch.natural.detail = 0.0;
    project.sketch.natural.erosion = 1.0;
    project.sketch.natural.erosionSteps = 500;
    project.sketch.natural.seed = 0xffffffffu;
    Project read = reread(project);
    EXPECT_TRUE(read.sketch.naturalTerrain);
    EXPECT_EQ(read.sketch.natural, project.sketch.natural);
    EXPECT_TRUE(read.sketch.sameTerrainInputs(project.sketch));

    // Off, but with settings of its own: they are kept for when it is switched on.
    project.sketch.naturalTerrain = false;
    read = reread(project);
    EXPECT_FALSE(read.sketch.naturalTerrain);
    EXPECT_EQ(read.sketch.natural.seed, 0xffffffffu);
}

TEST(ProjectFile, NaturalSettingsOutsideTheirRangesAreRefused) {
    const Json good = {{"on", true},    {"slope", 0.5},   {"frontProfile", 1.6},
                       {"detail", 0.5}, {"erosion", 0.5}, {"erosionSteps", 24},
                       {"seed", 1}};
    const std::pair<std::function<void(Json&)>, std::string> cases[] = {
        {[](Json& n) { n["slope"] = 0.01; }, "\"natural\"'s \"slope\" must lie between 0.05 and 5"},
        {[](Json& n) { n["frontProfile"] = 4.5; }, "\"frontProfile\" must lie between 0.5 and 4"},
        {[](Json& n) { n["erosion"] = -0.1; }, "\"erosion\" must lie between 0 and 1"},
        {[](Json& n) { n["erosionSteps"] = 0; }, "\"erosionSteps\""},
        {[](Json& n) { n["erosionSteps"] = 2.5; }, "\"erosionSteps\" must be a whole number"},
        {[](Json& n) { n["seed"] = 4294967296.0; }, "\"seed\" must be a whole number"},
        {[](Json& n) { n["seed"] = 4294967296; }, "\"seed\""},
        {[](Json& n) { n["on"] = 1; }, "\"on\" must be true or false"},
        {[](Json& n) { n.erase("detail"); }, "\"detail\" is missing"},
        {[](Json& n) { n = Json::array(); }, "\"natural\" must be an object"},
    };
    for (const auto& [spoil, reason] : cases) {
        Json document = validDocument();
        Json natural = good;
        spoil(natural);
        document["natural"] = natural;
        Project project;
        project.rotX = 5.0f;
        std::string why;
        EXPECT_FALSE(parseProjectText(document.dump(), project, why)) << document["natural"];
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_EQ(project.rotX, 5.0f);
    }
    // Keys it does not know are passed over, as everywhere in a project.
    Json document = validDocument();
    Json natural = good;
    natural["future"] = {1, 2, 3};
    document["natural"] = natural;
    Project project;
    std::string why;
    ASSERT_TRUE(parseProjectText(document.dump(), project, why)) << why;
    EXPECT_TRUE(project.sketch.naturalTerrain);
}

// Whatever Mondrel can hold, it writes so that it reads it back the same.
TEST(ProjectFile, ExtremeValuesReadBackAsWritten) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 99, [](int x) { return 100.0 + x; });
    Project project = projectOf(model);
    const double huge = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    const SketchState::PointList extremes{{-huge, huge}, {tiny, -tiny}, {-0.0, 1e-300}};
    project.sketch.curve = std::make_shared<const SketchState::PointList>(extremes);
    project.sketch.silhouette = project.sketch.curve;
    project.sketch.globalProfile = project.sketch.curve;
    project.sketch.profileRandomness = 1.0f;
    project.sketch.bottomDropOff = std::numeric_limits<float>::denorm_min();
    project.rotX = std::numeric_limits<float>::max();
    project.rotY = -std::numeric_limits<float>::max();
    project.backgroundImage = "h\u00fcgel \"quoted\"\\back\tslash.png";

    const Project read = reread(project);
    EXPECT_TRUE(read.sketch.sameTerrainInputs(project.sketch));
    EXPECT_TRUE(std::signbit((*read.sketch.curve)[2][0]));
    EXPECT_EQ(read.rotX, project.rotX);
    EXPECT_EQ(read.rotY, project.rotY);
    EXPECT_EQ(read.backgroundImage, project.backgroundImage);
    EXPECT_EQ(projectText(read), projectText(project));
}

// Regression: an angle of 3.5e38 was read as an infinite float and saved as null, and the saved
// project could not be opened again.
TEST(ProjectFile, ViewAnglesBeyondAFloatAreBroughtIntoOneTurn) {
    Json document = validDocument();
    document["view"] = {{"rotX", 3.5e38}, {"rotY", -1e300}};
    Project project;
    std::string reason;
    ASSERT_TRUE(parseProjectText(document.dump(), project, reason)) << reason;
    EXPECT_EQ(project.rotX, static_cast<float>(std::fmod(3.5e38, 360.0)));
    EXPECT_EQ(project.rotY, static_cast<float>(std::fmod(-1e300, 360.0)));
    EXPECT_GT(project.rotX, -360.0f);
    EXPECT_LT(project.rotX, 360.0f);
    EXPECT_EQ(reread(project).rotX, project.rotX);
}

TEST(ProjectFile, UnknownKeysAreSkippedAndAByteOrderMarkIsPassedOver) {
    Json document = validDocument();
    // 200,000 empty objects once took nearly a minute to refuse; now they are walked over.
    document["note"] = Json::array();
    for (int k = 0; k < 200000; ++k)
        document["note"].push_back(Json::object());
    document["view"]["zoom"] = {{"a", {1, "b", nullptr}}};
    Project project;
    std::string reason;
    EXPECT_TRUE(parseProjectText(document.dump(), project, reason)) << reason;

    const std::string file = temporaryPath("marked.mondrel");
    writeFile(file, "\xEF\xBB\xBF \n" + validDocument().dump());
    EXPECT_TRUE(looksLikeProjectFile(file));
    std::string message;
    EXPECT_TRUE(readProjectFile(file, project, message)) << message;
}

TEST(ProjectFile, MoreThanTheMostPointsAreRefused) {
    const std::string text = validDocument().dump();
    Project project;
    std::string reason;
    // 300 silhouette points alone exceed 100; far more numbers stop the parser itself.
    EXPECT_FALSE(parseProjectText(text, project, reason, 100));
    EXPECT_EQ(reason, "it holds more than 100 points");
    EXPECT_FALSE(parseProjectText(text, project, reason, 10));
    EXPECT_EQ(reason, "it holds more than 10 points");
    EXPECT_TRUE(parseProjectText(text, project, reason));
    // Empty lists and unknown values cost memory and time too, and are limited alike.
    EXPECT_FALSE(parseProjectText(R"({"detailLevels":[[],[],[],[]]})", project, reason, 3));
    EXPECT_EQ(reason, "it holds more than 3 point lists");
    EXPECT_FALSE(parseProjectText(R"({"note":[{},[],{"a":null}]})", project, reason, 3));
    EXPECT_EQ(reason, "it holds more than 3 values that Mondrel does not know");

    // A huge file is refused by its size, before a byte of it is read (sparse: costs nothing).
    const std::string huge = temporaryPath("huge.mondrel");
    writeFile(huge, text);
    ASSERT_EQ(truncate(huge.c_str(), static_cast<off_t>(maxProjectFileBytes) + 1), 0);
    std::string message;
    EXPECT_FALSE(readProjectFile(huge, project, message));
    EXPECT_EQ(message, "Cannot open the project " + huge +
                           ": it is larger than 640 MiB, more than any project holds.");
    std::remove(huge.c_str());
}

TEST(ProjectFile, UnwritableOrUnreadableFilesAreNamed) {
    const std::string nowhere = temporaryPath("no-such-folder") + "/hill.mondrel";
    std::string message;
    EXPECT_FALSE(writeProjectFile(nowhere, projectOf(quietModel()), message));
    EXPECT_EQ(message, "Cannot save the project " + nowhere + ": No such file or directory.");
    // The system's reason, also where root may write anywhere.
    const std::string file = temporaryPath("plain.txt");
    writeFile(file, "text");
    EXPECT_FALSE(writeProjectFile(file + "/hill.mondrel", projectOf(quietModel()), message));
    EXPECT_EQ(message, "Cannot save the project " + file + "/hill.mondrel: Not a directory.");
    EXPECT_FALSE(writeProjectFile("/dev/full", projectOf(quietModel()), message));
    EXPECT_EQ(message, "Cannot save the project /dev/full: No space left on device.");
    Project project;
    EXPECT_FALSE(readProjectFile(nowhere, project, message));
    EXPECT_EQ(message, "Cannot open the project " + nowhere + ": it was not found.");
    EXPECT_FALSE(looksLikeProjectFile(nowhere));
    // A device would never end.
    EXPECT_FALSE(readProjectFile("/dev/zero", project, message));
    EXPECT_EQ(message, "Cannot open the project /dev/zero: it is not a file.");
    EXPECT_FALSE(looksLikeProjectFile("/dev/zero"));
    const std::string folder = temporaryPath("folder.mondrel");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_FALSE(readProjectFile(folder, project, message));
    EXPECT_EQ(message, "Cannot open the project " + folder + ": it is a folder.");
    rmdir(folder.c_str());
}

TEST(ProjectFile, ImagesInOrBelowTheProjectFolderAreStoredRelativeToIt) {
    EXPECT_EQ(imagePathForProject("/work/hills/range.mondrel", "/work/hills/photo.png"),
              "photo.png");
    EXPECT_EQ(imagePathForProject("/work/hills/range.mondrel", "/work/hills/shots/../a/b.png"),
              "a/b.png");
    EXPECT_EQ(imagePathForProject("/work/hills/range.mondrel", "/work/other/photo.png"),
              "/work/other/photo.png");
    EXPECT_EQ(imagePathForProject("/work/hills/range.mondrel", ""), "");
    EXPECT_EQ(imagePathFromProject("/work/hills/range.mondrel", "a/b.png"), "/work/hills/a/b.png");
    EXPECT_EQ(imagePathFromProject("/work/hills/range.mondrel", "/srv/p.png"), "/srv/p.png");
    EXPECT_EQ(imagePathFromProject("/work/hills/range.mondrel", ""), "");
}

// Why: a curve file opened as a project showed a raw JSON parse error, and a project opened as
// a curve "does not begin with a point count"; the box now names the menu entry to use.
TEST(ProjectFile, AFileOfTheOtherKindIsToldByItsContentAndNamesItsMenuEntry) {
    const std::string project = temporaryPath("hill.json");
    writeFile(project, "\xEF\xBB\xBF\r\n\t " + validDocument().dump());
    const std::string curve = temporaryPath("hill.mondrel");
    const struct {
        std::string text;
        FileKind kind;
    } cases[] = {{"  -1", FileKind::curve},
                 {"{", FileKind::project},
                 {"[1]", FileKind::unknown},
                 {"\xEF\xBB\xBF", FileKind::unknown}};
    for (const auto& c : cases) {
        writeFile(curve, c.text);
        EXPECT_EQ(fileKindOf(curve), c.kind) << c.text;
    }
    EXPECT_EQ(fileKindOf(project), FileKind::project);
    EXPECT_EQ(fileKindOf("/dev/zero"), FileKind::unknown);

    writeFile(curve, "3 //size\n1 2\n3 4\n5 6\n");
    EXPECT_EQ(otherKindNotice(project, FileKind::curve),
              project + " is a Mondrel project, not a curve file: open it with File > Open "
                        "Project...");
    EXPECT_EQ(otherKindNotice(curve, FileKind::project),
              curve + " is a curve file, not a Mondrel project: open it with File > Open Curve.");
    EXPECT_EQ(otherKindNotice(project, FileKind::project), "");
    EXPECT_EQ(otherKindNotice(curve, FileKind::curve), "");
}

// Layers behind the front one keep their skylines in the project; the front layer's stays in
// "silhouette", so the terrain and every key a project had before read as they did.
TEST(ProjectFile, LayersRoundTripByteForByteAndOldFilesOpenAsOneFrontLayer) {
    SketchModel model = refinedModel();
    const std::string single = projectText(projectOf(model));
    EXPECT_EQ(single.find("\"layers\""), std::string::npos);
    EXPECT_EQ(single.find("\"currentLayer\""), std::string::npos);
    const Project old = reread(projectOf(model));
    ASSERT_EQ(old.sketch.layers.size(), 1u);
    EXPECT_EQ(old.sketch.layers[0].properties, firstLayerProperties());

    model.addLayer();
    drawCurve(model, 40, 439, [](int x) { return 300.25 + x % 19; });
    model.renameLayer(1, "Far \"range\" \u00e9");
    model.setLayerLocked(1, true);
    model.addLayer();
    model.setLayerVisible(2, false);
    model.setLayerDistance(2, 1e9);
    model.selectLayer(1);
    const std::string first = temporaryPath("layers.mondrel");
    std::string message;
    ASSERT_TRUE(writeProjectFile(first, projectOf(model), message)) << message;
    Project read;
    ASSERT_TRUE(readProjectFile(first, read, message)) << message;
    EXPECT_TRUE(read.sketch.sameTerrainInputs(model.state()));
    EXPECT_EQ(read.sketch.currentLayer, 1);
    const std::string second = temporaryPath("layers-again.mondrel");
    ASSERT_TRUE(writeProjectFile(second, read, message)) << message;
    EXPECT_EQ(readFile(second), readFile(first));

    // The keys before layers are the same bytes: the front layer's data stays where it was.
    const Json layered = Json::parse(readFile(first));
    Json withoutLayers = layered;
    withoutLayers.erase("layers");
    withoutLayers.erase("currentLayer");
    EXPECT_EQ(withoutLayers.dump() + "\n", single);
    EXPECT_FALSE(layered["layers"][0].contains("skyline"));
    EXPECT_EQ(layered["layers"][1]["skyline"].size(), model.layerSkyline(1).size());
}

// A divide course drawn from above is kept with its layer, read back exactly and written the
// same bytes again; layers without one carry no key.
TEST(ProjectFile, ADivideCourseRoundTripsByteForByte) {
    SketchModel model = refinedModel();
    model.addLayer();
    std::string reason;
    ASSERT_TRUE(model.setDivideCourse(0, {{40.0, -12.5}, {200.1, 0.1}, {439.0, 1e-3}}, reason))
        << reason;
    const std::string first = temporaryPath("course.mondrel");
    std::string message;
    ASSERT_TRUE(writeProjectFile(first, projectOf(model), message)) << message;
    Project read;
    ASSERT_TRUE(readProjectFile(first, read, message)) << message;
    EXPECT_TRUE(read.sketch.sameTerrainInputs(model.state()));
    EXPECT_EQ(read.sketch.layers[0].properties.divideCourse, model.layerProperties(0).divideCourse);
    const std::string second = temporaryPath("course-again.mondrel");
    ASSERT_TRUE(writeProjectFile(second, read, message)) << message;
    EXPECT_EQ(readFile(second), readFile(first));
    const Json written = Json::parse(readFile(first));
    EXPECT_FALSE(written["layers"][1].contains("divideCourse"));
}

TEST(ProjectFile, TheCameraRoundTripsAndOldProjectsAreDrawnStraightOn) {
    SketchModel model = refinedModel();
    Project project = projectOf(model);
    EXPECT_EQ(projectText(project).find("\"camera\""), std::string::npos);
    EXPECT_FALSE(reread(project).sketch.camera.perspective());

    project.sketch.camera.kind = SketchCamera::Kind::perspective;
    project.sketch.camera.fieldOfView = 47.3 + 1e-12;
    project.sketch.camera.eyeHeight = -12.5;
    project.sketch.camera.horizon = 123.25;
    project.sketch.camera.frameWidth = 1600.0;
    project.sketch.camera.frameHeight = 900.0;
    const Project read = reread(project);
    EXPECT_EQ(read.sketch.camera, project.sketch.camera);
    EXPECT_EQ(projectText(read), projectText(project));
    // A change of the camera alone is a change of the terrain's inputs (an undo step).
    EXPECT_FALSE(read.sketch.sameTerrainInputs(model.state()));

    const Json good = Json::parse(projectText(project))["camera"];
    const std::pair<std::function<void(Json&)>, std::string> cases[] = {
        {[](Json& c) { c["kind"] = "fisheye"; },
         "\"camera\"'s \"kind\" must be \"straightOn\" or \"perspective\""},
        {[](Json& c) { c["fieldOfView"] = 175; },
         "\"camera\"'s \"fieldOfView\" must lie between 1 and 170"},
        {[](Json& c) { c["frameWidth"] = 0; }, "\"frameWidth\" must lie between 1 and"},
        {[](Json& c) { c["eyeHeight"] = "high"; }, "\"eyeHeight\""},
        {[](Json& c) { c.erase("horizon"); }, "\"horizon\" is missing"},
        {[](Json& c) { c = 3; }, "\"camera\" must be an object"},
    };
    for (const auto& [spoil, reason] : cases) {
        Json document = validDocument();
        Json camera = good;
        spoil(camera);
        document["camera"] = camera;
        Project refused;
        std::string why;
        EXPECT_FALSE(parseProjectText(document.dump(), refused, why)) << camera;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
    }
}
