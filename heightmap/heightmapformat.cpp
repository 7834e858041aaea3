#include "heightmap/heightmapformat.h"

#include <cctype>

namespace {

struct Entry {
    HeightmapFormat format;
    const char* name;
};

const Entry formats[] = {
    {HeightmapFormat::grd, "grd"}, {HeightmapFormat::asc, "asc"}, {HeightmapFormat::png16, "png16"},
    {HeightmapFormat::r16, "r16"}, {HeightmapFormat::exr, "exr"}, {HeightmapFormat::obj, "obj"},
};

const struct {
    const char* suffix;
    HeightmapFormat format;
} suffixes[] = {
    {".asc", HeightmapFormat::asc}, {".png", HeightmapFormat::png16},
    {".r16", HeightmapFormat::r16}, {".raw", HeightmapFormat::r16},
    {".exr", HeightmapFormat::exr}, {".obj", HeightmapFormat::obj},
};

} // namespace

HeightmapFormat heightmapFormatForFile(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
        return HeightmapFormat::grd;
    std::string suffix = name.substr(dot);
    for (char& c : suffix)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& entry : suffixes)
        if (suffix == entry.suffix)
            return entry.format;
    return HeightmapFormat::grd;
}

bool heightmapFormatNamed(const std::string& name, HeightmapFormat& format) {
    for (const Entry& entry : formats) {
        if (name == entry.name) {
            format = entry.format;
            return true;
        }
    }
    return false;
}

const char* heightmapFormatName(HeightmapFormat format) {
    for (const Entry& entry : formats)
        if (entry.format == format)
            return entry.name;
    return "grd";
}

bool isSixteenBit(HeightmapFormat format) {
    return format == HeightmapFormat::png16 || format == HeightmapFormat::r16;
}
