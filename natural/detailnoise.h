#pragma once

#include <cstdint>

// Gradient noise for the natural terrain's detail: a pure function of the position and the
// seed, so any cell can be computed on any thread in any order and give the same value.

// Gradient noise at (x, y), lattice cells of size 1, in about -1 .. 1; 0 on every lattice
// point.
double gradientNoise(double x, double y, std::uint32_t seed);

// A sum of octaves of gradient noise: octave k has a wavelength of `wavelength` / 2^k and an
// amplitude of gain^k, each with a seed of its own and rotated against the last so that no
// lattice direction shows. Octaves whose wavelength falls below `finest` are left out; the
// octaves from `firstOctave` on are summed (earlier ones belong to a coarser pass).
//
// With a `roughness`, how rough the ground is varies with the place: a slow noise of twice
// the first octave's wavelength scales the finer octaves by up to e^roughness either way (the
// second by a third of that power, the third by two thirds, the rest by all of it), so that
// some ground is smooth at its finest scales and other ground rough, rather than one texture
// lying everywhere.
struct Octaves {
    double wavelength = 1.0;
    double finest = 0.0;
    double gain = 0.5;
    int firstOctave = 0;
    int maxOctaves = 16;
    double roughness = 0.0;
};
double fractalNoise(double x, double y, const Octaves& octaves, std::uint32_t seed);

// The number of octaves with a wavelength of at least `finest`.
int octavesAbove(const Octaves& octaves, double finest);
