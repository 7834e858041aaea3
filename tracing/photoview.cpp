#include "tracing/photoview.h"

#include <algorithm>
#include <cmath>

namespace {

// For each output cell along one axis: the first input cell it touches and the weights of the
// input cells it covers (their shares of the output cell, summing to one).
struct Span {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Span> boxSpans(int inputSize, int outputSize) {
    std::vector<Span> spans(static_cast<std::size_t>(outputSize));
    const double step = static_cast<double>(inputSize) / outputSize;
    for (int o = 0; o < outputSize; ++o) {
        Span& span = spans[static_cast<std::size_t>(o)];
        if (step <= 1.0) {
            // Enlarging: the input pixel under the output pixel's centre.
            span.first = std::min(inputSize - 1, static_cast<int>((o + 0.5) * step));
            span.weights = {1.0f};
            continue;
        }
        const double from = o * step, to = (o + 1) * step;
        span.first = static_cast<int>(std::floor(from));
        const int last = std::min(inputSize - 1, static_cast<int>(std::ceil(to)) - 1);
        for (int i = span.first; i <= last; ++i) {
            const double cover = std::min(to, i + 1.0) - std::max(from, static_cast<double>(i));
            span.weights.push_back(static_cast<float>(std::max(0.0, cover) / step));
        }
    }
    return spans;
}

} // namespace

GreyPhoto greyPhotoAtSize(const PhotoView& photo, int width, int height) {
    GreyPhoto out;
    if (!photo.valid() || width < 1 || height < 1)
        return out;
    const std::vector<Span> columns = boxSpans(photo.width, width);
    const std::vector<Span> rows = boxSpans(photo.height, height);
    out.width = width;
    out.height = height;
    out.grey.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // Rows first: each input row the output row covers is reduced to the output's columns
    // once, then the rows are weighed together.
    std::vector<float> reduced(static_cast<std::size_t>(width));
    std::vector<float> sum(static_cast<std::size_t>(width));
    for (int r = 0; r < height; ++r) {
        const Span& rowSpan = rows[static_cast<std::size_t>(r)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (std::size_t k = 0; k < rowSpan.weights.size(); ++k) {
            const int inputRow = rowSpan.first + static_cast<int>(k);
            for (int c = 0; c < width; ++c) {
                const Span& columnSpan = columns[static_cast<std::size_t>(c)];
                float value = 0.0f;
                for (std::size_t j = 0; j < columnSpan.weights.size(); ++j)
                    value += columnSpan.weights[j] *
                             photo.luma(columnSpan.first + static_cast<int>(j), inputRow);
                reduced[static_cast<std::size_t>(c)] = value;
            }
            for (int c = 0; c < width; ++c)
                sum[static_cast<std::size_t>(c)] +=
                    rowSpan.weights[k] * reduced[static_cast<std::size_t>(c)];
        }
        unsigned char* line =
            out.grey.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(width);
        for (int c = 0; c < width; ++c)
            line[c] = static_cast<unsigned char>(
                std::clamp(std::lround(sum[static_cast<std::size_t>(c)]), 0L, 255L));
    }
    return out;
}
