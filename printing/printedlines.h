#pragma once

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// The one way out for every progress and diagnostic line Mondrel prints: the model, the
// curve operations, the views, the main window and the profile editor all call printLine, so
// one run's lines keep their order wherever they come from and a test can capture them all.
// Lines go to standard output unless a sink is installed. Numbers are formatted in the C
// locale whatever the process locale is.

// Receives each piece of printed text, line ends included.
using PrintSink = std::function<void(std::string_view text)>;

// Formats like printf and hands the text to the current sink; with the default sink it is
// written to standard output and flushed at once.
void printLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The same for a va_list, for functions that print on behalf of others.
void vprintLine(const char* format, std::va_list arguments);

// Installs sink (an empty one silences every line) and returns the one it replaces.
PrintSink setPrintSink(PrintSink sink);

// The default sink: writes to stream (standard output unless told otherwise) and flushes.
PrintSink streamSink(std::FILE* stream = stdout);

// Collects every printed line while it lives, then puts the previous sink back.
//
//     PrintCapture capture;
//     model.next();
//     EXPECT_EQ(capture.text(), "In next\nmaking new mountain\n...");
class PrintCapture {
public:
    PrintCapture();
    ~PrintCapture();
    PrintCapture(const PrintCapture&) = delete;
    PrintCapture& operator=(const PrintCapture&) = delete;

    const std::string& text() const { return text_; }

private:
    std::string text_;
    PrintSink previous_;
};
