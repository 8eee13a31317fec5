#include "conversion/component_reader.h"

#include "recordio/failure_report.h"
#include "recordio/freeform_input.h"
#include "recordio/freeform_output.h"
#include "recordio/records.h"

namespace conversion {

namespace {

constexpr int32_t kFileUnit = 11;
constexpr int32_t kConsoleOut = 6;

void readLine() { recordio::readRecordField({.unit = kFileUnit}, line, 80); }

void echoLine() {
  recordio::FreeFormWriter::start(kConsoleOut);
  recordio::FreeFormWriter::putText(line, 80);
  recordio::FreeFormWriter::finish();
}

// One read statement on the file: its start, `items`, its finish.
template <typename Items>
void readStatement(Items items) {
  recordio::FreeFormReader::start(kFileUnit);
  items();
  recordio::FreeFormReader::finish();
}

void skipRecords(int count) {
  for (int i = 0; i < count; ++i) readStatement([] {});
}

}  // namespace

void readComponent(ComponentSeries& series) {
  readLine();
  echoLine();
  skipRecords(14);

  readStatement([] { recordio::FreeFormReader::getInteger(nt); });
  // The series hold kMaxSamples values; a larger count would run past them.
  if (nt > kMaxSamples) recordio::reportFailure(125, "sample count above 33000");

  readStatement([] { recordio::FreeFormReader::getReal(dt); });

  recordio::FreeFormWriter::start(kConsoleOut);
  recordio::FreeFormWriter::putText(" dt & nt=", 9);
  recordio::FreeFormWriter::putReal(dt);
  recordio::FreeFormWriter::putInteger(nt);
  recordio::FreeFormWriter::finish();

  skipRecords(28);
  readLine();
  echoLine();

  const int64_t statements = (static_cast<int64_t>(nt) - 1) / 8;
  // Each statement's eight items are the eight places of the series.
  for (int64_t k = 0; k < statements; ++k)
    readStatement([&] { recordio::FreeFormReader::getReals(&series[8 * k], 8); });
}

}  // namespace conversion
