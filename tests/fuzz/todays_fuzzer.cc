// Feeds arbitrary bytes as one of today's files through the reader, with
// options taken from the first byte, and writes the table it gives to the
// null device: either a table (a column for each quantity of each channel)
// or one error line about the file, never anything else.
#include <cstdlib>
#include <string>

#include "conversion/todays_files.h"
#include "recordio/records.h"
#include "tests/fuzz/fuzz_unit.h"

namespace {

void connectTableUnit() {
  static bool connected = false;
  if (connected) return;
  char field[80];
  recordio::assignText(field, 80, "/dev/null", 9);
  recordio::ConnectRequest request;
  request.unit = 13;
  request.file = field;
  request.filelen = 80;
  request.stat = "unknown";
  recordio::connectUnit(request);
  recordio::switchToWriting(recordio::units[13]);
  connected = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  conversion::Options options;
  static const std::vector<conversion::Quantity> kLists[] = {
      {conversion::Quantity::acceleration},
      {conversion::Quantity::velocity, conversion::Quantity::acceleration},
      {conversion::Quantity::displacement}};
  options.quantities = kLists[data[0] % 3];
  options.unitsOfG = data[0] & 4;
  options.header = data[0] & 8;
  if (setjmp(failureEscape) == 0) {
    connectInput(data + 1, size - 1);
    connectTableUnit();
    conversion::TableData table;
    std::string error;
    if (conversion::readTodaysFile(recordio::units[11], "fuzz", options, table, error)) {
      if (!error.empty() || table.columns.empty() ||
          table.columns.size() % options.quantities.size() != 0)
        abort();
      conversion::writeTodaysTable(13, table, options);
      recordio::flushUnit(recordio::units[13]);
    } else if (error.rfind("cdmg2csv: fuzz:", 0) != 0 || error.find('\n') != std::string::npos) {
      abort();
    }
  }
  disconnectInput();
  return 0;
}
