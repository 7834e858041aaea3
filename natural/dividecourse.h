#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// The divide's course in plan: where along its columns a range's main divide runs, drawn from
// above. A course is a polyline of (x, northing) points in the grid's units, x rising, the
// northing measured from the range's line and growing away from the viewer. Empty: the divide
// wanders by itself (divideNorthing).

// The most points a course holds, and the largest x or northing it may reach either way.
constexpr std::size_t longestDivideCourse = 4096;
constexpr double largestCourseCoordinate = 1e7;

// Whether course is one a range can follow: empty, or 2 to longestDivideCourse finite points
// within largestCourseCoordinate either way, x rising. False with the reason (a phrase that
// names the offending point) when not.
bool checkDivideCourse(const std::vector<gmVector2>& course, std::string& reason);

// The divide's northing at x. Along a course: the course read linearly between its points and
// held at its end northings beyond them, with only the divide's finest bends (a third of
// `wander` at a fifth of `wavelength`) on top, so that the summits still stand a little in
// front of or behind each other. Without one: divideNorthing(x, wander, wavelength, seed).
double divideAt(const std::vector<gmVector2>& course, double x, double wander, double wavelength,
                std::uint32_t seed);

// The course after a freehand stroke drawn over it from above: the stroke's points (x,
// northing, in the order drawn, x free to turn back) become a function of x, resampled at
// about `spacing` apart over the x the stroke covers, and replace the course's points there
// and within half a spacing of its ends; the course's points beyond keep their place. A stroke
// covering less than half a spacing in x is no course: the course comes back unchanged. With an
// empty course the result is the resampled stroke alone.
std::vector<gmVector2> courseWithStroke(const std::vector<gmVector2>& course,
                                        const std::vector<gmVector2>& stroke, double spacing);
