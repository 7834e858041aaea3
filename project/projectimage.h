#pragma once

#include <string>

// The project's link to its background image, as the window holds it between opening, showing
// and saving projects. A project whose image cannot be shown (moved, renamed, on a drive that
// is not mounted) keeps its link, in the very form the project file stored it, until the user
// chooses another image: saving it again must not lose the photo the curve was traced on.
//
//     ProjectImageLink link;
//     link.keepMissing("/work/hills/range.mondrel", "photos/ridge.png");
//     link.storedFor("/work/hills/range.mondrel");   // "photos/ridge.png", unchanged
//     link.storedFor("/work/copies/range.mondrel");  // "/work/hills/photos/ridge.png"
//     link.show("/work/found/ridge.png");            // located: the link follows the image
class ProjectImageLink {
public:
    // The start-up picture is shown: a project stores no image.
    void showStartupPicture();
    // imageFile (any path; kept absolute) is shown.
    void show(const std::string& imageFile);
    // The image a project saved as projectFile points at (stored as in its file) cannot be
    // shown; the link is kept as it is.
    void keepMissing(const std::string& projectFile, const std::string& stored);

    // Whether the link points at an image that is not shown.
    bool isMissing() const { return missing_; }
    // The image's absolute path (the shown image, or where the missing one was expected);
    // empty for the start-up picture.
    const std::string& imageFile() const { return image_; }
    // What a project saved as projectFile stores: a missing image's link as it was read when
    // the project is saved into the folder it was read from, otherwise the image's path as
    // imagePathForProject gives it (relative to the project's folder when the image lies in
    // or below it).
    std::string storedFor(const std::string& projectFile) const;

private:
    std::string image_;
    bool missing_ = false;
    std::string stored_;     // a missing image's link as read
    std::string readFolder_; // the folder of the project it was read from
};
