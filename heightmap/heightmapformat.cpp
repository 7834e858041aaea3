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

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

bool heightmapFormatForSuffix(const std::string& name, HeightmapFormat& format) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) {
        format = HeightmapFormat::grd;
        return true;
    }
    const std::string suffix = lowerCase(name.substr(dot));
    if (suffix == ".grd") {
        format = HeightmapFormat::grd;
        return true;
    }
    for (const auto& entry : suffixes) {
        if (suffix == entry.suffix) {
            format = entry.format;
            return true;
        }
    }
    return false;
}

HeightmapFormat heightmapFormatForFile(const std::string& name) {
    HeightmapFormat format = HeightmapFormat::grd;
    return heightmapFormatForSuffix(name, format) ? format : HeightmapFormat::grd;
}

bool heightmapFormatNamed(const std::string& name, HeightmapFormat& format) {
    const std::string wanted = lowerCase(name);
    for (const Entry& entry : formats) {
        if (wanted == entry.name) {
            format = entry.format;
            return true;
        }
    }
    // The suffixes' own names, as people write them.
    if (wanted == "png" || wanted == "raw") {
        format = wanted == "png" ? HeightmapFormat::png16 : HeightmapFormat::r16;
        return true;
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
