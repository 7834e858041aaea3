#include "fileio/curvefile.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "fileio/atomicfile.h"
#include "fileio/clocalescope.h"

namespace {

const char* skipSpace(const char* p, const char* end) {
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

const char* skipWord(const char* p, const char* end) {
    while (p < end && !std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

// One number of a point as the "%f" conversion reads it: single precision, widened.
bool readFloat(const char*& p, double& value) {
    char* stop = nullptr;
    const float parsed = std::strtof(p, &stop);
    if (stop == p)
        return false;
    p = stop;
    value = static_cast<double>(parsed);
    return true;
}

// The shortest pair is "0 0" plus its line end, so a file cannot hold more points than a
// quarter of its remaining bytes, plus one; the declared count is only trusted that far.
std::size_t plausibleCount(int declared, std::size_t remainingBytes) {
    const std::size_t bound = remainingBytes / 4 + 1;
    const auto wanted = static_cast<std::size_t>(declared);
    return wanted < bound ? wanted : bound;
}

} // namespace

CurveReadResult parseCurveText(const std::string& text, std::vector<gmVector2>& points,
                               int& declared) {
    const CLocaleScope cLocale;
    const char* const end = text.data() + text.size();
    const char* p = skipSpace(text.data(), end);

    // std::string keeps a terminating null, so strtol and strtof stop at the end of the text.
    char* stop = nullptr;
    errno = 0;
    const long count = std::strtol(p, &stop, 0);
    if (stop == p || errno == ERANGE || count > INT_MAX || count < INT_MIN)
        return CurveReadResult::notCurveFile;
    p = skipWord(skipSpace(stop, end), end); // the "//size" marker, whatever it says

    std::vector<gmVector2> found;
    if (count > 0)
        found.reserve(plausibleCount(static_cast<int>(count), static_cast<std::size_t>(end - p)));
    p = skipSpace(p, end);
    while (p < end) {
        double x = 0.0, y = 0.0;
        if (!readFloat(p, x) || !readFloat(p, y) || !std::isfinite(x) || !std::isfinite(y))
            break;
        p = skipSpace(p, end);
        found.emplace_back(x, y);
        if (static_cast<long>(found.size()) >= count)
            break;
    }
    points = std::move(found);
    declared = static_cast<int>(count);
    return CurveReadResult::ok;
}

CurveReadResult readCurveFile(const std::string& name, std::vector<gmVector2>& points,
                              int& declared, std::string* reason, int* systemError) {
    const auto refuse = [reason](CurveReadResult result, const char* why) {
        if (reason)
            *reason = why;
        return result;
    };
    const char* const tooLarge = "the file is larger than 256 MiB, the most a curve file may hold";
    // A device or a pipe is no curve file, and reading one might never end (or never start).
    struct stat info {};
    if (stat(name.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            return refuse(CurveReadResult::notCurveFile, "not a regular file");
        if (S_ISREG(info.st_mode) &&
            static_cast<unsigned long long>(info.st_size) > maxCurveFileBytes)
            return refuse(CurveReadResult::tooLarge, tooLarge);
    }
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        if (systemError)
            *systemError = errno;
        return refuse(CurveReadResult::cannotOpen, "the file cannot be opened");
    }
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    while (text.size() <= maxCurveFileBytes &&
           (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0; // a folder opens but cannot be read
    if (failed && systemError)
        *systemError = errno;
    std::fclose(file);
    if (failed)
        return refuse(CurveReadResult::cannotOpen, "the file cannot be read");
    // The file grew while it was read.
    if (text.size() > maxCurveFileBytes)
        return refuse(CurveReadResult::tooLarge, tooLarge);
    const CurveReadResult result = parseCurveText(text, points, declared);
    if (result != CurveReadResult::ok)
        return refuse(result, "the file does not begin with a point count");
    return result;
}

CurveWriteResult writeCurveFile(const std::string& name, const std::vector<gmVector2>& points,
                                int* systemError) {
    AtomicFile out(name);
    if (!out.open()) {
        if (systemError)
            *systemError = out.systemError();
        return CurveWriteResult::cannotCreate;
    }
    {
        const CLocaleScope cLocale;
        std::FILE* f = out.stream();
        std::fprintf(f, "%i //size\n", static_cast<int>(points.size()));
        for (const gmVector2& point : points)
            std::fprintf(f, "%f %f\n", point[0], point[1]);
    }
    if (out.commit())
        return CurveWriteResult::ok;
    if (systemError)
        *systemError = out.systemError();
    return CurveWriteResult::writeFailed;
}
