#include "sketch/failurereasons.h"

#include <cerrno>
#include <cstring>

std::string systemReason(int errorNumber) {
    if (errorNumber == 0)
        return "The file could not be written completely.";
    return std::strerror(errorNumber);
}

std::string imageReason(const ImageFailure& failure) {
    switch (failure.problem) {
    case ImageProblem::none:
        break;
    case ImageProblem::cannotOpen:
        return failure.systemError != 0 ? systemReason(failure.systemError)
                                        : "The file could not be opened.";
    case ImageProblem::notPng:
        return "The file is not a PNG image.";
    case ImageProblem::damaged:
        return "The image is damaged or cut short.";
    case ImageProblem::largerThanTexture:
        return "The image is " + std::to_string(failure.width) + " x " +
               std::to_string(failure.height) + " pixels; the largest image Mondrel can show " +
               "is " + std::to_string(failure.maxSide) + " x " + std::to_string(failure.maxSide) +
               " pixels.";
    case ImageProblem::tooLargeForMemory:
        return "The image is too large for the memory available.";
    }
    return std::string();
}

std::string partialCurveNotice(const std::string& file, int found, int declared) {
    const std::string held = found == 0   ? "None of the "
                             : found == 1 ? "Only 1 of the "
                                          : "Only " + std::to_string(found) + " of the ";
    const std::string kept = found == 0   ? "the curve is empty."
                             : found == 1 ? "the curve holds that one point."
                                          : "the curve holds those points.";
    return held + std::to_string(declared) + " points declared in " + file + " could be read; " +
           kept +
           "\nThe file ends early or holds a number that cannot be read (numbers need a decimal "
           "point, not a comma).";
}

std::string withReason(const std::string& message, const std::string& reason) {
    return reason.empty() ? message : message + "\n" + reason;
}

std::string failureText(const std::string& what, const std::string& file, const std::string& why) {
    std::string text = "Cannot " + what + " " + file;
    if (why.empty())
        return text + ".";
    text += ": " + why;
    if (text.back() != '.')
        text += '.';
    return text;
}

std::string exportFailureText(const std::string& file, const std::string& error) {
    for (const char* step : {"cannot create ", "could not write "}) {
        const std::string prefix = step + file + ": ";
        if (error.rfind(prefix, 0) == 0)
            return failureText("export the heightmap", file, error.substr(prefix.size()));
    }
    return failureText("export the heightmap", file, error);
}

std::string unreadableReason(int errorNumber) {
    if (errorNumber == ENOENT || errorNumber == ENOTDIR)
        return "was not found";
    if (errorNumber == EISDIR)
        return "is a folder";
    return "cannot be read: " +
           std::string(errorNumber != 0 ? std::strerror(errorNumber) : "the system gave no reason");
}
