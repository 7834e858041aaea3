#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// The curve file ".c2d" ("Ascii 2D Curve Format"): a count line, then one point per line,
// x before y, in the C locale whatever the process locale is:
//
//     3 //size
//     10.000000 20.000000
//     30.500000 40.000000
//     50.000000 60.250000
//
// Reading is lenient about layout: any white space (CR LF or LF line ends included) may
// separate the numbers, the count may be written in decimal, 0x hexadecimal or 0 octal, and
// the word after it may be anything. Reading stops at the first pair that is not two finite
// numbers, or as soon as the declared count has been reached.

enum class CurveReadResult {
    ok,           // points and the declared count were read
    cannotOpen,   // the file could not be opened or read
    notCurveFile, // the first token is not an integer that fits an int, or the name is a
                  // device or a pipe rather than a file
    tooLarge,     // the file is larger than maxCurveFileBytes; nothing of it was read
};

enum class CurveWriteResult {
    ok,
    cannotCreate, // no file could be created beside the target
    writeFailed,  // a write, the close or the final rename failed; the target is untouched
};

// Parses the text of a curve file. On notCurveFile points and declared are left alone.
CurveReadResult parseCurveText(const std::string& text, std::vector<gmVector2>& points,
                               int& declared);

// The most a curve file may hold: 256 MiB, ten million points and more. A longer file is
// refused whole, never read in part, so that a runaway file can neither fill the memory nor
// be taken for a shorter curve.
constexpr std::size_t maxCurveFileBytes = std::size_t{256} << 20;

// Reads the file name; points receives only what was found (at most the declared count,
// at least one point when the file holds one, even for a declared count of 0 or below).
// A file longer than maxCurveFileBytes is refused as notCurveFile. On a refusal, reason (when
// given) says what is wrong, e.g. "the file is larger than 256 MiB, the most a curve file may
// hold". When the file cannot be opened or read, systemError (when given) receives the
// system's error number.
CurveReadResult readCurveFile(const std::string& name, std::vector<gmVector2>& points,
                              int& declared, std::string* reason = nullptr,
                              int* systemError = nullptr);

// Writes points to name atomically: the previous file stays until the new one is complete.
// On failure systemError (when given) receives the system's error number (0 when it gave none).
CurveWriteResult writeCurveFile(const std::string& name, const std::vector<gmVector2>& points,
                                int* systemError = nullptr);
