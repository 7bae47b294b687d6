// Pure computations of the report: track sizing, the text-fitting search, the graph's axis
// divisions and labels, series building, vertex merging and printed page counts. No Qt here,
// so each is tested on its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/measrecord.h"

namespace report {

// One row or column of a layout grid.
struct Track {
    bool fixed = false;    // the size was set explicitly
    bool relative = false; // the explicit size is a percentage
    double percent = 0.0;  // share of the extent; computed for fixed lengths
    int length = 0;        // explicit length, 0.1 mm
    double cumulativePercent = 0.0;
    int end = 0; // computed end coordinate, from the grid's start
};

// n unfixed tracks sharing 100 / n percent, the last one taking what rounding leaves.
std::vector<Track> makeTracks(int n);
void setTrackLength(Track& t, int length);
void setTrackPercent(Track& t, double percent);
// Sizes the tracks for an extent: fixed lengths first, unfixed tracks share what percent is
// left (never below 0), ends follow in order and the last track always ends at the extent.
void sizeTracks(std::vector<Track>& tracks, int extent);

// The text-fitting search: the largest height (from 1) reached by the passes ×5, ×3, ×2, ×1.5
// (rounded down), +5, +2, +1, each stepping while `fits` holds. 1 when nothing fits.
int fitHeight(const std::function<bool(int)>& fits);

// Time axis divisions for a window of w minutes.
struct TimeDivisions {
    int n = 0; // divisions
    int L = 1; // every L-th division carries a number
    int M = 1; // every M-th division has a solid line
};
TimeDivisions timeDivisions(double w);

// Gridline kinds of the time axis at division k (1 … n-1).
enum class GridLine { Solid, Dashed, Dotted };
GridLine timeGridLine(const TimeDivisions& d, int k);

// The time labels: division index and "%.1f" text, from xMin; the label at n shows xMax.
struct AxisLabel {
    int division = 0;
    std::string text;
};
std::vector<AxisLabel> timeLabels(double xMin, double xMax);
// The current axis: 11 labels from yMax (division 10, top) down to yMin (division 0).
std::vector<AxisLabel> currentLabels(double yMin, double yMax);

// One drawn point: value in μA, x in minutes from the window start.
struct GraphPoint {
    double value = 0.0;
    double x = 0.0;
};
// The series of a record for the window [a, b]: valid used points from a on (later ones kept
// for clipping), with every point at time 0 collapsed into one holding the last one's value.
std::vector<GraphPoint> buildSeries(const CMeasRecord& r, double a, double b);

// Device vertices of a polyline: consecutive points on one x position merge into one vertex
// with the smallest y (the highest current on a y-down device). Input in drawing order.
struct Vertex {
    int x = 0;
    double y = 0.0;
};
std::vector<Vertex> mergeVertices(const std::vector<Vertex>& points);

// Printed page counts of a record for a strip width of w minutes.
struct PageCounts {
    int graphPages = 1;
    int tablePages = 1;
    int total = 2;
};
inline constexpr int kPointsPerTablePage = 552; // 8 column pairs × 69 rows
// The graph pages of the longest valid time at the narrowest width offered (0.5 minutes).
inline constexpr int kMaxGraphPages = static_cast<int>(kMaxElapsedSeconds / (0.5 * 180.0)) + 1;
// Graph pages from the highest valid time of the used points (at least one, at most
// kMaxGraphPages); table pages from the used points.
PageCounts pageCounts(const CMeasRecord& r, double w);

} // namespace report
