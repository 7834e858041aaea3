#pragma once

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

// The test process's scratch folder in the test temporary directory: made on first use,
// removed with everything in it when the process ends.
inline const std::string& scratchFolder() {
    struct ScratchFolder {
        std::string path = testing::TempDir() + "mondrel-" + std::to_string(getpid());
        ScratchFolder() { mkdir(path.c_str(), 0700); }
        ~ScratchFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const ScratchFolder scratch;
    return scratch.path;
}
