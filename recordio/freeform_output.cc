#include "recordio/freeform_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "recordio/failure_report.h"
#include "recordio/records.h"

namespace recordio {

namespace {

char initialStorage[400];

// Starts a new record when a non-empty one cannot take `width` more.
void breakBefore(size_t width) {
  if (outputRecord.position != 0 && outputRecord.position + width >= kFreeFormLineLimit) {
    emitOutputRecord();
  }
}

}  // namespace

OutputRecord outputRecord = {initialStorage, sizeof initialStorage, 0};

void growOutputRecord(size_t last) {
  OutputRecord& r = outputRecord;
  size_t size = r.chars == initialStorage ? 1024 : r.size * 2;
  while (size <= last) size *= 2;
  char* grown = static_cast<char*>(malloc(size));
  if (!grown) reportFailure(113, "malloc failure");
  memcpy(grown, r.chars, r.position);
  if (r.chars != initialStorage) free(r.chars);
  r.chars = grown;
  r.size = size;
}

void emitOutputRecord() {
  placeChar('\n');
  emitRecord(*statementState.currentUnit, outputRecord.chars, outputRecord.position);
  outputRecord.position = 0;
}

size_t renderReal(float value, char* text, size_t capacity) {
  const double wide = value;
  char digits[48];
  if (wide == 0) {
    strcpy(digits, "0.");
  } else {
    snprintf(digits, sizeof digits, "%.9G", std::fabs(wide));  // a NaN too is not negative
    const char first = digits[0];
    if (first != 'I' && first != 'N' && first != 'i' && first != 'n') {
      char* point = strchr(digits, '.');
      char* exponent = strchr(digits, 'E');
      if (exponent && (!point || point > exponent)) {
        memmove(exponent + 1, exponent, strlen(exponent) + 1);
        *exponent = '.';
      } else if (!point) {
        strcat(digits, ".");
      }
    }
  }
  return snprintf(text, capacity, " %c%s", wide < 0 ? '-' : ' ', digits);
}

namespace FreeFormWriter {

void start(int32_t unit) {
  RecordUnit& u = startListStatement(unit);
  statementState.reading = false;
  statementState.sequential = statementState.formatted = statementState.external = true;
  if (!u.lastWasWrite && switchToWriting(u) != 0) reportFailure(127, "list output start");
  outputRecord.position = 0;
}

void putText(const char* chars, size_t length) {
  breakBefore(length);
  if (outputRecord.position == 0) placeChar(' ');
  for (size_t i = 0; i < length; ++i) placeChar(chars[i]);
}

void putInteger(int64_t value) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
  char digits[24];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  breakBefore(count);
  placeChar(' ');
  if (value < 0) placeChar('-');
  while (count > 0) placeChar(digits[--count]);
}

void putReal(float value) {
  char text[64];
  const size_t length = renderReal(value, text, sizeof text);
  breakBefore(length);
  for (size_t i = 0; i < length; ++i) placeChar(text[i]);
}

void finish() {
  emitOutputRecord();
  statementInProgress = false;
}

}  // namespace FreeFormWriter

}  // namespace recordio
