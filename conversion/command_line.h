// The command line of a conversion of today's files: the options and the
// file operands.
#pragma once

#include <vector>

namespace conversion {

/// A quantity of a channel: acceleration, velocity or displacement.
enum class Quantity { acceleration, velocity, displacement };

/// What the command line asks for.
struct Options {
  const char* output = nullptr;     ///< -o: the table's file; null or "-": standard output.
  const char* directory = nullptr;  ///< -d: one table per file in this folder.
  std::vector<Quantity> quantities{Quantity::acceleration};  ///< -q, in order.
  bool header = false;                                       ///< --header
  bool unitsOfG = false;                                     ///< --units=g
  std::vector<const char*> files;
};

/// What the command line comes to.
enum class CommandLine { convert, help, version, usageError };

/// Parses the options and operands of `argv` (at least one argument).  A
/// usage error has written its line and the usage hint on standard error.
CommandLine parseCommandLine(int argc, char** argv, Options& options);

}  // namespace conversion
