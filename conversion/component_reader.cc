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

void skipRecords(int count) {
  for (int i = 0; i < count; ++i) {
    recordio::FreeFormReader::start(kFileUnit);
    recordio::FreeFormReader::finish();
  }
}

}  // namespace

void readComponent(ComponentSeries& series) {
  readLine();
  echoLine();
  skipRecords(14);

  recordio::FreeFormReader::start(kFileUnit);
  recordio::FreeFormReader::getInteger(nt);
  recordio::FreeFormReader::finish();
  // The series hold kMaxSamples values; a larger count would run past them.
  if (nt > kMaxSamples) recordio::reportFailure(125, "sample count above 33000");

  recordio::FreeFormReader::start(kFileUnit);
  recordio::FreeFormReader::getReal(dt);
  recordio::FreeFormReader::finish();

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
  for (int64_t k = 0; k < statements; ++k) {
    recordio::FreeFormReader::start(kFileUnit);
    recordio::FreeFormReader::getReals(&series[8 * k], 8);
    recordio::FreeFormReader::finish();
  }
}

}  // namespace conversion
