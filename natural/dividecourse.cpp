#include "natural/dividecourse.h"

#include <algorithm>
#include <cmath>

#include "natural/detailnoise.h"
#include "natural/skyline.h"

bool checkDivideCourse(const std::vector<gmVector2>& course, std::string& reason) {
    if (course.empty())
        return true;
    if (course.size() < 2 || course.size() > longestDivideCourse) {
        reason = "a divide's course holds 2 to " + std::to_string(longestDivideCourse) +
                 " points, not " + std::to_string(course.size());
        return false;
    }
    for (std::size_t i = 0; i < course.size(); ++i) {
        const double x = course[i][0], n = course[i][1];
        if (!std::isfinite(x) || !std::isfinite(n) || std::fabs(x) > largestCourseCoordinate ||
            std::fabs(n) > largestCourseCoordinate) {
            reason = "the divide's course point " + std::to_string(i) +
                     " must be finite and within 1e7 either way";
            return false;
        }
        if (i > 0 && !(x > course[i - 1][0])) {
            reason = "the divide's course point " + std::to_string(i) +
                     " must lie east of the point before it (x rising)";
            return false;
        }
    }
    return true;
}

namespace {

// The course's northing at x, linear between its points, its end northings beyond.
double alongCourse(const std::vector<gmVector2>& course, double x) {
    if (x <= course.front()[0])
        return course.front()[1];
    if (x >= course.back()[0])
        return course.back()[1];
    const auto after = std::upper_bound(course.begin(), course.end(), x,
                                        [](double v, const gmVector2& p) { return v < p[0]; });
    const gmVector2& b = *after;
    const gmVector2& a = *(after - 1);
    const double f = (x - a[0]) / (b[0] - a[0]);
    return a[1] + f * (b[1] - a[1]);
}

} // namespace

double divideAt(const std::vector<gmVector2>& course, double x, double wander, double wavelength,
                std::uint32_t seed) {
    if (course.size() < 2)
        return divideNorthing(x, wander, wavelength, seed);
    // divideNorthing's finest octave alone, at its own weight: the drawn course is the
    // divide's plan, the noise only breaks its line into summits a little off it.
    const double u = x / wavelength;
    return alongCourse(course, x) +
           wander * 0.15 * gradientNoise(4.7 * u, 2.9, seed ^ 0x9e3779b9u) / 0.45;
}

std::vector<gmVector2> courseWithStroke(const std::vector<gmVector2>& course,
                                        const std::vector<gmVector2>& stroke, double spacing) {
    if (stroke.empty() || !(spacing > 0))
        return course;
    std::vector<gmVector2> sorted;
    for (const gmVector2& p : stroke)
        if (std::isfinite(p[0]) && std::isfinite(p[1]))
            sorted.push_back(p);
    if (sorted.empty())
        return course;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const gmVector2& a, const gmVector2& b) { return a[0] < b[0]; });
    const double west = sorted.front()[0], east = sorted.back()[0];
    if (east - west < 0.5 * spacing)
        return course;
    // Points at the same x (the stroke turned back, or paused) count as their mean.
    std::vector<gmVector2> line;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        double sum = 0.0;
        for (; j < sorted.size() && sorted[j][0] == sorted[i][0]; ++j)
            sum += sorted[j][1];
        line.emplace_back(sorted[i][0], sum / static_cast<double>(j - i));
        i = j;
    }
    std::vector<gmVector2> result;
    // Points within half a spacing of the stroke's ends are its own: kept, they would stand a
    // sliver away from its first or last point as a kink.
    for (const gmVector2& p : course)
        if (p[0] < west - 0.5 * spacing)
            result.push_back(p);
    const int intervals = std::max(1, static_cast<int>(std::lround((east - west) / spacing)));
    for (int k = 0; k <= intervals; ++k) {
        const double x = k == intervals ? east : west + (east - west) * k / intervals;
        result.emplace_back(x, alongCourse(line, x));
    }
    for (const gmVector2& p : course)
        if (p[0] > east + 0.5 * spacing)
            result.push_back(p);
    return result;
}
