#pragma once

#include <cstdio>
#include <string>

// Writes a file so that readers only ever see the previous file or the complete new one:
// the text goes to a temporary file beside the target, which replaces the target only when
// every write, the flush and the close succeeded. An AtomicFile that is destroyed without a
// successful commit() removes its temporary file and leaves the target untouched.
// A symbolic link is followed (the file it points at is replaced, the link stays); a target
// that is not a regular file (a device, a pipe) is written directly, with every write checked.
//
//     AtomicFile out(name);
//     if (!out.open()) ...                  // the temporary file could not be created
//     std::fprintf(out.stream(), ...);
//     if (!out.commit()) ...                // a write, the close or the rename failed
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (with the permissions a new file would get). False when the
    // target's folder does not exist or is not writable.
    bool open();
    // The stream to write to; valid between a successful open() and commit().
    std::FILE* stream() const { return stream_; }
    // Flushes, syncs and closes the temporary file and renames it over the target. False when
    // anything failed on the way; the target is then as it was and the temporary file gone.
    bool commit();

    const std::string& target() const { return target_; }

private:
    void discard();

    std::string target_;
    std::string path_; // the target with symbolic links followed
    std::string temporary_;
    bool direct_ = false; // writing straight into a device or pipe
    std::FILE* stream_ = nullptr;
};
