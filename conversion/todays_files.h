// Today's corrected strong-motion files ("Volume 2"): every channel of a
// file read through formatted input, and the table of their columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conversion/command_line.h"
#include "recordio/units.h"

namespace conversion {

/// The most points of a block that a file may give.
constexpr int64_t kMaxPoints = 100000000;

/// One column of the table: a quantity of a channel.
struct Column {
  std::string label;  ///< The channel's label and the quantity with its unit.
  int decimals = 3;   ///< Of the value's field of width 10.
  std::vector<float> values;
};

/// What the files of one table give.
struct TableData {
  float interval = 0;
  bool haveInterval = false;
  std::string intervalText;    ///< The first interval as its heading writes it.
  std::string intervalSource;  ///< Where it stands, for a mismatch.
  int channels = 0;            ///< Channels read so far, for the labels.
  std::vector<Column> columns;
};

/// Reads every channel of the file on `unit` (connected, at its start;
/// `name` is for the messages) and adds the columns of `options` to
/// `table`.  False with `error` set to the line to report.
bool readTodaysFile(recordio::RecordUnit& unit, const char* name, const Options& options,
                    TableData& table, std::string& error);

/// Writes the table's rows (and its header row when asked) to `unit`.
void writeTodaysTable(int32_t unit, const TableData& table, const Options& options);

/// Converts the files of `options` and ends the process: status 0 when
/// every table is written, 1 when anything failed.
[[noreturn]] void convertTodaysFiles(const Options& options);

}  // namespace conversion
