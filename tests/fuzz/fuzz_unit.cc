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

[[noreturn]] void escape() { longjmp(failureEscape, 1); }

}  // namespace

void connectInput(const uint8_t* data, size_t size) {
  if (!recordio::units[11].stream) {
    char pattern[] = "/tmp/cdmg2csv-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) abort();
    close(fd);
    char nameField[80];
    const std::string name = pattern;
    recordio::assignText(nameField, 80, name.data(), static_cast<int32_t>(name.size()));
    recordio::prepareRecordIO();
    recordio::failureInterceptor = escape;
    recordio::ConnectRequest request;
    request.unit = 11;
    request.file = nameField;
    request.filelen = 80;
    request.stat = "old";
    recordio::connectUnit(request);
    remove(name.c_str());  // the open file stays readable, and empty
  }
  recordio::readFromMemory(recordio::units[11], reinterpret_cast<const char*>(data), size);
}

void disconnectInput() {
  recordio::statementInProgress = false;
  recordio::failureReportStarted = false;
  recordio::endingUnderWay = false;
}
