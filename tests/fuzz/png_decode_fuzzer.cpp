// Feeds arbitrary bytes to the PNG decoder as "Open Image" and the start-up image would.
// A decoded image must be exactly as large as its size says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fileio/pngdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PngImage image;
    std::string error;
    if (pngDecodeBytes(data, size, image, error)) {
        if (image.rgb.size() != std::size_t{image.info.Width} * image.info.Height * 3)
            std::abort();
    } else if (error.empty()) {
        std::abort(); // a refusal always says why
    }
    return 0;
}
