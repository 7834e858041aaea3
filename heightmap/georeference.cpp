#include "heightmap/georeference.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <proj.h>

namespace {

// The shortest text that reads back as the value, without an exponent: map coordinates run to
// millions, and "5e+05" is not what a world file's readers expect.
std::string number(double value) {
    char text[400];
    return std::string(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr);
}

std::string upperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A keyword of capitals (and digits and "_") followed by "[", and brackets that balance.
bool looksLikeWkt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (std::isupper(static_cast<unsigned char>(text[i])) ||
                               std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '_'))
        ++i;
    if (i == 0 || i == text.size() || text[i] != '[')
        return false;
    int depth = 0;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '[')
            ++depth;
        else if (!quoted && c == ']' && --depth < 0)
            return false;
    }
    return depth == 0 && !quoted;
}

std::string trimmedOneLine(const std::string& text) {
    std::string line;
    for (char c : text)
        line += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    const std::size_t first = line.find_first_not_of(' ');
    const std::size_t last = line.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// What a file that is not a regular file is, for saying why it cannot hold a reference system.
std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe (FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

// Reads the whole file `name` into content, refusing what cannot be a .prj: anything but a
// regular file (opened without blocking, so a pipe nobody writes to cannot hang the caller),
// and files longer than maximumCrsFileSize. False with a one-line reason.
bool readCrsFile(const std::string& name, const std::string& field, std::string& content,
                 std::string& error) {
    const std::string what = "the file " + name + " given to " + field;
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read " + what + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = "cannot read " + what + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = field + " " + name + " is " + kindOf(info.st_mode) + ", not a file holding WKT";
        ::close(fd);
        return false;
    }
    content.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "cannot read " + what + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > maximumCrsFileSize) {
            error = field + " " + name + " is larger than " +
                    std::to_string(maximumCrsFileSize / 1024) +
                    " KiB: no reference system is that long";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    if (content.find('\0') != std::string::npos) {
        error = field + " " + name + " holds a NUL byte: it is not WKT text";
        return false;
    }
    return true;
}

} // namespace

bool isEpsgCode(const std::string& crs) {
    if (crs.size() < 6 || crs.size() > 14 || upperCase(crs.substr(0, 5)) != "EPSG:")
        return false;
    for (std::size_t i = 5; i < crs.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(crs[i])))
            return false;
    return crs.find_first_not_of('0', 5) != std::string::npos;
}

bool readCrs(const std::string& text, std::string& crs, std::string& error,
             const std::string& field) {
    if (isEpsgCode(text)) {
        crs = "EPSG:" + text.substr(5);
        return true;
    }
    std::string wkt = trimmedOneLine(text);
    if (!looksLikeWkt(wkt)) {
        // Text meant as a code or as WKT that names no file is a bad value, not a missing file.
        struct stat info {};
        const bool meantAsText =
            upperCase(text.substr(0, 5)) == "EPSG:" || text.find('[') != std::string::npos;
        if (text.empty() || text.size() > maximumCrsFileSize ||
            (meantAsText && stat(text.c_str(), &info) != 0)) {
            error = "bad value \"" + text.substr(0, 80) + "\" for " + field +
                    ": expected EPSG:CODE, WKT text or a file holding WKT";
            return false;
        }
        std::string content;
        if (!readCrsFile(text, field, content, error))
            return false;
        wkt = trimmedOneLine(content);
        if (!looksLikeWkt(wkt)) {
            error = "the file " + text + " given to " + field + " holds no WKT reference system";
            return false;
        }
    }
    crs = wkt;
    return true;
}

bool epsgCodeWkt(const std::string& code, std::string& wkt, std::string& error) {
    if (!isEpsgCode(code)) {
        error = code + " is not an EPSG code";
        return false;
    }
    const std::string digits = code.substr(5);
    PJ_CONTEXT* context = proj_context_create();
    proj_log_level(context, PJ_LOG_NONE);
    PJ* crs =
        proj_create_from_database(context, "EPSG", digits.c_str(), PJ_CATEGORY_CRS, 0, nullptr);
    const char* const options[] = {"MULTILINE=NO", nullptr};
    const char* text = crs ? proj_as_wkt(context, crs, PJ_WKT1_GDAL, options) : nullptr;
    if (text)
        wkt = text;
    else if (crs)
        error = "EPSG:" + digits + " has no WKT 1 form, which an ASCII grid's .prj must hold";
    else
        error = "EPSG:" + digits + " is not a reference system in PROJ's database";
    if (crs)
        proj_destroy(crs);
    proj_context_destroy(context);
    return text != nullptr;
}

std::string pamDatasetText(const HeightRaster& raster, const Georeference& place,
                           const std::optional<HeightRange>& steps, bool noData) {
    const double west = raster.westEdge + place.originX;
    const double north = raster.southEdge + raster.height * raster.cellSize + place.originY;
    std::string text = "<PAMDataset>\n";
    if (!place.crs.empty())
        text += "  <SRS>" + xmlEscaped(place.crs) + "</SRS>\n";
    text += "  <GeoTransform>" + number(west) + ", " + number(raster.cellSize) + ", 0, " +
            number(north) + ", 0, " + number(-raster.cellSize) + "</GeoTransform>\n";
    if (steps || noData) {
        text += "  <PAMRasterBand band=\"1\">\n";
        if (noData)
            text += "    <NoDataValue>nan</NoDataValue>\n";
        if (steps) {
            text += "    <Offset>" + number(steps->min) + "</Offset>\n";
            text += "    <Scale>" + number((steps->max - steps->min) / 65535.0) + "</Scale>\n";
        }
        text += "  </PAMRasterBand>\n";
    }
    return text + "</PAMDataset>\n";
}

std::string worldFileText(const HeightRaster& raster, const Georeference& place) {
    const double cell = raster.cellSize;
    const double x = raster.westEdge + place.originX + 0.5 * cell;
    const double y = raster.southEdge + (raster.height - 0.5) * cell + place.originY;
    return number(cell) + "\n0\n0\n" + number(-cell) + "\n" + number(x) + "\n" + number(y) + "\n";
}

std::string worldFileName(const std::string& image) {
    const std::size_t dot = image.find_last_of('.');
    if (dot == std::string::npos || image.find('/', dot) != std::string::npos ||
        dot + 2 >= image.size())
        return image + "w";
    return image.substr(0, dot + 1) + image[dot + 1] + image.back() + "w";
}
