#pragma once

#include <string>
#include <vector>

#include "heightmap/heightmapexport.h"

// The files one heightmap export writes, known before any is created, so that the set can be
// checked against itself and guarded against a second export writing it at the same time.

// One file of the set and what it is to the set ("the heightmap", "the normal map", "the world
// file of the tile x1 y0", ...).
struct ExportSetFile {
    std::string role;
    std::string file;
};

// Every file exporting with `settings` to `output` writes: the heightmap (or each tile) with its
// sidecars, the mesh and its material, the metadata file, the maps. The grd format is one
// file, `output`.
std::vector<ExportSetFile> exportSetFiles(const HeightmapExport& settings,
                                          const std::string& output);

// The file a name will write: symbolic links followed (dangling ones too, as AtomicFile writes
// through them) and its folder resolved, so "./m.png", "m.png" and "out/../m.png" are one name.
std::string resolvedFilePath(const std::string& name);

// Whether every file of the set is a file of its own: compared by resolved path, and by device
// and inode where both exist (hard links). False with "the export would write PATH twice: as
// ROLE and as ROLE" otherwise.
bool checkExportSetDistinct(const std::vector<ExportSetFile>& files, std::string& error);

// Keeps other exports (other processes or threads) from writing into the set's folders while it
// is held: an advisory lock (flock) on each folder the set writes into, taken in one order so
// that two sets never wait for each other. Exports into the same folder take turns; files of
// two sets written at the same time can then never mix. A folder that cannot be opened for
// reading is not locked (the export goes on without that guard).
class ExportSetLock {
public:
    ExportSetLock() = default;
    ~ExportSetLock();
    ExportSetLock(const ExportSetLock&) = delete;
    ExportSetLock& operator=(const ExportSetLock&) = delete;

    // Takes the lock on every folder of the set. When another export holds one, waiting (if
    // set) is told the folder once and the call waits until it is free.
    void acquire(const std::vector<ExportSetFile>& files,
                 const std::function<void(const std::string& folder)>& waiting = {});
    void release();

private:
    std::vector<int> descriptors_;
};
