// The program's own sequence and all of its state: the console dialogue,
// the three component files read into three series, and the table.
#pragma once

#include <array>
#include <cstdint>

namespace conversion {

constexpr int32_t kMaxSamples = 33000;

/// Samples of one component; sample i (from 1) is at index i - 1.
using ComponentSeries = std::array<float, kMaxSamples>;

extern ComponentSeries x;  ///< First component, "SCSe-N11E.txt".
extern ComponentSeries y;  ///< Second component, "SCSe-N79W.txt".
extern ComponentSeries z;  ///< Third component, "SCSe-UP.txt".
extern char line[80];      ///< The record last read for echoing.
extern char infile1[80];   ///< First file's name, later the output file's.
extern char infile2[80];
extern char infile3[80];
extern int32_t nt;  ///< Sample count of the file read last.
extern float dt;    ///< Sampling interval of the file read last.

/// Runs the whole conversion and ends the process with status 0.
[[noreturn]] void conversionRun();

}  // namespace conversion
