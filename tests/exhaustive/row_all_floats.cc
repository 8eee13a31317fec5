// Every float pattern through the quick way of the table rows: each group
// of four consecutive patterns, in each of its four rotations, is placed as
// a whole row with the texts made four at once and one at a time (the
// routes fastest and plain).  Both
// must give the same answer, and a row they place must be the row of
// formatFixed's fields (which fixed_all_floats checks against the C
// library for every pattern), so a row never differs from the walk's.
//
//   row_all_floats [STRIDE [PROCESSES]]
//
// Checks every STRIDE-th group (default 1: all of them) over PROCESSES
// children (default 2); prints the first differences and exits 1 if there
// was one.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "recordio/fixed_fields.h"
#include "recordio/freeform_output.h"
#include "recordio/routes.h"

namespace {

using recordio::FixedRowWriter::placeWholeRow;

// The field formatFixed places, into `out`.
void walkField(float value, recordio::EditStep field, char* out) {
  recordio::outputRecord.position = 0;
  recordio::formatFixed(value, field.width, field.decimals);
  memcpy(out, recordio::outputRecord.chars, 32);  // the storage holds 400 at least
}

// The row of four fields as the walk over the edit list builds it from
// formatFixed's fields: where each field starts, and the literals.
using recordio::kRowEditList;
static_assert(recordio::kRowFieldCount == 4, "groups of four patterns, one for each field");
constexpr int kRow = recordio::kRowLength;
struct Column {
  int start;
  recordio::EditStep field;
  bool likeTheOneBefore;  // the same width and decimals
};
constexpr std::array<Column, 4> kColumns = [] {
  std::array<Column, 4> columns{};
  for (int step = 0, at = 0, f = 0; step < kRowEditList.length; ++step) {
    const recordio::EditStep& s = kRowEditList.steps[step];
    if (!s.isField) {
      ++at;
      continue;
    }
    const bool same = f > 0 && columns[f - 1].field.width == s.width &&
                      columns[f - 1].field.decimals == s.decimals;
    columns[f++] = {at, s, same};
    at += s.width;
  }
  return columns;
}();
static_assert([] {
  for (const Column& c : kColumns) {
    if (c.field.width > 32) return false;  // the fields' storage below
  }
  return true;
}());
constexpr std::array<char, kRow> kLiterals = [] {
  std::array<char, kRow> text{};
  int at = 0;
  for (int step = 0; step < kRowEditList.length; ++step) {
    const recordio::EditStep& s = kRowEditList.steps[step];
    at += s.isField ? s.width : 0;
    if (!s.isField) text[at++] = s.text;
  }
  text[at] = '\n';
  return text;
}();

long checkGroups(uint64_t first, uint64_t last, uint64_t stride) {
  long differences = 0;
  for (uint64_t group = first; group < last; group += stride) {
    float values[4];
    // Each value's field in each column; a column like the one before
    // shares its fields.
    char fields[4][4][32];
    for (int k = 0; k < 4; ++k) {
      values[k] = std::bit_cast<float>(static_cast<uint32_t>(4 * group + k));
      for (int f = 0; f < 4; ++f) {
        if (kColumns[f].likeTheOneBefore) {
          memcpy(fields[k][f], fields[k][f - 1], 32);
        } else {
          walkField(values[k], kColumns[f].field, fields[k][f]);
        }
      }
    }
    for (int rotation = 0; rotation < 4; ++rotation) {
      float row[4];
      char expected[kRow];
      memcpy(expected, kLiterals.data(), kRow);
      for (int f = 0; f < 4; ++f) row[f] = values[(f + rotation) % 4];
      // Each field's width known to the compiler, so each copy is a move.
      [&]<size_t... F>(std::index_sequence<F...>) {
        (memcpy(expected + kColumns[F].start, fields[(F + rotation) % 4][F],
                kColumns[F].field.width),
         ...);
      }
      (std::make_index_sequence<4>());
      char byFours[recordio::FixedRowWriter::kWholeRowRoom];
      char oneByOne[recordio::FixedRowWriter::kWholeRowRoom];
      recordio::route = recordio::Route::fastest;
      const bool placedByFours = placeWholeRow(byFours, row);
      recordio::route = recordio::Route::plain;
      const bool placedOneByOne = placeWholeRow(oneByOne, row);
      const bool same = placedByFours == placedOneByOne &&
                        (!placedByFours || (memcmp(byFours, oneByOne, kRow) == 0 &&
                                            memcmp(byFours, expected, kRow) == 0));
      if (!same && ++differences <= 10) {
        printf(
            "patterns %08llx to %08llx, rotation %d: placed %d and %d: [%.*s] [%.*s] walk [%.*s]\n",
            static_cast<unsigned long long>(4 * group),
            static_cast<unsigned long long>(4 * group + 3), rotation, placedByFours, placedOneByOne,
            kRow - 1, byFours, kRow - 1, oneByOne, kRow - 1, expected);
      }
    }
  }
  return differences;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t stride = argc > 1 ? strtoull(argv[1], nullptr, 10) : 1;
  const int processes = argc > 2 ? atoi(argv[2]) : 2;
  if (stride < 1 || processes < 1) {
    fprintf(stderr, "usage: row_all_floats [STRIDE [PROCESSES]]\n");
    return 2;
  }
  constexpr uint64_t kGroups = uint64_t{1} << 30;
  for (int p = 0; p < processes; ++p) {
    if (fork() == 0) {
      // Slices of whole strides, so that the children check what one would.
      const uint64_t strides = (kGroups + stride - 1) / stride;
      const uint64_t first = strides * p / processes * stride;
      const uint64_t last = std::min(kGroups, strides * (p + 1) / processes * stride);
      const long differences = checkGroups(first, last, stride);
      fflush(stdout);
      _exit(differences == 0 ? 0 : 1);
    }
  }
  int failed = 0;
  for (int p = 0; p < processes; ++p) {
    int status = 0;
    wait(&status);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = 1;
  }
  printf("%llu groups of four patterns in four rotations, every %llu: %s\n",
         static_cast<unsigned long long>((kGroups + stride - 1) / stride),
         static_cast<unsigned long long>(stride), failed ? "rows differ" : "no difference");
  return failed;
}
