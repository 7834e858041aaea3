#pragma once

#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

// Collects text for a stream in a large buffer and formats numbers with std::to_chars, so
// that files of millions of numbers are written quickly and with a decimal point whatever the
// locale. Call finish() at the end: it writes what is left and tells whether every write
// succeeded.
class TextBuffer {
public:
    explicit TextBuffer(std::FILE* out) : out_(out), buffer_(1 << 20) {}

    void put(const char* text) { put(text, std::strlen(text)); }
    void put(const char* text, std::size_t length) {
        makeRoom(length);
        std::memcpy(buffer_.data() + used_, text, length);
        used_ += length;
    }
    void put(char c) {
        makeRoom(1);
        buffer_[used_++] = c;
    }
    // The shortest text that reads back as the same value.
    template <typename Number> void number(Number value) {
        makeRoom(maximumNumberLength);
        char* begin = buffer_.data() + used_;
        used_ += static_cast<std::size_t>(
            std::to_chars(begin, begin + maximumNumberLength, value).ptr - begin);
    }

    bool finish() {
        flush();
        return ok_;
    }

private:
    static constexpr std::size_t maximumNumberLength = 32; // "-2.2250738585072014e-308" and less

    void makeRoom(std::size_t length) {
        if (used_ + length > buffer_.size())
            flush();
        if (length > buffer_.size())
            buffer_.resize(length);
    }
    void flush() {
        if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, out_) != used_)
            ok_ = false;
        used_ = 0;
    }

    std::FILE* out_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};
