#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
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

// The whole content of a file, byte for byte; empty when it cannot be read.
inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
