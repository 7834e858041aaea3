#pragma once

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The measures terrain-analysis takes of a heightmap, written from the GIS side on their own:
// nothing here comes from the construction that made the heightmap, so a fault in one does not
// hide in the other.
//
// Orientation, as the exports lay a raster out: row 0 is the northern row, column 0 the
// western one; the viewer of the sketch stands to the south and sees each column's highest
// cell as the skyline.
//
// The mountain body: the cells standing higher than a share (bodyShare, 5%) of the relief above
// the raster's lowest height. The low ground round the mountain (the foreland, at most a few
// percent of the relief) and the base lie outside it. A body column is a column whose highest
// cell belongs to the body.

struct Grid {
    int columns = 0, rows = 0;
    double xll = 0, yll = 0, cell = 1, nodata = -9999;
    std::vector<double> z; // row by row from the north
    double at(int r, int c) const {
        return z[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(c)];
    }
};

// Reads an ESRI ASCII grid (the six header lines, any order, keywords in any case, then the
// rows from the north). Cells holding NODATA_value take the lowest height of the others. False
// when the file cannot be read, is smaller than 3 x 3 or larger than 16385 a side, or holds no
// data at all.
bool readAsc(const std::string& name, Grid& grid);

const double bodyShare = 0.05;

struct Relief {
    double lowest = 0, highest = 0;
    double span() const { return highest - lowest; }
    // The height a share of the relief above the lowest.
    double level(double share) const { return lowest + share * span(); }
};
Relief reliefOf(const Grid& grid);

// Each column's highest cell: its height and its row (the northernmost of equal heights).
struct ColumnTops {
    std::vector<double> height;
    std::vector<int> row;
};
ColumnTops columnTops(const Grid& grid);

// ---- Skyline: each column's top against the drawn curve.
//
// The curve is a polyline of (x, height) in sketch pixels. Column c's centre lies at sketch x
// (xll - originX + (c + 0.5) * cell) / scale and its top at height / scale: the exports place
// the raster at the sketch's own coordinates times the export scale, shifted by the origin
// (mondrel-build's --scale and --origin; 1 and 0 by default). A column's top is right
// when it lies within the curve's range over the column's own cell and one cell either side
// (the curve's lowest and highest height there, its vertices and its values at both ends of
// that span); the error is how far it lies outside that range. Columns whose centre lies
// outside the curve's x extent are not measured; covered says whether the raster reaches
// over all of it.
struct SkylineFit {
    int columns = 0;       // columns measured
    double worst = 0;      // the largest error, as a share of the relief
    double mean = 0;       // the mean error, as a share of the relief
    double worstX = 0;     // sketch x of the worst column's centre
    double worstAbove = 0; // signed: positive when the worst column stands above the curve
    bool covered = false;  // whether the raster's columns reach over the curve's whole length
};
SkylineFit skylineFit(const Grid& grid, const ColumnTops& tops,
                      std::vector<std::pair<double, double>> curve, double scale, double originX,
                      double relief);

// ---- Outline: flank depths north and south of each body column's highest cell, in cells, to
// the first cell below the level (or to the raster's edge), and how they go together over the
// body columns (Pearson's correlation; 0 when either side does not vary).
struct FlankCorrelation {
    int columns = 0;
    double northSouth = 0;      // north depth against south depth
    double depthAgainstTop = 0; // both depths' sum against the column's top height
};
FlankCorrelation flankCorrelation(const Grid& grid, const ColumnTops& tops, double level);

// ---- Divide: the path of each body column's highest cell in plan, its rows median-filtered
// over window columns (clipped at a run's ends), its length against its chord. Body columns
// that follow each other make a run; runs shorter than the window are left out, and the others
// add their lengths and chords. 0 when no run is long enough.
double divideSinuosity(const ColumnTops& tops, double level, int window = 9);

// ---- Slopes and aspect of the body's cells, from Horn's 3 x 3 gradient as GIS tools take it
// (the raster's edge cells are left out).
struct SlopeStats {
    long cells = 0;
    double medianDegrees = 0;
    double over45 = 0, over60 = 0; // shares of the body's cells
};
SlopeStats slopeStats(const Grid& grid, double level);

// The slope-weighted share of each of 16 aspect sectors of 22.5 degrees (sector 0 faces north,
// the ground falling towards the north; sector 4 east, 8 south), and the north- and
// south-facing sectors' weight against the mean of their two neighbours.
struct AspectBalance {
    std::array<double, 16> weight{};
    double north = 0, south = 0;
};
AspectBalance aspectBalance(const Grid& grid, double level);

// ---- Creases along the grid: a fold that runs straight along one column or row. Across
// column c the slope changes by (z[c+1] - 2 z[c] + z[c-1]) / cell; a crease along the column
// is a run of at least `length` cells down it, all on the body, where that change keeps one
// sign and is at least `kink` (a valley floor or a ridge line folding by about 19 degrees
// at 0.35). Rows likewise. Real ground folds along its own valleys and ridges, which wind;
// a construction that works along the grid's lines leaves them ruler-straight.
struct Creases {
    int alongColumns = 0, alongRows = 0; // runs
    long cells = 0;                      // in all the runs
    double perMille = 0;                 // of the body's cells
};
Creases gridCreases(const Grid& grid, double level, int length = 24, double kink = 0.35);

// ---- Detail by scale: the root mean square over the body of the heights band-passed between
// box means of successive radii: band 0 is the heights less their mean over a radius of 1 cell,
// band k (k >= 1) the mean over 2^(k-1) cells less the mean over 2^k. Real terrain's detail
// grows steadily with scale (each band larger than the one below); a band standing out against
// its neighbours is one texture laid over everything. Cells within 2^bands cells of the
// raster's edge are left out.
std::vector<double> detailBands(const Grid& grid, double level, int bands = 5);

// ---- Detail by scale in the spectrum: the radially averaged power spectrum of the body's
// heights. Square tiles of `tile` cells (a power of two), half a tile apart, are taken where at
// least 80% of their cells belong to the body; each is detrended (its least-squares plane
// taken off), tapered by a Hann window and transformed; the power |F(k)|^2 is averaged over
// the tiles and over rings of whole wavenumbers (k cycles per tile, the wavelength tile / k
// cells). When fewer than three tiles of that size fit the body, tiles of half the size are
// tried, down to 32 cells.
//
// Real terrain's power keeps falling off towards the finest scales, roughly as a power law
// P ~ k^slope. One texture laid over
// everything shows as a flat shoulder: more power at 5-8-cell wavelengths than the power law
// of the coarser scales (10 to tile / 3 cells) carries on to. The shoulder is the ratio of the
// band's mean power to that line's, read at the same wavenumbers (geometric means; about 1 for
// a power law, below 1 where the finest scales are smoother still).
struct Spectrum {
    int tile = 0, tiles = 0;
    std::vector<double> wavelength; // cells, one per ring, longest first
    std::vector<double> power;      // the ring's mean power
    double slope = 0;     // of log power against log wavenumber, over 10 to tile / 3 cells
    double fineSlope = 0; // the same over 5 to 8 cells
    double shoulder = 0;  // the 5-8-cell band's power against the coarser scales' line
};
Spectrum bodySpectrum(const Grid& grid, double level, int tile = 128);
// The least-squares slope of a spectrum's log power against log wavenumber over the rings
// whose wavelength lies within [shortest, longest] cells; 0 with fewer than two.
double spectralSlope(const Spectrum& spectrum, double shortest, double longest);

// ---- Drainage: depressions filled (priority flood with epsilon), D8 flow directions (steepest
// of the 8 neighbours), drainage area, channels where the area reaches the threshold in cells,
// their Strahler orders. The ground at base or below drains out like the raster's edge.
struct Drainage {
    int maxOrder = 0;
    std::map<int, long> streams; // stream segments of each order
    long channelCells = 0;
    // The plain mean of N(k) / N(k + 1) over the orders, and Schumm's, weighted by the streams
    // each ratio is taken over.
    double meanBifurcation() const;
    double weightedBifurcation() const;
};
Drainage drainage(const Grid& grid, double threshold, double base);

// Pearson's correlation of two equally long series; 0 when either does not vary.
double correlation(const std::vector<double>& a, const std::vector<double>& b);
