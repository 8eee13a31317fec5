#include "tests/fuzz/fuzz_unit.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "recordio/failure_report.h"
#include "recordio/process.h"
#include "recordio/records.h"

jmp_buf failureEscape;

namespace {

std::string scratchName;
char nameField[80];

[[noreturn]] void escape() { longjmp(failureEscape, 1); }

}  // namespace

void connectInput(const uint8_t* data, size_t size) {
  if (scratchName.empty()) {
    char pattern[] = "/tmp/cdmg2csv-fuzz-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd < 0) abort();
    close(fd);
    scratchName = pattern;
    recordio::prepareRecordIO();
    recordio::failureInterceptor = escape;
    recordio::assignText(nameField, 80, scratchName.data(), scratchName.size());
  }
  FILE* file = fopen(scratchName.c_str(), "wb");
  if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0) abort();
  recordio::ConnectRequest request;
  request.unit = 11;
  request.file = nameField;
  request.filelen = 80;
  request.stat = "old";
  recordio::connectUnit(request);
}

void disconnectInput() {
  recordio::statementInProgress = false;
  recordio::failureReportStarted = false;
  recordio::endingUnderWay = false;
  recordio::DisconnectRequest request;
  request.err = true;
  request.unit = 11;
  recordio::disconnectUnit(request);
}
