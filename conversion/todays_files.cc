#include "conversion/todays_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "recordio/failure_report.h"
#include "recordio/fixed_fields.h"
#include "recordio/formatted_input.h"
#include "recordio/freeform_output.h"
#include "recordio/platform.h"
#include "recordio/process.h"
#include "recordio/records.h"

namespace conversion {

namespace {

using recordio::FieldOutcome;
using recordio::InputRecord;
using recordio::RecordReader;

constexpr int32_t kInputUnit = 12;
constexpr int32_t kTableUnit = 13;
constexpr int32_t kConsoleOut = 6;
constexpr double kStandardGravity = 980.665;  // cm/s2 in one g

// The blocks of a channel, in the order of the file.
constexpr const char* kBlockNames[] = {"acceleration", "velocity", "displacement"};
constexpr const char* kBlockWords[] = {"accel", "veloc", "displ"};

int lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

// Where `word` (lower case) first stands in [p, end), in either case; null
// when nowhere.
const char* findWord(const char* p, const char* end, const char* word) {
  const size_t n = strlen(word);
  for (; static_cast<size_t>(end - p) >= n; ++p) {
    size_t i = 0;
    while (i < n && lower(p[i]) == word[i]) ++i;
    if (i == n) return p;
  }
  return nullptr;
}

// A record's text for a message: bytes that a terminal could take for
// control shown as '?', at most 80 of them.
std::string shown(const char* p, size_t length) {
  while (length > 0 && isBlank(p[length - 1])) --length;
  std::string text(p, std::min<size_t>(length, 80));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
  }
  return text;
}

// The first word of a record (up to a blank or a comma).
std::string firstWord(const InputRecord& r) {
  const char* p = r.text;
  const char* const end = r.text + r.length;
  while (p < end && isBlank(*p)) ++p;
  const char* q = p;
  while (q < end && !isBlank(*q) && *q != ',') ++q;
  return std::string(p, q);
}

// The number a word holds, read as a field of its own.
bool wordValue(const std::string& word, float& value) {
  return !word.empty() &&
         recordio::readRealField(word.data(), word.size(), 0, static_cast<int>(word.size()), 0,
                                 value) == FieldOutcome::number;
}

// A count of points: digits only, 1 to kMaxPoints.  0 when it is no
// count, -1 when it is above the limit.
int64_t countValue(const std::string& word) {
  if (word.empty() || word.size() > 12) return word.empty() ? 0 : -1;
  int64_t count = 0;
  for (char c : word) {
    if (!isDigit(c)) return 0;
    count = 10 * count + (c - '0');
  }
  return count > kMaxPoints ? -1 : count;
}

// The label of a channel from its title: from "Chan" up to "from", its
// blanks run together; "channel K" when the title names none.
std::string channelLabel(const std::string& title, int channel) {
  const char* const end = title.data() + title.size();
  const char* start = findWord(title.data(), end, "chan");
  if (!start) return "channel " + std::to_string(channel);
  const char* stop = findWord(start, end, " from");
  std::string label;
  for (const char* p = start; p < (stop ? stop : end); ++p) {
    if (isBlank(*p) && (label.empty() || label.back() == ' ')) continue;
    label += isBlank(*p) ? ' ' : *p;
  }
  while (!label.empty() && label.back() == ' ') label.pop_back();
  return label;
}

// A text as one field of a CSV row: quoted when it holds a comma or a
// quote.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

// The heading of a block: its count, interval (and the interval's text)
// and the edit list of its records.
struct Heading {
  int block = 0;  // index into kBlocks
  int64_t count = 0;
  float interval = 0;
  std::string intervalText;
  recordio::EditList list;
};

enum class HeadingKind { heading, notHeading, faulty };

// Reads a block heading: "N points of accel data equally spaced at DT
// sec, ... (FORMAT)", in either case, the format optional (8 fields of 10
// without it).
HeadingKind parseHeading(const InputRecord& r, Heading& h, std::string& what) {
  const char* p = r.text;
  const char* const end = r.text + r.length;
  while (p < end && isBlank(*p)) ++p;
  const char* const countStart = p;
  while (p < end && isDigit(*p)) ++p;
  const std::string countText(countStart, p);
  while (p < end && isBlank(*p)) ++p;
  if (countText.empty() || findWord(p, end, "points of") != p) return HeadingKind::notHeading;
  p += 9;
  while (p < end && isBlank(*p)) ++p;
  h.block = -1;
  for (int b = 0; b < 3; ++b) {
    if (findWord(p, end, kBlockWords[b]) == p) h.block = b;
  }
  if (h.block < 0) return HeadingKind::notHeading;

  h.count = countValue(countText);
  if (h.count < 0) {
    what = countText + " points: counts above 100000000 are refused";
    return HeadingKind::faulty;
  }
  if (h.count == 0) {
    what = "the heading gives a count of 0 points";
    return HeadingKind::faulty;
  }
  const char* at = findWord(p, end, "spaced at");
  if (!at) {
    what = "the heading gives no interval (\"spaced at\")";
    return HeadingKind::faulty;
  }
  at += 9;
  while (at < end && isBlank(*at)) ++at;
  const char* atEnd = at;
  while (atEnd < end && !isBlank(*atEnd) && *atEnd != ',') ++atEnd;
  h.intervalText.assign(at, atEnd);
  if (!wordValue(h.intervalText, h.interval) || !(h.interval > 0) || h.interval > 1e30f) {
    what =
        "the interval '" + shown(at, static_cast<size_t>(atEnd - at)) + "' is not a number above 0";
    return HeadingKind::faulty;
  }
  // A format is a parenthesis whose text begins as an edit list does; old
  // headings end with "(UNITS: ...)" instead.
  const char* open = nullptr;
  for (const char* q = atEnd; q < end; ++q) {
    if (*q == '(') open = q;
  }
  const char* first = open ? open + 1 : end;
  while (first < end && isBlank(*first)) ++first;
  const bool format =
      first < end && (isDigit(*first) || ((lower(*first) == 'f' || lower(*first) == 'e' ||
                                           lower(*first) == 'd' || lower(*first) == 'g') &&
                                          first + 1 < end && isDigit(first[1])));
  if (!format) {
    h.list = recordio::kEightFieldsOfTen;
    return HeadingKind::heading;
  }
  const char* close = end;
  while (close > open && close[-1] != ')') --close;
  if (close != open) h.list = recordio::parseEditList(open, static_cast<size_t>(close - open));
  if (close == open || !h.list.valid) {
    what = "the format '" + shown(open, static_cast<size_t>((close > open ? close : end) - open)) +
           "': " + (close != open ? h.list.error : "the format has no closing parenthesis");
    return HeadingKind::faulty;
  }
  return HeadingKind::heading;
}

// The reading of one file into a table.
class FileReading {
 public:
  FileReading(recordio::RecordUnit& unit, const char* name, const Options& options,
              TableData& table, std::string& error)
      : reader_(unit), name_(name), options_(options), table_(table), error_(error) {
    for (Quantity q : options.quantities) wanted_[static_cast<int>(q)] = true;
  }

  bool read() {
    InputRecord r;
    if (!reader_.next(r)) return readOk() && fail(1, "the file is empty");
    std::string title(r.text, r.length);
    for (int inFile = 1;; ++inFile) {
      bool more = false;
      if (!channel(title, inFile, more)) return false;
      if (!more) return true;
      // After a channel's blocks: its end line, then blank records or the
      // end-of-file marks of old systems, then the next channel's title.
      bool found = false;
      while (!found && reader_.next(r)) {
        const bool endLine = r.length >= 2 && r.text[0] == '/' && r.text[1] == '&';
        found = !endLine && !onlyBlanks(r);
        if (found) title.assign(r.text, r.length);
      }
      if (!found) return readOk();
    }
  }

 private:
  static bool onlyBlanks(const InputRecord& r) {
    return std::all_of(r.text, r.text + r.length,
                       [](char c) { return isBlank(c) || c == '\r' || c == '\x1a'; });
  }

  bool fail(int64_t line, const std::string& what) {
    error_ = "cdmg2csv: " + std::string(name_) + ":" + std::to_string(line) + ": " + what;
    return false;
  }
  // After the end of the file: a read error is a failure.
  bool readOk() {
    if (reader_.readError() == 0) return true;
    return fail(reader_.line() + 1,
                std::string("read error: ") + recordio::platform::errorText(reader_.readError()));
  }
  bool endedWithin(const std::string& where) {
    if (!readOk()) return false;
    return fail(reader_.line(), "the file ends here, within " + where);
  }

  // One channel from its title (read already).  `more`: the file may hold
  // another channel.
  bool channel(const std::string& title, int inFile, bool& more) {
    const int number = table_.channels + 1;
    const std::string where = "the header of channel " + std::to_string(inFile);
    std::string countRecord, intervalRecord;
    InputRecord r;
    for (int record = 2; record <= 46; ++record) {
      if (!reader_.next(r)) return endedWithin(where);
      if (record == 16) countRecord = firstWord(r);
      if (record == 17) intervalRecord = firstWord(r);
    }
    Heading h;
    std::string what;
    const HeadingKind kind = parseHeading(r, h, what);
    if (kind == HeadingKind::faulty) return fail(reader_.line(), what);
    float dialogueInterval = 0;
    if (kind == HeadingKind::heading && h.block == 0) {
      more = true;
    } else if (inFile == 1 && wordValue(intervalRecord, dialogueInterval)) {
      // The dialogue's own layout: the count and the interval lead records
      // 16 and 17, and the samples stand in fields of 10, eight to a record.
      for (Quantity q : options_.quantities) {
        if (q != Quantity::acceleration)
          return fail(reader_.line(), "this file of one component in the older layout holds no " +
                                          std::string(kBlockNames[static_cast<int>(q)]) + " block");
      }
      h.block = 0;
      h.count = countValue(countRecord);
      if (h.count < 0)
        return fail(reader_.line() - 30,
                    countRecord + " points: counts above 100000000 are refused");
      if (h.count == 0)
        return fail(reader_.line() - 30, "'" + shown(countRecord.data(), countRecord.size()) +
                                             "' is not a count of points");
      if (!(dialogueInterval > 0) || dialogueInterval > 1e30f)
        return fail(reader_.line() - 29, "the interval is not a number above 0");
      h.interval = dialogueInterval;
      h.intervalText = intervalRecord;
      h.list = recordio::kEightFieldsOfTen;
      more = false;
    } else {
      return fail(reader_.line(),
                  "not the heading of an acceleration block: '" + shown(r.text, r.length) + "'");
    }
    if (!sameInterval(h, number)) return false;

    std::vector<float> blocks[3];
    for (int b = 0;; ++b) {
      if (!block(h, wanted_[b] ? &blocks[b] : nullptr, inFile)) return false;
      if (!more || b == 2) break;
      if (!reader_.next(r))
        return endedWithin("channel " + std::to_string(inFile) + ", before its " +
                           kBlockNames[b + 1] + " block");
      const HeadingKind next = parseHeading(r, h, what);
      if (next == HeadingKind::faulty) return fail(reader_.line(), what);
      if (next == HeadingKind::notHeading || h.block != b + 1)
        return fail(reader_.line(), std::string("not the heading of a ") + kBlockNames[b + 1] +
                                        " block: '" + shown(r.text, r.length) + "'");
    }

    ++table_.channels;
    const std::string label = channelLabel(title, number);
    const std::vector<Quantity>& asked = options_.quantities;
    for (auto at = asked.begin(); at != asked.end(); ++at) {
      const Quantity q = *at;
      Column c;
      const int b = static_cast<int>(q);
      static constexpr const char* kWords[] = {"acc", "vel", "dis"};
      static constexpr const char* kUnits[] = {"cm/s2", "cm/s", "cm"};
      const bool inG = q == Quantity::acceleration && options_.unitsOfG;
      c.label = label + " " + kWords[b] + " (" + (inG ? "g" : kUnits[b]) + ")";
      // The block's last column takes it; one asked for twice, a copy first.
      const bool last = std::find(at + 1, asked.end(), q) == asked.end();
      c.values = last ? std::move(blocks[b]) : blocks[b];
      if (inG) {
        c.decimals = 6;
        for (float& v : c.values) v = static_cast<float>(v / kStandardGravity);
      }
      table_.columns.push_back(std::move(c));
    }
    return true;
  }

  bool sameInterval(const Heading& h, int number) {
    const std::string here = std::string(name_) + ":" + std::to_string(reader_.line());
    if (!table_.haveInterval) {
      table_.haveInterval = true;
      table_.interval = h.interval;
      table_.intervalSource = "channel 1 (" + here + ")";
      table_.intervalText = h.intervalText;
      return true;
    }
    if (h.interval == table_.interval) return true;
    return fail(reader_.line(), "the interval " +
                                    shown(h.intervalText.data(), h.intervalText.size()) +
                                    " s of channel " + std::to_string(number) + " differs from " +
                                    table_.intervalText + " s of " + table_.intervalSource);
  }

  // The values of a block under its heading, into `values` or passed over.
  bool block(const Heading& h, std::vector<float>* values, int inFile) {
    const int perRecord = h.list.fields;
    const int64_t records = (h.count + perRecord - 1) / perRecord;
    const std::string where =
        std::string("the ") + kBlockNames[h.block] + " block of channel " + std::to_string(inFile);
    if (!values) {
      if (reader_.skip(records)) return true;
      return endedWithin(where + " (" + std::to_string(h.count) + " values due)");
    }
    // Room for the values as they come, doubled when they fill it, so that
    // a count the file does not hold takes memory for at most twice the
    // values it does (and 65536 at first).
    int64_t read = 0;
    InputRecord r;
    for (int64_t k = 0; k < records; ++k) {
      if (!reader_.next(r))
        return endedWithin(where + ": " + std::to_string(read) + " of " + std::to_string(h.count) +
                           " values");
      const int fields = static_cast<int>(std::min<int64_t>(perRecord, h.count - read));
      if (static_cast<size_t>(read + fields) > values->size()) [[unlikely]] {
        try {
          values->resize(static_cast<size_t>(
              std::min(h.count, std::max<int64_t>(2 * read, int64_t{1} << 16))));
        } catch (const std::bad_alloc&) {
          return fail(reader_.line(),
                      "not enough memory for " + std::to_string(h.count) + " values");
        }
      }
      FieldOutcome outcome = FieldOutcome::number;
      const int bad = recordio::readFields(r, h.list, fields, values->data() + read, outcome);
      if (bad >= 0) [[unlikely]] {
        const recordio::EditStep field = h.list.field(bad);
        const size_t first = std::min<size_t>(field.column, r.length);
        const size_t last = std::min<size_t>(field.column + field.width, r.length);
        return fail(reader_.line(),
                    "columns " + std::to_string(field.column + 1) + "-" +
                        std::to_string(field.column + field.width) + ": " +
                        (outcome == FieldOutcome::blank
                             ? "no value, where value " + std::to_string(read + bad + 1) + " of " +
                                   std::to_string(h.count) + " of " + where + " is due"
                             : "'" + shown(r.text + first, last - first) + "' is not a number"));
      }
      read += fields;
    }
    return true;
  }

  RecordReader reader_;
  const char* name_;
  const Options& options_;
  TableData& table_;
  std::string& error_;
  bool wanted_[3] = {false, false, false};
};

// The name of a table being written beside its target, which every
// ending removes until the table has the target's name (removeAtEnding).
char pendingTable[4096];

std::string systemText(int number) {
  if (number >= 100 && number < 133) return recordio::kFailureMessages[number - 100];
  return recordio::platform::errorText(number);
}

bool connect(int32_t unit, const char* name, const char* status, std::string& error) {
  const int32_t length = static_cast<int32_t>(std::min<size_t>(strlen(name), 100000));
  const int number = recordio::connectUnit(
      {.err = true, .unit = unit, .file = name, .filelen = length, .stat = status});
  if (number == 0) return true;
  error = "cdmg2csv: " + std::string(name) + ": cannot open: " + systemText(number);
  return false;
}

void disconnect(int32_t unit) { recordio::disconnectUnit({.err = true, .unit = unit}); }

// Reads one file into `table`.
bool readFile(const char* name, const Options& options, TableData& table, std::string& error) {
  if (!connect(kInputUnit, name, "old", error)) return false;
  const bool read = readTodaysFile(recordio::units[kInputUnit], name, options, table, error);
  disconnect(kInputUnit);
  return read;
}

// Writes the table into a new file beside `target` and gives it the
// target's name once it is whole.
bool writeFile(const char* target, const TableData& table, const Options& options,
               std::string& error) {
  const std::string prefix = "cdmg2csv: " + std::string(target) + ": ";
  if (!recordio::platform::createFileBeside(target, pendingTable, sizeof pendingTable)) {
    error = prefix + "cannot create the table: " + systemText(errno);
    return false;
  }
  recordio::removeAtEnding(pendingTable);
  if (!connect(kTableUnit, pendingTable, "unknown", error)) {
    recordio::platform::removeFile(pendingTable);
    recordio::removeAtEnding(nullptr);
    return false;
  }
  recordio::RecordUnit& u = recordio::units[kTableUnit];
  bool written = recordio::switchToWriting(u) == 0;
  int number = written ? 0 : errno;
  if (written) {
    writeTodaysTable(kTableUnit, table, options);
    written = recordio::flushUnit(u);
    number = u.writeError != 0 ? u.writeError : errno;
  }
  if (recordio::disconnectUnit({.err = true, .unit = kTableUnit}) != 0 && written) {
    written = false;
    number = errno;
  }
  if (written && !recordio::platform::replaceFile(pendingTable, target)) {
    written = false;
    number = errno;
  }
  if (!written) {
    recordio::platform::removeFile(pendingTable);
    error = prefix + "cannot write the table: " + systemText(number);
  }
  recordio::removeAtEnding(nullptr);
  return written;
}

// DIR/NAME.csv for FILE: its name without folders and last extension.
std::string tableName(const char* directory, const char* file) {
  const char* name = file;
  for (const char* p = file; *p; ++p) {
    if (strchr(recordio::platform::kFolderSeparators, *p)) name = p + 1;
  }
  std::string stem(name);
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) stem.resize(dot);
  std::string path(directory);
  if (!path.empty() && !strchr(recordio::platform::kFolderSeparators, path.back())) path += '/';
  return path + stem + ".csv";
}

void report(const std::string& error) {
  recordio::flushConsole();
  const std::string line = error + "\n";
  recordio::platform::writeErrorText(line.data(), line.size());
}

[[noreturn]] void failWith(const std::string& error) {
  report(error);
  exit(1);
}

}  // namespace

bool readTodaysFile(recordio::RecordUnit& unit, const char* name, const Options& options,
                    TableData& table, std::string& error) {
  FileReading reading(unit, name, options, table, error);
  return reading.read();
}

void writeTodaysTable(int32_t unit, const TableData& table, const Options& options) {
  recordio::RecordUnit& u = recordio::units[unit];
  recordio::OutputRecord& out = recordio::outputRecord;
  if (options.header) {
    std::string row = "time (s)";
    for (const Column& c : table.columns) {
      row += ',';
      row += csvField(c.label);
    }
    row += '\n';
    recordio::emitRecord(u, row.data(), row.size());
  }
  size_t rows = 0, common = SIZE_MAX;
  for (const Column& c : table.columns) {
    rows = std::max(rows, c.values.size());
    common = std::min(common, c.values.size());
  }
  // Three columns of three decimals are the rows of the dialogue's table,
  // and take its writer up to the end of the shortest column.
  const bool dialogueRows =
      table.columns.size() == 3 &&
      std::ranges::all_of(table.columns, [](auto& c) { return c.decimals == 3; });
  const float* const first = dialogueRows ? table.columns[0].values.data() : nullptr;
  const float* const second = dialogueRows ? table.columns[1].values.data() : nullptr;
  const float* const third = dialogueRows ? table.columns[2].values.data() : nullptr;
  for (size_t i = 0; i < rows; ++i) {
    // Each time from its own index, as the dialogue computes it.
    const float t = static_cast<float>(i) * table.interval;
    if (dialogueRows && i < common) [[likely]] {
      recordio::FixedRowWriter::start(unit);
      recordio::FixedRowWriter::putReal(t);
      recordio::FixedRowWriter::putReal(first[i]);
      recordio::FixedRowWriter::putReal(second[i]);
      recordio::FixedRowWriter::putReal(third[i]);
      recordio::FixedRowWriter::finish();
      continue;
    }
    out.position = 0;
    recordio::formatFixed(t, 7, 3);
    for (const Column& c : table.columns) {
      recordio::placeChar(',');
      if (i < c.values.size()) recordio::formatFixed(c.values[i], 10, c.decimals);
    }
    recordio::placeChar('\n');
    recordio::emitRecord(u, out.chars, out.position);
    out.position = 0;
  }
}

void convertTodaysFiles(const Options& options) {
  std::string error;
  int status = 0;
  if (options.directory) {
    for (const char* file : options.files) {
      TableData table;
      const std::string target = tableName(options.directory, file);
      if (!readFile(file, options, table, error) ||
          !writeFile(target.c_str(), table, options, error)) {
        report(error);
        status = 1;
      }
    }
    exit(status);
  }
  TableData table;
  for (const char* file : options.files) {
    if (!readFile(file, options, table, error)) failWith(error);
  }
  if (options.output && strcmp(options.output, "-") != 0) {
    if (!writeFile(options.output, table, options, error)) failWith(error);
    exit(0);
  }
  writeTodaysTable(kConsoleOut, table, options);
  if (!recordio::flushUnit(recordio::units[kConsoleOut]))
    failWith("cdmg2csv: standard output: cannot write the table: " + systemText(errno));
  exit(0);
}

}  // namespace conversion
