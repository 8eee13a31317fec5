#include "conversion/conversion_run.h"

#include <cstring>

#include "conversion/component_reader.h"
#include "conversion/table_writer.h"
#include "recordio/freeform_output.h"
#include "recordio/process.h"
#include "recordio/records.h"

namespace conversion {

ComponentSeries x, y, z;
char line[80], infile1[80], infile2[80], infile3[80];
int32_t nt = 0;
float dt = 0;

namespace {

constexpr int32_t kFileUnit = 11;
constexpr int32_t kConsoleIn = 5;
constexpr int32_t kConsoleOut = 6;

// One console record holding `text`, or an empty record for null.
void writeConsole(const char* text) {
  recordio::FreeFormWriter::start(kConsoleOut);
  if (text) recordio::FreeFormWriter::putText(text, strlen(text));
  recordio::FreeFormWriter::finish();
}

void connectFile(const char* name, const char* status) {
  recordio::connectUnit({.unit = kFileUnit, .file = name, .filelen = 80, .stat = status});
}

void disconnectFile() { recordio::disconnectUnit({.unit = kFileUnit}); }

}  // namespace

void conversionRun() {
  writeConsole("Program for Reading CDMG-TYpe Strong Motion Data");
  writeConsole(nullptr);
  writeConsole("Enter 1st File Name of 3 Components");
  writeConsole("Enter 2nd File Name of 3 Components");
  writeConsole("Enter 3rd File Name of 3 Components");

  recordio::assignText(infile1, 80, "SCSe-N11E.txt", 13);
  recordio::assignText(infile2, 80, "SCSe-N79W.txt", 13);
  recordio::assignText(infile3, 80, "SCSe-UP.txt", 11);
  const struct {
    const char* name;
    ComponentSeries* series;
  } components[] = {{infile1, &x}, {infile2, &y}, {infile3, &z}};
  for (const auto& component : components) {
    connectFile(component.name, "old");
    readComponent(*component.series);
    disconnectFile();
  }

  writeConsole(nullptr);
  writeConsole("Enter Output Acceleration File Name (CSV format)");
  recordio::readRecordField({.unit = kConsoleIn}, infile1, 80);

  connectFile(infile1, "unknown");
  writeAccelerationTable(nt, dt, x, y, z);
  disconnectFile();
  recordio::stopRun("", 0);
}

}  // namespace conversion
