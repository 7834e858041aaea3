#include "sketch/atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

namespace {

// The file a name stands for: a symbolic link is followed, so that saving through it updates
// the file it points at instead of replacing the link.
std::string resolvedPath(const std::string& name) {
    char* real = realpath(name.c_str(), nullptr);
    if (!real)
        return name; // nothing there yet (or a dangling link): the name itself
    std::string resolved(real);
    std::free(real);
    return resolved;
}

} // namespace

bool AtomicFile::open() {
    discard();
    path_ = resolvedPath(target_);
    // A target that may not be written keeps being refused, as opening it directly would be;
    // one that may keeps its permissions.
    struct stat existing {};
    const bool replacing = stat(path_.c_str(), &existing) == 0;
    if (replacing && access(path_.c_str(), W_OK) != 0)
        return false;
    if (replacing && !S_ISREG(existing.st_mode)) {
        // A device or a pipe cannot be replaced by a file: write into it, and check that.
        stream_ = std::fopen(path_.c_str(), "w");
        direct_ = stream_ != nullptr;
        return direct_;
    }
    // A name of our own beside the target, so that the final rename stays within one file
    // system; O_EXCL makes sure we never write into somebody else's file.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate =
            path_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (replacing)
            fchmod(fd, existing.st_mode & 07777);
        stream_ = fdopen(fd, "w");
        if (!stream_) {
            ::close(fd);
            std::remove(candidate.c_str());
            return false;
        }
        temporary_ = std::move(candidate);
        return true;
    }
    return false;
}

bool AtomicFile::commit() {
    if (!stream_)
        return false;
    bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    if (direct_) {
        written = (std::fclose(stream_) == 0) && written;
        stream_ = nullptr;
        direct_ = false;
        return written;
    }
    written = written && fsync(fileno(stream_)) == 0;
    // fclose must run whatever happened before, and its own failure counts too.
    written = (std::fclose(stream_) == 0) && written;
    stream_ = nullptr;
    if (written && std::rename(temporary_.c_str(), path_.c_str()) == 0) {
        temporary_.clear();
        return true;
    }
    discard();
    return false;
}

void AtomicFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    direct_ = false;
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
    }
}
