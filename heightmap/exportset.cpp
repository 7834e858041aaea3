#include "heightmap/exportset.h"

#include "fileio/atomicfile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "heightmap/georeference.h"

namespace {

// The name without its suffix ("out/peak.obj": "out/peak"), as the export names its sidecars.
std::string stem(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return path;
    return path.substr(0, dot);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isRasterFormat(HeightmapFormat format) {
    return format == HeightmapFormat::asc || format == HeightmapFormat::png16 ||
           format == HeightmapFormat::r16 || format == HeightmapFormat::exr;
}

} // namespace

std::vector<ExportSetFile> exportSetFiles(const HeightmapExport& settings,
                                          const std::string& output) {
    std::vector<ExportSetFile> files;
    const HeightmapFormat format = settings.format;
    if (format == HeightmapFormat::grd)
        return {{"the grid", output}};
    auto addRaster = [&](const std::string& name, const std::string& role) {
        files.push_back({role, name});
        if (format == HeightmapFormat::asc && !settings.place.crs.empty())
            files.push_back({"the reference system (.prj) of " + role, stem(name) + ".prj"});
        if (format == HeightmapFormat::png16 || format == HeightmapFormat::exr)
            files.push_back({"the GDAL sidecar (.aux.xml) of " + role, name + ".aux.xml"});
        if (format == HeightmapFormat::png16 && settings.place.placed())
            files.push_back({"the world file of " + role, worldFileName(name)});
    };
    const bool tiled = settings.tiled() && isRasterFormat(format);
    if (format == HeightmapFormat::obj) {
        files.push_back({"the mesh", output});
        files.push_back({"the mesh's material file (.mtl)", stem(output) + ".mtl"});
    } else if (tiled) {
        for (int y = 0; y < settings.tilesDown; ++y)
            for (int x = 0; x < settings.tilesAcross; ++x)
                addRaster(tileFileName(output, x, y),
                          "the tile x" + std::to_string(x) + " y" + std::to_string(y));
    } else {
        addRaster(output, "the heightmap");
    }
    if (isSixteenBit(format) || format == HeightmapFormat::exr || tiled)
        files.push_back({"the metadata file (.json)", output + ".json"});
    if (!settings.normalMapFile.empty())
        files.push_back({"the normal map", settings.normalMapFile});
    if (!settings.splatMapFile.empty())
        files.push_back({"the splat map", settings.splatMapFile});
    return files;
}

std::string resolvedFilePath(const std::string& name) {
    std::string path = name;
    // Links are followed by hand: the file a dangling link points at is the one written.
    for (int step = 0; step < 40; ++step) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            break;
        target.resize(static_cast<std::size_t>(length));
        path = target[0] == '/' ? target : folderOf(path) + "/" + target;
    }
    const std::string folder = folderOf(path);
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved))
        return std::string(resolved) + (std::string(resolved) == "/" ? "" : "/") + baseOf(path);
    return path;
}

bool checkExportSetDistinct(const std::vector<ExportSetFile>& files, std::string& error) {
    struct Seen {
        std::string path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    std::vector<Seen> seen;
    for (const ExportSetFile& file : files) {
        Seen next;
        next.path = resolvedFilePath(file.file);
        struct stat info {};
        if (stat(next.path.c_str(), &info) == 0) {
            next.exists = true;
            next.device = info.st_dev;
            next.inode = info.st_ino;
        }
        for (std::size_t k = 0; k < seen.size(); ++k) {
            const bool same = seen[k].path == next.path ||
                              (seen[k].exists && next.exists && seen[k].device == next.device &&
                               seen[k].inode == next.inode);
            if (same) {
                error = "the export would write " + file.file + " twice: as " + files[k].role +
                        " and as " + file.role;
                if (seen[k].path != next.path)
                    error += " (" + files[k].file + " is the same file)";
                return false;
            }
        }
        seen.push_back(next);
    }
    return true;
}

ExportSetLock::~ExportSetLock() {
    release();
}

void ExportSetLock::acquire(const std::vector<ExportSetFile>& files,
                            const std::function<void(const std::string&)>& waiting) {
    release();
    struct Folder {
        std::string name;
        int fd = -1;
        dev_t device = 0;
        ino_t inode = 0;
    };
    std::vector<Folder> folders;
    for (const ExportSetFile& file : files) {
        Folder folder;
        folder.name = folderOf(resolvedFilePath(file.file));
        folder.fd = ::open(folder.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        if (folder.fd < 0 || fstat(folder.fd, &info) != 0) {
            if (folder.fd >= 0)
                ::close(folder.fd);
            continue;
        }
        folder.device = info.st_dev;
        folder.inode = info.st_ino;
        const bool known = std::any_of(folders.begin(), folders.end(), [&](const Folder& f) {
            return f.device == folder.device && f.inode == folder.inode;
        });
        if (known)
            ::close(folder.fd);
        else
            folders.push_back(folder);
    }
    // One order for every export, so that two exports sharing two folders cannot each hold one
    // and wait for the other.
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
        return std::make_pair(a.device, a.inode) < std::make_pair(b.device, b.inode);
    });
    for (const Folder& folder : folders) {
        if (flock(folder.fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK && waiting)
                waiting(folder.name);
            while (flock(folder.fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        descriptors_.push_back(folder.fd);
    }
}

void ExportSetLock::release() {
    for (const int fd : descriptors_)
        ::close(fd); // closing the last descriptor of the folder's open file lets the lock go
    descriptors_.clear();
}
