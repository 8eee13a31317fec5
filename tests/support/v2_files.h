// A generator of corrected strong-motion files ("Volume 2") in the layout
// of today's files: for each channel a title, 24 text records, the integer
// and real headers, and the acceleration, velocity and displacement blocks
// under their headings, each value an exact decimal known to the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct V2Options {
  std::vector<int> counts = {120, 120, 120};  ///< N of each channel.
  std::string interval = ".005";              ///< As the headings write it.
  bool crlf = false;                          ///< CR LF line ends, else LF.
  bool upperCase = false;                     ///< The text in upper case, as old files have it.
  bool formats = true;                        ///< Each heading ends with its format.
  int decimals[3] = {6, 7, 7};                ///< Of the acceleration, velocity and displacement.
  /// Some fields written without a point or with an exponent (same values).
  bool mixedForms = true;
  /// The largest magnitude of a value in units of its last decimal: at
  /// most 99999999, which with a sign fills the field.
  int64_t largest = 99999999;
  /// Every so many values one of eight digits before the point, which
  /// fills its field and touches its neighbour; 0 for none.
  int touchingEvery = 0;
  bool endMarks = false;  ///< Bytes of code 26 after the last record, as old systems left.
  unsigned seed = 1;
};

/// The values of one channel: value i of block b is units[b][i] / 10^decimals[b].
struct V2Channel {
  std::string label;  ///< As a header row names the channel.
  std::vector<int64_t> units[3];
  int decimals[3] = {0, 0, 0};
};

struct V2File {
  std::string text;
  std::vector<V2Channel> channels;
};

/// A file as `options` describe it.
V2File makeV2File(const V2Options& options);

/// The float that value `units` / 10^`decimals` reads as: the C library's
/// decimal conversion to double, rounded to float.
float v2Value(int64_t units, int decimals);
