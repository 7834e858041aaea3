#include "fileio/gridexport.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "fileio/atomicfile.h"
#include "fileio/clocalescope.h"

namespace {

const double cellSize = 1.0 / 10800.0;

// The longest "%1.2f" text of a double: 309 integer digits, a sign, the point, two decimals.
constexpr std::size_t maxHeightChars = 320;

// Writes value as "%1.2f" does in the C locale and returns the end of the text (at most
// maxHeightChars). printf rounds the exact binary value to hundredths, halfway cases to even;
// so does this, in integer arithmetic on the value's bits, for heights below 1e13. Larger
// values and those that are no number go to std::to_chars, which rounds the same way.
char* formatHeight(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e13))
        return std::to_chars(out, out + maxHeightChars, value, std::chars_format::fixed, 2).ptr;
    if (std::signbit(value))
        *out++ = '-'; // printf's "-0.00" for -0.0 and small negatives
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const auto biasedExponent = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent != 0)
        mantissa |= std::uint64_t{1} << 52;
    // value = mantissa / 2^shift with shift >= 1, since the value is below 2^52.
    const int shift = 1075 - (biasedExponent != 0 ? biasedExponent : 1);
    std::uint64_t hundredths = 0;
    if (shift < 61) { // otherwise 100 * value < 2^60 / 2^61: below half a hundredth
        const std::uint64_t scaled = mantissa * 100; // below 2^60
        hundredths = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (hundredths & 1) != 0))
            ++hundredths;
    }
    char digits[24];
    char* first = digits + sizeof digits;
    std::uint64_t whole = hundredths / 100;
    const auto cents = static_cast<unsigned>(hundredths % 100);
    do {
        *--first = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    const auto length = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, length);
    out += length;
    *out++ = '.';
    *out++ = static_cast<char>('0' + cents / 10);
    *out++ = static_cast<char>('0' + cents % 10);
    return out;
}

// Collects the grid text and hands it to the stream in large blocks.
class TextBlock {
public:
    explicit TextBlock(std::FILE* out) : out_(out), text_(std::size_t{1} << 16) {}

    // Appends value exactly as "%1.2f " prints it in the C locale.
    void appendHeight(double value) {
        makeRoom(maxHeightChars + 1);
        used_ = static_cast<std::size_t>(formatHeight(text_.data() + used_, value) - text_.data());
        text_[used_++] = ' ';
    }
    void appendChar(char c) {
        makeRoom(1);
        text_[used_++] = c;
    }
    // False when a write failed.
    bool flush() {
        ok_ = ok_ && std::fwrite(text_.data(), 1, used_, out_) == used_;
        used_ = 0;
        return ok_;
    }

private:
    void makeRoom(std::size_t chars) {
        if (text_.size() - used_ < chars)
            flush();
    }

    std::FILE* out_;
    std::vector<char> text_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

} // namespace

bool checkGridHeights(const std::vector<std::vector<gmVector2>>& grid, std::string& error) {
    const double largest = static_cast<double>(std::numeric_limits<float>::max());
    for (std::size_t r = 0; r < grid.size(); ++r) {
        for (const gmVector2& point : grid[r]) {
            const double height = point[1];
            if (std::isfinite(height) && std::fabs(height) <= largest)
                continue;
            error = "terrain row " + std::to_string(r) +
                    (std::isfinite(height) ? " holds a height too large for a grid (beyond 3.4e38)"
                                           : " holds a point that is not a number");
            return false;
        }
    }
    return true;
}

bool writeGrid(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid) {
    const CLocaleScope cLocale;
    const std::size_t columns = grid.empty() ? 0 : grid[0].size();
    std::fprintf(out, "ncols\t%i\n", static_cast<int>(columns));
    std::fprintf(out, "nrows\t%i\n", static_cast<int>(grid.size()));
    std::fprintf(out, "xllcorner\t0\n");
    std::fprintf(out, "yllcorner\t0\n");
    std::fprintf(out, "xdim\t%1.18f\n", cellSize);
    std::fprintf(out, "ydim\t%1.18f\n", cellSize);
    std::fprintf(out, "NODATA_value\t-9999\n");
    TextBlock text(out);
    for (const std::vector<gmVector2>& row : grid) {
        // Rows are built with equal lengths; never read past a shorter one.
        const std::size_t n = row.size() < columns ? row.size() : columns;
        for (std::size_t c = 0; c < n; ++c)
            text.appendHeight(row[c][1]);
        text.appendChar('\n');
    }
    text.appendChar('\n');
    return text.flush() && std::ferror(out) == 0;
}

GridWriteResult writeGridFile(const std::string& name,
                              const std::vector<std::vector<gmVector2>>& grid, int* systemError) {
    AtomicFile out(name);
    if (!out.open()) {
        if (systemError)
            *systemError = out.systemError();
        return GridWriteResult::cannotCreate;
    }
    if (!writeGrid(out.stream(), grid)) {
        if (systemError)
            *systemError = errno;
        return GridWriteResult::writeFailed;
    }
    if (out.commit())
        return GridWriteResult::ok;
    if (systemError)
        *systemError = out.systemError();
    return GridWriteResult::writeFailed;
}
