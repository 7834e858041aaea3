#pragma once

#include <cstdint>
#include <string>

#include "sketch/sketchstate.h"

// The project file ".mondrel": one UTF-8 JSON object holding everything the terrain is built
// from, so that the terrain can be rebuilt exactly, in the window or by mondrel-build. The grid
// itself is not stored. Numbers are written in the shortest form that reads back to the same
// double, whatever the locale; single-precision values are stored as the double they widen
// to, so they read back bit for bit too. Points are [x, y] pairs.
//
//     {"format":"Mondrel project","version":1,"stage":1,
//      "silhouette":[[96.0,310.0],[97.0,311.0],...],
//      "curve":[[96.0,310.0],[112.57,315.9],...],
//      "detailLevels":[[[0.25,-1.5],...],...],
//      "globalProfile":[[0.0,1.0],...],
//      "columnProfiles":[{"column":0,"profile":[[0.0,1.0],...]},...],
//      "profileRandomness":0.0,"detailRandomness":0.20000000298023224,
//      "bottomDropOff":0.30000001192092896,"selectedColumn":-1,
//      "view":{"rotX":0.0,"rotY":0.0},"backgroundImage":"photos/ridge.png",
//      "natural":{"on":true,"slope":0.5,"frontProfile":1.6,"detail":0.5,"erosion":0.5,
//                 "erosionSteps":24,"seed":1},
//      "layers":[{"name":"Near ridge","colour":"#be2878","distance":1000.0,"visible":true,
//                 "locked":false,"divideCourse":[[0.0,-20.0],[300.0,45.5],...]},
//                {"name":"Far range","colour":"#3366cc","distance":3000.0,"visible":true,
//                 "locked":true,"skyline":[[40.0,402.0],[41.0,405.5],...]}],
//      "currentLayer":1,
//      "camera":{"kind":"perspective","fieldOfView":50.0,"eyeHeight":200.0,"horizon":300.0,
//                "frameWidth":800.0,"frameHeight":600.0}}
//
// "silhouette" is the curve as drawn (in stage 0 it equals "curve"); "curve" and
// "detailLevels" are the model's curve and its decomposition (no levels in stage 0).
// "columnProfiles" are ascending grid columns, all inside the grid (a grid has as many columns
// as "curve" has points, and none in stage 0). "backgroundImage" is relative to the project
// file's folder when the image lies in or below it, absolute otherwise, and empty for the
// start-up picture. "natural" is the natural terrain's switch and settings
// (natural/naturalterrain.h); it is optional, and left out while the natural terrain is off
// with its first settings: a project without it has the natural terrain off with those.
// "layers" are the skyline layers front to back (sketch/skylinelayer.h), distances never
// falling; the front layer's skyline is "silhouette", so only the layers behind it carry a
// "skyline" (as drawn). A layer whose range's divide was drawn from above carries its
// "divideCourse" (natural/dividecourse.h: 2 to 4096 (x, northing) points in sketch pixels, x
// rising, within 1e7 either way); the others have none. "currentLayer" is the layer strokes go to.
// Both are optional and left out together for the one first layer ("Layer 1" at 1000 in "#be2878",
// visible, unlocked, current): a project without them has that layer alone, as every curve file
// opens.
// "camera" is the camera the layers were drawn from (sketch/sketchcamera.h): "kind"
// "straightOn" or "perspective", the field of view in degrees (1 to 170), the eye height in
// world units and the horizon row in sketch pixels (within 1e9 either way), and the frame the
// field of view spans (1 to 1e9 pixels). It is optional and left out for a new sketch's
// straight-on camera: a project without it is drawn straight on.
//
// Reading accepts only this: every field present with its type, finite numbers, a stage from
// 0 to 3, randomness and drop-off from 0 to 1, every natural setting
// present and within its range (checkNaturalSettings), at most maxProjectPoints points in all, an
// image path without NUL characters. A version above projectFormatVersion is refused, as a
// newer Mondrel wrote it. A key given twice is refused; keys the format does not know are
// passed over without being kept (at most 256 in one object, and maxProjectPoints values in
// all), and nothing may nest deeper than a point inside a column profile (5 levels). A view
// angle beyond a float's range is brought into one turn (the same view). A byte order mark
// before the text is passed over. Reading takes time in proportion to the text, and memory
// about the text's size plus the project's.

struct Project {
    SketchState sketch;
    // View angles in degrees.
    float rotX = 0.0f;
    float rotY = 0.0f;
    // As stored: see above.
    std::string backgroundImage;
};

extern const char* const projectFormatName; // "Mondrel project"
const int projectFormatVersion = 1;
const long maxProjectPoints = 10000000;
// The largest project file read: room for maxProjectPoints points written at full length
// (two numbers of up to 24 characters, brackets and separators each).
const std::uintmax_t maxProjectFileBytes = std::uintmax_t{640} << 20;

// The file's text.
std::string projectText(const Project& project);

// Parses text. False with a reason (without the file name) when it is not an acceptable
// project, or holds more than maxPoints points in all; project is then untouched.
bool parseProjectText(const std::string& text, Project& project, std::string& reason,
                      long maxPoints = maxProjectPoints);

// Writes the project to name atomically (the previous file stays until the new one is
// complete). False with a message naming the file when it could not be written.
bool writeProjectFile(const std::string& name, const Project& project, std::string& message);

// Reads the project name. False with one message naming the file and what is wrong; project is
// then untouched.
bool readProjectFile(const std::string& name, Project& project, std::string& message);

// What a file holds, told by its first character after a byte order mark and white space: a
// project opens a JSON object ('{'), a curve file starts with its point count (a digit, a sign
// or a decimal point). Anything else, and a file that cannot be read or is no regular file
// (a pipe is not looked into), is unknown.
enum class FileKind { project, curve, unknown };
FileKind fileKindOf(const std::string& name);
// Whether fileKindOf(name) is a project.
bool looksLikeProjectFile(const std::string& name);

// For a file of the other kind than expected (a curve file or a project), the box that names
// the menu entry opening it: "hill.mondrel is a Mondrel project, not a curve file: open it with
// File > Open Project..."; empty when the file is not of the other kind.
std::string otherKindNotice(const std::string& file, FileKind expected);

// The background image's path as a project saved as projectFile stores it, and back.
std::string imagePathForProject(const std::string& projectFile, const std::string& imageFile);
std::string imagePathFromProject(const std::string& projectFile, const std::string& stored);
