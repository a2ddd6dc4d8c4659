// Fixed capacities of the run-wide tables. Every table is allocated once at its
// full size; an index beyond a capacity stops the program with the index-range
// message (see table.h).
#pragma once

namespace zorvik {

inline constexpr int kMaxFunc = 20;          // data-set slots
inline constexpr int kMaxPoints = 5000;      // points per data set (xi, yi, sigmae, mi)
inline constexpr int kMaxResLines = 10000;   // lines of a resolution file
inline constexpr int kMaxConvHalf = 5000;    // half-width of the centred resolution (index -5000 … 5000)
inline constexpr int kMaxZ = 10;             // z values per data set
inline constexpr int kMaxPar = 100;          // model parameters
inline constexpr int kMaxGroups = 100;       // equality groups
inline constexpr int kMaxMembers = 100;      // members per equality group
inline constexpr int kMaxRel = 100;          // order relations
inline constexpr int kMaxCont = 100;         // contour requests
inline constexpr int kMaxPeaks = 100;        // peak definitions
inline constexpr int kMaxPeakEntries = 100;  // entries per peak definition
inline constexpr int kMaxBins = 10000;       // histogram bins per distribution

// The banner speaks of 10 000 points; the tables hold 5000. The reading of a
// data set stores every point up to the first one beyond its fit range, so
// at most kMaxPoints - 1 points may lie up to the end of the fit range.
inline constexpr int kMaxPointsInRange = kMaxPoints - 1;

}  // namespace zorvik
