#include "recordio/freeform_input.h"

#include <cstdio>

#include "recordio/failure_report.h"
#include "recordio/process.h"
#include "recordio/record_scan.h"
#include "recordio/records.h"

namespace recordio {

namespace {

enum class ItemKind { integer, real };

// The work area of one number: its retained digits and decimal exponent.
struct Number {
  char digits[kMaxRetainedDigits];
  int count = 0;         // retained digits
  bool dropped = false;  // a significant digit beyond the 40 was dropped
  bool negative = false;
  int64_t exponent = 0;  // wide, so that no input can overflow it
  int64_t seen = 0;      // digits seen, leading zeros included
};

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isGap(int c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isSign(int c) { return c == '+' || c == '-'; }

// The next character of the statement's unit; the end of the file also
// marks the statement.
inline int next(RecordUnit& u) {
  const int c = nextChar(u);
  if (c == EOF && u.atEnd) [[unlikely]]
    readerState.sawEndOfFile = true;
  return c;
}

void retain(Number& n, int c) {
  if (n.count < kMaxRetainedDigits) {
    n.digits[n.count++] = static_cast<char>(c);
  } else {
    n.dropped = true;
    ++n.exponent;
  }
}

// Reads the exponent digits after an exponent sign or letter.
int64_t scanExponent(RecordUnit& u, int& c) {
  if (!isDigit(c)) reportFailure(112, "exponent field");
  int64_t exponent = c - '0';
  while (isDigit(c = next(u))) {
    exponent = 10 * exponent + (c - '0');
    if (exponent > kMaxExponent) reportFailure(112, "exponent field");
  }
  return exponent;
}

void scanValue(RecordUnit& u, ItemKind kind) {
  if (readerState.pendingRepeat > 0) return;  // the item takes the last outcome again
  readerState.pendingRepeat = 1;
  readerState.haveValue = false;
  bool repeatTaken = false;
  Number n;
  int c;
  for (;;) {
    n.count = 0;
    n.dropped = false;
    n.negative = false;
    n.seen = 0;
    c = next(u);
    if (isSign(c)) {
      n.negative = c == '-';
      c = next(u);
    }
    for (; c == '0'; c = next(u)) ++n.seen;
    for (; isDigit(c); c = next(u)) retain(n, c);
    if (c != '*' || repeatTaken) break;
    if (n.count == 0 || n.dropped || n.negative) reportFailure(112, "bad repetition count");
    int64_t count = 0;
    for (int i = 0; i < n.count && count <= INT32_MAX; ++i)
      count = 10 * count + (n.digits[i] - '0');
    if (count > INT32_MAX) reportFailure(112, "bad repetition count");
    readerState.pendingRepeat = static_cast<int32_t>(count);
    repeatTaken = true;
  }
  if (c == '.') {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next(u);
    if (n.count == 0) {
      for (; c == '0'; c = next(u)) {
        ++n.seen;
        --n.exponent;
      }
    }
    for (; isDigit(c); c = next(u)) {
      if (n.count < kMaxRetainedDigits) {
        n.digits[n.count++] = static_cast<char>(c);
        --n.exponent;
      }
    }
  }
  n.seen += n.count;
  bool hasExponent = isSign(c);
  if (!hasExponent && n.seen > 0 && (c == 'D' || c == 'E' || c == 'd' || c == 'e')) {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next(u);
    hasExponent = true;
  }
  if (hasExponent) {
    const bool exponentNegative = c == '-';
    if (isSign(c)) c = next(u);
    const int64_t exponent = scanExponent(u, c);
    n.exponent += exponentNegative ? -exponent : exponent;
  }
  pushBack(u, c);
  while (n.count > 0 && n.digits[n.count - 1] == '0') {
    --n.count;
    ++n.exponent;
  }
  readerState.lastValue =
      n.count > 0 ? decimalToDouble(n.negative, n.digits, n.count, n.exponent) : 0.0;
  if (n.seen > 0) {
    readerState.haveValue = true;
  } else if (!(c == ',' || c == '/' || (repeatTaken && (c == ' ' || c == '\t' || c == '\n')))) {
    reportFailure(112, "invalid number");
  }
}

// Gives up the reals read ahead that no item took: the reader then stands
// where the general path would stand after those that were taken.
void endReadAhead(RecordUnit& u) {
  FreeFormReader::ReadAhead& a = FreeFormReader::readAhead;
  if (a.record.count == 0) return;
  u.readNext = positionAfterFields(a.record, a.next);
  a.record.count = a.next = 0;
}

// Steps common to both item kinds; false when the item gets no value.
bool scanItem(ItemKind kind) {
  if (readerState.listEnded) return false;
  RecordUnit& u = *statementState.currentUnit;
  if (readerState.sawEndOfFile) reportFailure(-1, "list in");
  bool nullByComma = false;
  if (readerState.pendingRepeat == 0) {
    readerState.haveValue = false;
    for (;;) {
      int c = next(u);
      if (isGap(c)) continue;
      if (c == EOF) {
        if (u.readError != 0) reportSystemFailure(u.readError, "list in");
        reportFailure(-1, "list in");
      }
      if (c == ',') {
        readerState.pendingRepeat = 1;
        nullByComma = true;
      } else if (c == '/') {
        readerState.listEnded = true;
        return false;
      } else {
        pushBack(u, c);
      }
      break;
    }
  }
  if (!nullByComma) {
    scanValue(u, kind);
    int c;
    while ((c = next(u)) == ' ' || c == '\t') {
    }
    if (!(c == ',' && readerState.pendingRepeat <= 1)) pushBack(u, c);
  }
  if (u.readError != 0) [[unlikely]] {
    const int error = u.readError;
    u.readError = 0;
    reportSystemFailure(error, "list in");
  }
  const bool stored = readerState.haveValue;
  if (readerState.pendingRepeat > 0) --readerState.pendingRepeat;
  return stored;
}

}  // namespace

ReaderState readerState;

namespace FreeFormReader {

ReadAhead readAhead;

RecordUnit& checkStart(int32_t unit) {
  RecordUnit& u = startListStatement(unit);
  if (u.lastWasWrite && switchToReading(u) != 0) reportFailure(126, "read start");
  if (u.atEnd) reportFailure(-1, "read start");
  if (u.stream == stdin) flushConsole();
  return u;
}

void getInteger(int32_t& item) {
  endReadAhead(*statementState.currentUnit);
  if (scanItem(ItemKind::integer)) item = toInteger(readerState.lastValue);
}

void getOtherReal(float& item) {
  endReadAhead(*statementState.currentUnit);
  countRoute(&RouteCounts::otherReals);
  if (scanItem(ItemKind::real)) item = toReal(readerState.lastValue);
}

void finishRecord(RecordUnit& u) {
  endReadAhead(u);
  // Most statements stop right at their record's line feed.
  if (!u.atEnd && u.pushedCount == 0 && u.readNext < u.readEnd && *u.readNext == '\n') [[likely]] {
    ++u.readNext;
  } else if (!u.atEnd && !skipPastLineEnd(u)) {
    u.atEnd = readerState.sawEndOfFile = true;
  }
}

}  // namespace FreeFormReader

}  // namespace recordio
