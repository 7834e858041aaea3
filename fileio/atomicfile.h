#pragma once

#include <cstdio>
#include <string>

// The folder holding path: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);

// Writes a file so that readers only ever see the previous file or the complete new one:
// the text goes to a temporary file beside the target, which replaces the target only when
// every write, the flush, the sync and the close succeeded; the folder is synced after the
// rename, so that a power cut cannot bring the old file back once a save was reported. An
// AtomicFile that is destroyed without a successful commit() removes its temporary file and
// leaves the target untouched, and so does SIGINT, SIGTERM or SIGHUP arriving during a save
// (the signal then takes its course).
//
// A symbolic link is followed, also a dangling one (the file it points at is written or
// created, the link stays). Where no new file can be made beside the target (a folder the
// user may not write into) but the target itself may be written, it is rewritten in place:
// then not atomically, though every write is still checked. A target that is not a regular
// file (a device, a pipe) is written directly, with every write checked.
//
//     AtomicFile out(name);
//     if (!out.open()) ...                  // the temporary file could not be created
//     std::fprintf(out.stream(), ...);
//     if (!out.commit()) ...                // a write, the close or the rename failed
class AtomicFile {
public:
    // Temporary files are named this, the process number, six unique characters and the
    // target's name (cut short where the whole would be longer than the system allows):
    // ".mondrel-4711-Xa3k9Q-peak.png". A save killed outright (SIGKILL) leaves its temporary
    // file behind; the next save of the same target removes it once its process is gone.
    static constexpr const char* temporaryPrefix = ".mondrel-";

    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (with the permissions a new file would get, or those of the
    // file it replaces). False when the target may not be written or its folder does not
    // exist.
    bool open();
    // The stream to write to; valid between a successful open() and commit().
    std::FILE* stream() const { return stream_; }
    // Flushes, syncs and closes the temporary file, renames it over the target and syncs the
    // folder. False when anything failed on the way; the target is then as it was (unless it
    // was being written in place) and the temporary file gone. Only a failed sync of the
    // folder leaves the new file in place: it is there, but might not survive a power cut.
    bool commit();

    const std::string& target() const { return target_; }
    // Whether open() found no way to make a new file beside the target and writes the target
    // itself: its previous content is then lost as the new one is written.
    bool writesInPlace() const { return mode_ == Mode::inPlace; }
    // The system's error number of the first step that failed (0 while nothing failed), for
    // telling the user why a save did not happen.
    int systemError() const { return error_; }

private:
    enum class Mode { replace, inPlace, direct };

    void discard();
    // Keeps errno as the reason, unless an earlier step already failed.
    void noteError();

    std::string target_;
    std::string path_; // the target with symbolic links followed
    std::string temporary_;
    Mode mode_ = Mode::replace;
    int slot_ = -1; // where the temporary file is registered for removal on a signal
    std::FILE* stream_ = nullptr;
    int error_ = 0;
};
