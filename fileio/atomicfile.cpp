#include "fileio/atomicfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// ---- Temporary files to remove when the process is ended by a signal
//
// A fixed table that the signal handler can walk without allocating or locking: a slot is
// free (0), being filled (1) or holds the absolute name of a live temporary file (2).

constexpr int slotCount = 64; // a tiled heightmap and its sidecars are saved together

struct Slot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
Slot slots[slotCount];

const int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[3];

void removeLiveTemporaries() {
    for (Slot& slot : slots)
        if (slot.state.load() == 2)
            unlink(slot.path);
}

// Removes the temporary files, then lets the signal do what it would have done without us:
// the handler that was there before, or the default action (ending the process).
void onEndingSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    removeLiveTemporaries();
    for (int i = 0; i < 3; ++i) {
        if (cleanedSignals[i] != signal)
            continue;
        const struct sigaction& previous = previousActions[i];
        if ((previous.sa_flags & SA_SIGINFO) != 0) {
            previous.sa_sigaction(signal, info, context);
        } else if (previous.sa_handler == SIG_DFL) {
            struct sigaction byDefault {};
            byDefault.sa_handler = SIG_DFL;
            sigemptyset(&byDefault.sa_mask);
            sigaction(signal, &byDefault, nullptr);
            raise(signal); // delivered as soon as this handler returns
        } else if (previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
        }
    }
    errno = savedErrno;
}

void installSignalCleanup() {
    static const bool installed = [] {
        for (int i = 0; i < 3; ++i) {
            sigaction(cleanedSignals[i], nullptr, &previousActions[i]);
            // A signal the process ignores (nohup) stays ignored: it cannot end a save.
            if ((previousActions[i].sa_flags & SA_SIGINFO) == 0 &&
                previousActions[i].sa_handler == SIG_IGN)
                continue;
            struct sigaction action {};
            action.sa_sigaction = onEndingSignal;
            action.sa_flags = SA_SIGINFO | SA_RESTART;
            sigfillset(&action.sa_mask);
            sigaction(cleanedSignals[i], &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

// Keeps the ending signals away while a temporary file is created and registered, so that
// none is ever left unregistered.
class EndingSignalsBlocked {
public:
    EndingSignalsBlocked() {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int signal : cleanedSignals)
            sigaddset(&blocked, signal);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
    }
    ~EndingSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    EndingSignalsBlocked(const EndingSignalsBlocked&) = delete;
    EndingSignalsBlocked& operator=(const EndingSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Registers path for removal on a signal; -1 when it cannot be (the save then goes on
// without that protection).
int registerTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < slotCount; ++i) {
        int expected = 0;
        if (slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void unregisterTemporary(int slot) {
    if (slot >= 0)
        slots[slot].state.store(0);
}

// ---- Names

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    char here[PATH_MAX];
    return getcwd(here, sizeof here) ? std::string(here) + "/" + path : path;
}

// The file a name stands for: symbolic links are followed, dangling ones too, so that saving
// through a link writes (or creates) the file it points at instead of replacing the link.
// Still a link after 40 steps: a loop, which open() refuses.
std::string followLinks(const std::string& name) {
    std::string path = name;
    for (int step = 0; step < 40; ++step) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::vector<char> target(PATH_MAX);
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return path;
        const std::string next(target.data(), static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    return path;
}

bool isLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Six characters that differ from call to call and from process to process.
std::string uniqueSuffix() {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned long> counter{0};
    unsigned long long mix = (static_cast<unsigned long long>(getpid()) << 32) ^
                             static_cast<unsigned long long>(std::time(nullptr)) ^
                             (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        mix = mix * 6364136223846793005ull + 1442695040888963407ull;
        suffix += alphabet[(mix >> 33) % (sizeof alphabet - 1)];
    }
    return suffix;
}

// The temporary file's name without its six unique characters: the prefix, the process, and as
// much of the target's name as fits in the longest name the system allows, so that the
// temporary files of one target can be told from those of others.
std::string temporaryStem(const std::string& path) {
    const std::string head = std::string(AtomicFile::temporaryPrefix) + std::to_string(getpid());
    // Room for the longest process number, "-", six characters and "-" whatever this one is,
    // so that every process cuts a long name alike.
    const std::size_t room = 255 - std::strlen(AtomicFile::temporaryPrefix) - 10 - 8;
    const std::string base = path.substr(path.rfind('/') + 1);
    return head + "-" + base.substr(0, std::min(room, base.size()));
}

// Whether `entry` is a temporary file of the target whose name (as temporaryStem cuts it) is
// `base`, left by a process that is gone: one killed (SIGKILL, a power cut) before it could
// remove it. The process must not exist and nobody may hold the file's lock (a live save holds
// it, also one from another machine or process namespace whose number means nothing here).
bool staleTemporary(const std::string& folder, const char* entry, const std::string& base) {
    const std::size_t prefix = std::strlen(AtomicFile::temporaryPrefix);
    if (std::strncmp(entry, AtomicFile::temporaryPrefix, prefix) != 0)
        return false;
    const std::string name = entry;
    std::size_t end = prefix;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end == prefix || end - prefix > 9 || name.size() != end + 8 + base.size() ||
        name[end] != '-' || name[end + 7] != '-' || name.compare(end + 8, base.size(), base) != 0)
        return false;
    const pid_t owner = static_cast<pid_t>(std::stol(name.substr(prefix, end - prefix)));
    if (owner == getpid() || kill(owner, 0) == 0 || errno != ESRCH)
        return false;
    const int fd =
        ::open((folder + "/" + name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool unlocked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return unlocked;
}

// Removes the stale temporary files of the target `path` (see staleTemporary).
void removeStaleTemporaries(const std::string& folder, const std::string& path) {
    const std::string ownStem = temporaryStem(path);
    const std::string base =
        ownStem.substr(ownStem.find('-', std::strlen(AtomicFile::temporaryPrefix)) + 1);
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(listing))
        if (staleTemporary(folder, entry->d_name, base))
            stale.push_back(folder + "/" + entry->d_name);
    closedir(listing);
    for (const std::string& name : stale)
        unlink(name.c_str());
}

// Makes the folder's entries durable: without this a rename may be lost in a power cut.
// A file system that cannot sync folders (EINVAL) has nothing more to do.
bool syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES; // a folder we may write but not read: nothing we can sync
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

} // namespace

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::noteError() {
    if (error_ == 0)
        error_ = errno != 0 ? errno : EIO;
}

bool AtomicFile::open() {
    discard();
    error_ = 0;
    path_ = followLinks(target_);
    if (isLink(path_)) {
        error_ = ELOOP;
        return false;
    }
    // A target that may not be written keeps being refused, as opening it directly would be;
    // one that may keeps its permissions.
    struct stat existing {};
    const bool replacing = stat(path_.c_str(), &existing) == 0;
    if (replacing && access(path_.c_str(), W_OK) != 0) {
        noteError();
        return false;
    }
    if (replacing && !S_ISREG(existing.st_mode)) {
        // A device or a pipe cannot be replaced by a file: write into it, and check that.
        stream_ = std::fopen(path_.c_str(), "w");
        mode_ = Mode::direct;
        if (!stream_)
            noteError();
        return stream_ != nullptr;
    }
    installSignalCleanup();
    // A name of our own beside the target, so that the final rename stays within one file
    // system; O_EXCL makes sure we never write into somebody else's file. The name says whose
    // and for which target it is, and the file is locked while it lives, so that a save killed
    // outright leaves nothing that the next save of the target does not remove.
    const std::string folder = folderOf(path_);
    removeStaleTemporaries(folder, path_);
    int fd = -1;
    int createError = 0;
    {
        const EndingSignalsBlocked blocked;
        const std::string stemName = temporaryStem(path_);
        const std::size_t cut = stemName.find('-', std::strlen(temporaryPrefix));
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            std::string candidate = folder + "/" + stemName.substr(0, cut) + "-" + uniqueSuffix() +
                                    "-" + stemName.substr(cut + 1);
            fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            createError = errno;
            if (fd >= 0) {
                flock(fd, LOCK_EX | LOCK_NB);
                temporary_ = std::move(candidate);
                slot_ = registerTemporary(absolute(temporary_));
            } else if (createError != EEXIST) {
                break;
            }
        }
    }
    if (fd < 0) {
        // No new file can be made in the folder, but the file itself may be written: rewrite
        // it in place rather than not at all.
        if (replacing && (createError == EACCES || createError == EPERM)) {
            // Not truncated yet: commit() cuts off what is left of the old content.
            const int existingFd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
            stream_ = existingFd >= 0 ? fdopen(existingFd, "w") : nullptr;
            if (!stream_)
                noteError();
            if (!stream_ && existingFd >= 0)
                ::close(existingFd);
            mode_ = Mode::inPlace;
            return stream_ != nullptr;
        }
        error_ = createError;
        return false;
    }
    if (replacing)
        fchmod(fd, existing.st_mode & 07777);
    stream_ = fdopen(fd, "w");
    if (!stream_) {
        noteError();
        ::close(fd);
        discard();
        return false;
    }
    mode_ = Mode::replace;
    return true;
}

bool AtomicFile::commit() {
    if (!stream_)
        return false;
    bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    if (!written)
        noteError();
    if (mode_ == Mode::inPlace) {
        // What is left of a longer previous content goes.
        const off_t length = ftello(stream_);
        written = written && length >= 0 && ftruncate(fileno(stream_), length) == 0;
    }
    if (mode_ != Mode::direct)
        written = written && fsync(fileno(stream_)) == 0;
    if (!written)
        noteError();
    // fclose must run whatever happened before, and its own failure counts too.
    written = (std::fclose(stream_) == 0) && written;
    if (!written)
        noteError();
    stream_ = nullptr;
    if (mode_ != Mode::replace)
        return written;
    if (written && std::rename(temporary_.c_str(), path_.c_str()) == 0) {
        unregisterTemporary(slot_);
        slot_ = -1;
        temporary_.clear();
        const bool synced = syncFolder(folderOf(path_));
        if (!synced)
            noteError();
        return synced;
    }
    noteError();
    discard();
    return false;
}

void AtomicFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        temporary_.clear();
    }
    unregisterTemporary(slot_);
    slot_ = -1;
    mode_ = Mode::replace;
}
