// The routes that reads and rows take, and what each takes.  The program
// always takes the fastest; a build for the tests, the fuzzers and the
// benchmarks (CDMG_TEST_BUILD, set by CMake for those targets alone)
// chooses the route at run time, to prove each equal to the general path,
// and counts what each takes, so that a test fails when the shipped formats
// stop taking their fast paths.
#pragma once

namespace recordio {

/// fastest: the record scan and the whole row by the processor's vector
/// instructions where it has them; plain: both without them, as other
/// machines run them; general: no record scan, every row by the walk.
enum class Route { fastest, plain, general };

/// Values and rows each route took.
struct RouteCounts {
  long scannedReals = 0;  ///< reals taken from records read whole
  long otherReals = 0;    ///< reals read by the general path
  long wholeRows = 0;     ///< rows placed whole
  long walkedRows = 0;    ///< rows placed by the walk over the edit list
};

#if defined(CDMG_TEST_BUILD)
inline Route route = Route::fastest;
inline RouteCounts routeCounts;
inline void countRoute(long RouteCounts::*which, long n = 1) { routeCounts.*which += n; }
#else
constexpr Route route = Route::fastest;
inline void countRoute(long RouteCounts::*, long = 1) {}
#endif

}  // namespace recordio
