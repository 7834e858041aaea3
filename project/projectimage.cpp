#include "project/projectimage.h"

#include <filesystem>

#include "project/projectfile.h"

namespace {

std::string absoluteOf(const std::string& file) {
    std::error_code failed;
    const std::filesystem::path path = std::filesystem::absolute(file, failed);
    return failed ? file : path.lexically_normal().string();
}

std::string folderOf(const std::string& file) {
    return std::filesystem::path(absoluteOf(file)).parent_path().string();
}

} // namespace

void ProjectImageLink::showStartupPicture() {
    *this = ProjectImageLink();
}

void ProjectImageLink::show(const std::string& imageFile) {
    *this = ProjectImageLink();
    image_ = absoluteOf(imageFile);
}

void ProjectImageLink::keepMissing(const std::string& projectFile, const std::string& stored) {
    *this = ProjectImageLink();
    if (stored.empty())
        return;
    image_ = absoluteOf(imagePathFromProject(absoluteOf(projectFile), stored));
    missing_ = true;
    stored_ = stored;
    readFolder_ = folderOf(projectFile);
}

std::string ProjectImageLink::storedFor(const std::string& projectFile) const {
    // Saved beside the project it came from, the link reads as it was written, byte for byte
    // (a relative link keeps working when the whole folder moves).
    if (missing_ && folderOf(projectFile) == readFolder_)
        return stored_;
    return imagePathForProject(projectFile, image_);
}
