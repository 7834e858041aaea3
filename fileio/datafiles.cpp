#include "fileio/datafiles.h"

#include <memory>
#include <sys/stat.h>
#include <utility>

namespace {

std::unique_ptr<std::vector<std::string>>& overriddenFolders() {
    static std::unique_ptr<std::vector<std::string>> folders;
    return folders;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::vector<std::string> dataFolders() {
    if (overriddenFolders())
        return *overriddenFolders();
    std::vector<std::string> folders{""};
#ifdef MONDREL_INSTALLED_DATA_DIR
    folders.emplace_back(MONDREL_INSTALLED_DATA_DIR);
#endif
#ifdef MONDREL_SOURCE_DATA_DIR
    folders.emplace_back(MONDREL_SOURCE_DATA_DIR);
#endif
    return folders;
}

void setDataFolders(std::vector<std::string> folders) {
    overriddenFolders() = std::make_unique<std::vector<std::string>>(std::move(folders));
}

std::string findDataFile(const std::string& name, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        std::string path = folder.empty() ? name : folder + "/" + name;
        if (isRegularFile(path))
            return path;
    }
    return {};
}
