#include "recordio/fixed_fields.h"

#include <cstdio>
#include <cstring>

#include "recordio/failure_report.h"
#include "recordio/freeform_output.h"
#include "recordio/units.h"

namespace recordio {

namespace {

constexpr int kStepCount = sizeof kRowEditList / sizeof kRowEditList[0];

int step = 0;            // next step of the edit list
int groupRemaining = 0;  // passes of the group still to make
int groupFirst = 0;      // first step inside the group

// Walks the list, placing literals, up to the next field or the end.
// Returns the field's step, or kStepCount at the end of the list.
int walkToField() {
  for (; step < kStepCount; ++step) {
    const EditStep& s = kRowEditList[step];
    switch (s.kind) {
      case EditStep::field:
        return step++;
      case EditStep::literal:
        placeChar(s.text);
        break;
      case EditStep::groupStart:
        groupRemaining = s.width;
        groupFirst = step + 1;
        break;
      case EditStep::groupEnd:
        if (--groupRemaining > 0) step = groupFirst - 1;
        break;
    }
  }
  return kStepCount;
}

}  // namespace

void formatFixed(float value, int width, int decimals) {
  const double wide = value;
  bool negative = wide < 0;
  char text[64];
  const double magnitude = negative ? -wide : wide == 0 ? 0.0 : wide;  // -0 shows as 0
  int length = snprintf(text, sizeof text, "%#.*f", decimals, magnitude);
  const char* digits = text;
  if (negative && strspn(text, "0.") == static_cast<size_t>(length)) negative = false;
  if (negative) ++length;
  if (length > width) {
    if (text[0] == '0' && length - 1 == width) {
      ++digits;
      --length;
    } else {
      for (int i = 0; i < width; ++i) placeChar('*');
      return;
    }
  }
  for (int i = length; i < width; ++i) placeChar(' ');
  if (negative) placeChar('-');
  for (; *digits; ++digits) placeChar(*digits);
}

namespace FixedRowWriter {

void start(int32_t unit) {
  if (!prepared || statementInProgress) prepareRecordIO();
  statementInProgress = true;
  statementState.reading = false;
  statementState.sequential = statementState.formatted = statementState.external = true;
  if (static_cast<uint32_t>(unit) >= kUnitCount) reportFailure(101, "startio");
  RecordUnit& u = units[unit];
  if (!u.stream && connectDefault(unit) != 0) reportFailure(114, "sfe");
  statementState.currentUnit = &u;
  statementState.lastFormat = kRowFormat;
  statementState.lastFormatLength = formatLength(kRowFormat);
  outputRecord.position = 0;
  step = 0;
  if (!u.lastWasWrite && switchToWriting(u) != 0) reportFailure(127, "write start");
}

void putReal(float value) {
  const int field = walkToField();
  if (field < kStepCount) {
    formatFixed(value, kRowEditList[field].width, kRowEditList[field].decimals);
  }
}

void finish() {
  walkToField();
  emitOutputRecord();
  statementInProgress = false;
  statementState.lastFormat = nullptr;
}

}  // namespace FixedRowWriter

}  // namespace recordio
