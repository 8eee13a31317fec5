#include "recordio/freeform_input.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "recordio/failure_report.h"
#include "recordio/units.h"

namespace recordio {

namespace {

enum class ItemKind { integer, real };

/// State of the one free-form read statement in progress.
struct ReaderState {
  int32_t pendingRepeat = 0;  ///< Items, this one included, that take the last scan.
  bool listEnded = false;     ///< A slash ended the value list.
  bool sawEndOfFile = false;  ///< The end of the file was met in this statement.
  bool haveValue = false;     ///< The last scan gave a value (else a null value).
  double lastValue = 0;
};

ReaderState reader;

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

int next() {
  int c = nextChar();
  if (c == EOF && statementState.currentUnit->atEnd) reader.sawEndOfFile = true;
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

// The decimal text of the number (sign, digits, exponent) to the nearest double.
double convert(const Number& n) {
  char text[64];
  int length = 0;
  if (n.negative) text[length++] = '-';
  for (int i = 0; i < n.count; ++i) text[length++] = n.digits[i];
  if (n.exponent != 0) {
    const int64_t limit = 999999999;
    const int64_t e = n.exponent > limit ? limit : n.exponent < -limit ? -limit : n.exponent;
    snprintf(text + length, sizeof text - length, "e%lld", static_cast<long long>(e));
  } else {
    text[length] = '\0';
  }
  return strtod(text, nullptr);
}

// Reads the exponent digits after an exponent sign or letter.
int64_t scanExponent(int& c) {
  if (!isDigit(c)) reportFailure(112, "exponent field");
  int64_t exponent = c - '0';
  while (isDigit(c = next())) {
    exponent = 10 * exponent + (c - '0');
    if (exponent > kMaxExponent) reportFailure(112, "exponent field");
  }
  return exponent;
}

void scanValue(ItemKind kind) {
  if (reader.pendingRepeat > 0) return;  // the item takes the last outcome again
  reader.pendingRepeat = 1;
  reader.haveValue = false;
  bool repeatTaken = false;
  Number n;
  int c;
  for (;;) {
    n.count = 0;
    n.dropped = false;
    n.negative = false;
    n.seen = 0;
    c = next();
    if (isSign(c)) {
      n.negative = c == '-';
      c = next();
    }
    for (; c == '0'; c = next()) ++n.seen;
    for (; isDigit(c); c = next()) retain(n, c);
    if (c != '*' || repeatTaken) break;
    if (n.count == 0 || n.dropped || n.negative) reportFailure(112, "bad repetition count");
    int64_t count = 0;
    for (int i = 0; i < n.count && count <= INT32_MAX; ++i)
      count = 10 * count + (n.digits[i] - '0');
    if (count > INT32_MAX) reportFailure(112, "bad repetition count");
    reader.pendingRepeat = static_cast<int32_t>(count);
    repeatTaken = true;
  }
  if (c == '.') {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next();
    if (n.count == 0) {
      for (; c == '0'; c = next()) {
        ++n.seen;
        --n.exponent;
      }
    }
    for (; isDigit(c); c = next()) {
      if (n.count < kMaxRetainedDigits) {
        n.digits[n.count++] = static_cast<char>(c);
        --n.exponent;
      }
    }
  }
  n.seen += n.count;
  bool exponentNegative = false;
  bool hasExponent = false;
  if (isSign(c)) {
    exponentNegative = c == '-';
    c = next();
    hasExponent = true;
  } else if (n.seen > 0 && (c == 'D' || c == 'E' || c == 'd' || c == 'e')) {
    if (kind == ItemKind::integer) reportFailure(115, "invalid integer");
    c = next();
    if (isSign(c)) {
      exponentNegative = c == '-';
      c = next();
    }
    hasExponent = true;
  }
  if (hasExponent) {
    const int64_t exponent = scanExponent(c);
    n.exponent += exponentNegative ? -exponent : exponent;
  }
  pushBack(c);
  while (n.count > 0 && n.digits[n.count - 1] == '0') {
    --n.count;
    ++n.exponent;
  }
  reader.lastValue = n.count > 0 ? convert(n) : 0.0;
  if (n.seen > 0) {
    reader.haveValue = true;
  } else if (!(c == ',' || c == '/' || (repeatTaken && (c == ' ' || c == '\t' || c == '\n')))) {
    reportFailure(112, "invalid number");
  }
}

// Steps common to both item kinds; false when the item gets no value.
bool getItem(ItemKind kind) {
  if (reader.listEnded) return false;
  if (reader.sawEndOfFile) reportFailure(-1, "list in");
  bool nullByComma = false;
  if (reader.pendingRepeat == 0) {
    reader.haveValue = false;
    for (;;) {
      int c = next();
      if (isGap(c)) continue;
      if (c == EOF) {
        FILE* stream = statementState.currentUnit->stream;
        if (ferror(stream)) reportSystemFailure(errno, "list in");  // a read error, not the end
        reportFailure(-1, "list in");
      }
      if (c == ',') {
        reader.pendingRepeat = 1;
        nullByComma = true;
      } else if (c == '/') {
        reader.listEnded = true;
        return false;
      } else {
        pushBack(c);
      }
      break;
    }
  }
  if (!nullByComma) {
    scanValue(kind);
    int c;
    while ((c = next()) == ' ' || c == '\t') {
    }
    if (!(c == ',' && reader.pendingRepeat <= 1)) pushBack(c);
  }
  FILE* stream = statementState.currentUnit->stream;
  if (ferror(stream)) {
    const int error = errno;
    clearerr(stream);
    reportSystemFailure(error, "list in");
  }
  const bool stored = reader.haveValue;
  if (reader.pendingRepeat > 0) --reader.pendingRepeat;
  return stored;
}

}  // namespace

float toReal(double value) {
  // Beyond the largest float by half a unit in the last place the nearest
  // float is infinity; the conversion itself is only defined in range.
  constexpr double kOverflow = 0x1.ffffffp127;
  if (std::fabs(value) >= kOverflow) return value < 0 ? -INFINITY : INFINITY;
  if (std::fabs(value) > FLT_MAX) return value < 0 ? -FLT_MAX : FLT_MAX;
  return static_cast<float>(value);
}

int32_t toInteger(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return INT32_MIN;
}

namespace FreeFormReader {

void start(int32_t unit) {
  statementState.reading = statementState.sequential = true;
  statementState.formatted = statementState.external = true;
  RecordUnit& u = startListStatement(unit);
  reader.pendingRepeat = 0;
  reader.listEnded = false;
  reader.sawEndOfFile = false;
  if (u.lastWasWrite && switchToReading(u) != 0) reportFailure(126, "read start");
  if (u.atEnd) reportFailure(-1, "read start");
  if (u.stream == stdin) fflush(stdout);
}

void getInteger(int32_t& item) {
  if (getItem(ItemKind::integer)) item = toInteger(reader.lastValue);
}

void getReal(float& item) {
  if (getItem(ItemKind::real)) item = toReal(reader.lastValue);
}

void finish() {
  statementInProgress = false;
  RecordUnit& u = *statementState.currentUnit;
  if (u.atEnd) return;
  int c;
  while ((c = nextChar()) != '\n') {
    if (c == EOF) {
      u.atEnd = true;
      reader.sawEndOfFile = true;
      return;
    }
  }
}

}  // namespace FreeFormReader

}  // namespace recordio
