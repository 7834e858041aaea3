#pragma once

#include <string>

// The second line of a failure box: why it failed, in plain words. The first line is the
// message Mondrel has always shown and printed; these only add to it.

// The system's own words for an error number ("No such file or directory", "Permission
// denied", "No space left on device"); a generic sentence when there is no number.
std::string systemReason(int errorNumber);

// Why an image could not be shown.
enum class ImageProblem {
    none,
    cannotOpen,        // the file could not be opened (systemError says why)
    notPng,            // the file does not start with the PNG signature
    damaged,           // a PNG that is corrupt or ends early
    largerThanTexture, // wider or taller than the largest image Mondrel can show
    tooLargeForMemory, // the decoded pixels do not fit into memory
};

struct ImageFailure {
    ImageProblem problem = ImageProblem::none;
    int systemError = 0;      // with cannotOpen
    unsigned int width = 0;   // with largerThanTexture: the image's size in pixels
    unsigned int height = 0;  //
    unsigned int maxSide = 0; // with largerThanTexture: the largest side it can show
};

std::string imageReason(const ImageFailure& failure);

// The box for a curve file that holds fewer points than its count line declares.
std::string partialCurveNotice(const std::string& file, int found, int declared);

// Joins a message and its reason into the two lines of a box (just the message when there is
// no reason).
std::string withReason(const std::string& message, const std::string& reason);

// A failure box's text: what failed with the file, and why, as one sentence ("Cannot save the
// curve /home/ann/hill.c2d: Permission denied."). what is the verb and the kind of file ("save
// the curve"); why is the reason as a phrase or sentence, its first letter kept as given.
std::string failureText(const std::string& what, const std::string& file, const std::string& why);

// The box for a failed heightmap export of file: failureText("export the heightmap", ...) with
// the export's own error ("cannot create F: Permission denied"), which names file only when
// another file of the set (a sidecar) failed.
std::string exportFailureText(const std::string& file, const std::string& error);

// Why a file could not be opened or read, as the words after its name: "was not found",
// "is a folder", or "cannot be read: " and the system's words ("Permission denied").
std::string unreadableReason(int errorNumber);
