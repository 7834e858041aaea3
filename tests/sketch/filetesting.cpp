#include "filetesting.h"

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <sys/resource.h>

#include "fileio/atomicfile.h"

void withFileSizeLimit(long maxBytes, const std::function<void()>& action) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(maxBytes);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    action();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
}

int filesStartingWith(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash);
    const std::string prefix = path.substr(slash + 1);
    int count = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0 ||
                std::strncmp(entry->d_name, AtomicFile::temporaryPrefix,
                             std::strlen(AtomicFile::temporaryPrefix)) == 0)
                ++count;
        closedir(dir);
    }
    return count;
}
