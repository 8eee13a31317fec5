#include "recordio/units.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "recordio/fixed_fields.h"
#include "recordio/records.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

const char kReadState[] =
    "apparent state: unit 11 named f.txt\nlast format: (a80)\n"
    "lately reading sequential formatted external IO\n";

void disconnectFileUnit() {
  DisconnectRequest request;
  request.unit = 11;
  disconnectUnit(request);
}

void becomeNobody() {
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) abort();
}

// In a child, in a fresh folder holding f.txt with `content`: connects unit
// 11 to it and reads `reads` records, each written out between brackets.
ChildResult readRecords(const std::string& content, int reads) {
  const std::string dir = makeTempDir();
  writeFile(dir + "/f.txt", content);
  return runInChild([&] {
    if (chdir(dir.c_str()) != 0) abort();
    prepareLayer();
    connectFileUnit("f.txt", "old");
    for (int i = 0; i < reads; ++i) {
      char line[80];
      memset(line, '#', 80);
      ReadRequest request;
      request.unit = 11;
      readRecordField(request, line, 80);
      printf("[%.80s]\n", line);
    }
  });
}

TEST(RecordRead, EveryShapeOfRecord) {
  const std::string eighty(80, 'a'), longer = eighty + "tail";
  struct Case {
    std::string content;
    std::string out;
    std::string err;
  } cases[] = {
      {"short\nnext\n", "[" + padded("short") + "]\n[" + padded("next") + "]\n", ""},
      {eighty + "\nnext\n", "[" + eighty + "]\n[" + padded("next") + "]\n", ""},
      {longer + "\nnext\n", "[" + eighty + "]\n[" + padded("next") + "]\n", ""},
      {"\nnext\n", "[" + padded("") + "]\n[" + padded("next") + "]\n", ""},
      {"crlf\r\nnext\r\n", "[" + padded("crlf") + "]\n[" + padded("next") + "]\n", ""},
      {"cr cr lf\r\r\nnext\n", "[" + padded("cr cr lf\r") + "]\n[" + padded("next") + "]\n", ""},
      {"a\rb\x1a\nnext", "[" + padded("a\rb\x1a") + "]\n", "fmt: end of file\n"},
      {"", "", "fmt: end of file\n"},
      {"last", "", "fmt: end of file\n"},
      {longer, "[" + eighty + "]\n", "read start: end of file\n"},
      {eighty, "[" + eighty + "]\n", "read start: end of file\n"},
  };
  for (const Case& c : cases) {
    ChildResult r = readRecords(c.content, 2);
    EXPECT_EQ(r.out, c.out) << c.content;
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(r.exitCode, 0);
    } else {
      EXPECT_EQ(r.err, c.err + kReadState) << c.content;
      EXPECT_EQ(r.signal, SIGABRT);
    }
  }
}

// A carriage return that ends one read window and the byte that begins
// the next: the pair is still one line end, and a CR before a CR stays.
TEST(RecordRead, LineEndAcrossARefill) {
  struct Case {
    std::string ahead, file, out;
  } cases[] = {
      {"abc\r", "\nnext\n", "[" + padded("abc") + "][" + padded("next") + "]"},
      {"abc\r", "\r\nnext\n", "[" + padded("abc\r") + "][" + padded("next") + "]"},
      {"abc\r\r", "\nnext\n", "[" + padded("abc\r") + "][" + padded("next") + "]"},
      {"abc\r", "next\nmore\n", "[" + padded("abc\rnext") + "][" + padded("more") + "]"},
  };
  for (const Case& c : cases) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/f.txt", c.file);
    ChildResult r = runInChild([&] {
      if (chdir(dir.c_str()) != 0) abort();
      prepareLayer();
      connectFileUnit("f.txt", "old");
      readFromMemory(units[11], c.ahead.data(), c.ahead.size());
      ReadRequest request;
      request.unit = 11;
      char line[80];
      for (int i = 0; i < 2; ++i) {
        readRecordField(request, line, 80);
        printf("[%.80s]", line);
      }
    });
    EXPECT_EQ(r.out, c.out) << c.ahead << c.file;
    EXPECT_EQ(r.err, "");
  }
}

// Records of random bytes (line feeds, carriage returns, blanks, others)
// split at random between what the read window already holds and the file
// behind it: the field is byte for byte the one read from the file alone,
// with the same outcome and the same position.
TEST(RecordRead, WindowFieldEqualsByteByByte) {
  const std::string dir = makeTempDir();
  ChildResult r = runInChild([&] {
    if (chdir(dir.c_str()) != 0) abort();
    prepareLayer();
    std::mt19937 random(20261210);
    for (int round = 0; round < 20000; ++round) {
      // Line ends rare or common; lengths and splits near the field's width.
      const unsigned lineEnds = (const unsigned[]){5, 20, 100, 400}[random() % 4];
      std::string content(random() % 2 ? 76 + random() % 8 : random() % 200, ' ');
      for (char& c : content) {
        c = random() % 1000 < lineEnds ? "\r\n"[random() % 2] : "ab \t"[random() % 4];
      }
      if (content.size() > 84 && random() % 2) {
        const char* const ends[] = {"\r", "\n", "\r\n"};
        const std::string end = ends[random() % 3];
        content.replace(76 + random() % 8, end.size(), end);
      }
      const size_t ahead = random() % 3 == 0   ? content.size()
                           : random() % 2 == 0 ? std::min<size_t>(content.size(), 76 + random() % 8)
                                               : random() % (content.size() + 1);
      std::string outcome[2];
      for (int way = 0; way < 2; ++way) {
        const size_t held = way == 0 ? ahead : 0;
        writeFile("f.txt", content.substr(held));
        connectFileUnit("f.txt", "old");
        readFromMemory(units[11], content.data(), held);
        for (int i = 0; i < 3; ++i) {
          char line[80];
          ReadRequest request;
          request.unit = 11;
          request.err = request.end = true;
          const int status = readRecordField(request, line, 80);
          outcome[way] += std::to_string(status) + "@" + std::to_string(readPosition(units[11])) +
                          "[" + (status == 0 ? std::string(line, 80) : "") + "]";
        }
        disconnectFileUnit();
      }
      if (outcome[0] != outcome[1]) {
        printf("round %d: %s\n%s\n", round, outcome[0].c_str(), outcome[1].c_str());
        return;
      }
    }
  });
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.exitCode, 0);
}

// A unit number outside the table: the record read gives the number back
// when asked to and ends its statement; the row start reports it.
TEST(EditedStart, UnitOutsideTheTable) {
  ChildResult r = runInChild([] {
    prepareLayer();
    for (int32_t unit : {-1, 100}) {
      char line[80];
      printf("%d %d\n", readRecordField({.err = true, .unit = unit}, line, 80),
             statementInProgress);
    }
    FixedRowWriter::start(100);
  });
  EXPECT_EQ(r.out, "101 0\n101 0\n");
  EXPECT_EQ(r.err.substr(0, 29), "startio: illegal unit number\n");
  EXPECT_EQ(r.signal, SIGABRT);
}

TEST(Fields, AssignAndTrim) {
  char f[80];
  assignText(f, 80, "SCSe-N11E.txt", 13);
  EXPECT_EQ(std::string(f, 80), padded("SCSe-N11E.txt"));
  const std::string hundred(100, 'z');
  assignText(f, 80, hundred.data(), 100);
  EXPECT_EQ(std::string(f, 80), std::string(80, 'z'));
  char overlap[] = "abcdef";
  assignText(overlap + 1, 5, overlap, 3);
  EXPECT_STREQ(overlap, "aabc  ");

  EXPECT_EQ(trimName(padded("SCSe-N11E.txt").data(), 80), 13);
  EXPECT_EQ(trimName(padded("  lead and inner ").data(), 80), 16);
  EXPECT_EQ(trimName(padded("").data(), 80), 0);
}

// Connects unit 11 in a child, in a folder prepared by `setup`, and writes
// the unit's permits and direction; failures give the report.
ChildResult connectIn(const std::string& name, const char* stat, bool asNobody) {
  const std::string dir = makeTempDir();
  chmod(dir.c_str(), 0777);
  writeFile(dir + "/rw.txt", "data\n");
  writeFile(dir + "/ro.txt", "data\n");
  chmod((dir + "/ro.txt").c_str(), 0444);
  mkdir((dir + "/folder").c_str(), 0755);
  return runInChild([&] {
    if (chdir(dir.c_str()) != 0) abort();
    if (asNobody) becomeNobody();
    prepareLayer();
    connectFileUnit(name, stat);
    printf("permits %d write %d [%s]\n", units[11].permits, units[11].lastWasWrite,
           readFile(name).c_str());
  });
}

TEST(Connect, EachSituationAndStatus) {
  const std::string lately = "lately writing direct unformatted external IO\n";
  const std::string noEntry = strerror(ENOENT), folder = strerror(EISDIR);
  struct Case {
    std::string name;
    const char* stat;
    bool asNobody;
    std::string out;
    std::string err;
  } cases[] = {
      {"rw.txt", "old", false, "permits 3 write 0 [data\n]\n", ""},
      {"rw.txt", "unknown", false, "permits 3 write 0 [data\n]\n", ""},
      {"ro.txt", "old", true, "permits 1 write 0 [data\n]\n", ""},
      {"ro.txt", "unknown", true, "permits 1 write 0 [data\n]\n", ""},
      {"new.txt", "unknown", false, "permits 2 write 1 []\n", ""},
      {"missing.txt", "old", false, "",
       "open: " + noEntry + "\napparent state: unit 11 named missing.txt\n" + lately},
      {"folder", "old", false, "",
       "open: " + folder + "\napparent state: unit 11 named folder\n" + lately},
      {"folder", "unknown", false, "",
       "open: " + folder + "\napparent state: unit 11 named folder\n" + lately},
      {"nodir/x.txt", "old", false, "",
       "open: " + noEntry + "\napparent state: unit 11 named nodir/x.txt\n" + lately},
      {"nodir/x.txt", "unknown", false, "",
       "open: " + noEntry + "\napparent state: unit 11 named nodir/x.txt\n" + lately},
      {"  lead in", "unknown", false, "permits 2 write 1 []\n", ""},
      {"", "unknown", false, "", "open: null file name\napparent state: unit 11 named \n" + lately},
  };
  for (const Case& c : cases) {
    ChildResult r = connectIn(c.name, c.stat, c.asNobody);
    EXPECT_EQ(r.out, c.out) << c.name << " " << c.stat;
    EXPECT_EQ(r.err, c.err) << c.name << " " << c.stat;
    EXPECT_EQ(r.signal, c.err.empty() ? 0 : SIGABRT) << c.name;
  }
}

// Connects unit 11 with "unknown" to a file holding `before`, writes
// `records` through the layer, disconnects, and gives the file's content.
std::string rewrite(const std::string& before, const std::vector<std::string>& records,
                    bool exists = true) {
  const std::string dir = makeTempDir(), path = dir + "/out.csv";
  if (exists) writeFile(path, before);
  ChildResult r = runInChild([&] {
    prepareLayer();
    connectFileUnit(path, "unknown");
    if (readFile(path) != (exists ? before : "")) abort();
    for (const std::string& record : records) {
      if (!units[11].lastWasWrite && switchToWriting(units[11]) != 0) abort();
      emitRecord(units[11], (record + "\n").data(), record.size() + 1);
    }
    disconnectFileUnit();
  });
  EXPECT_EQ(r.exitCode, 0);
  return readFile(path);
}

TEST(Disconnect, CutsRewrittenFilesAndKeepsOthers) {
  EXPECT_EQ(rewrite("0123456789\nabcdefghij\n", {"new", "rows"}), "new\nrows\n");
  EXPECT_EQ(rewrite("short\n", {"a longer row", "and more"}), "a longer row\nand more\n");
  EXPECT_EQ(rewrite("untouched\r\nbytes", {}), "untouched\r\nbytes");
  EXPECT_EQ(rewrite("", {}, false), "");
  EXPECT_EQ(rewrite("", {"first"}, false), "first\n");
}

TEST(Disconnect, UnconnectedUnitIsANoOp) {
  ChildResult r = runInChild([] {
    prepareLayer();
    disconnectFileUnit();
    DisconnectRequest outside;
    outside.unit = 100;
    printf("%d %d\n", disconnectUnit(outside), units[11].stream == nullptr);
  });
  EXPECT_EQ(r.out, "0 1\n");
}

}  // namespace
