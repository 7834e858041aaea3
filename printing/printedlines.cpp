#include "printing/printedlines.h"

#include <cstdarg>

#include "fileio/clocalescope.h"

namespace {

PrintSink& currentSink() {
    static PrintSink sink = streamSink(stdout);
    return sink;
}

} // namespace

void vprintLine(const char* format, std::va_list arguments) {
    const PrintSink& sink = currentSink();
    if (!sink)
        return;
    std::string text;
    {
        const CLocaleScope cLocale;
        std::va_list again;
        va_copy(again, arguments);
        const int length = std::vsnprintf(nullptr, 0, format, arguments);
        if (length > 0) {
            text.resize(static_cast<std::size_t>(length) + 1);
            std::vsnprintf(text.data(), text.size(), format, again);
            text.pop_back(); // the terminating zero vsnprintf needs room for
        }
        va_end(again);
    }
    if (!text.empty())
        sink(text);
}

void printLine(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    vprintLine(format, arguments);
    va_end(arguments);
}

PrintSink setPrintSink(PrintSink sink) {
    PrintSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

PrintSink streamSink(std::FILE* stream) {
    return [stream](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    };
}

PrintCapture::PrintCapture()
    : previous_(setPrintSink([this](std::string_view text) { text_.append(text); })) {}

PrintCapture::~PrintCapture() {
    setPrintSink(std::move(previous_));
}
