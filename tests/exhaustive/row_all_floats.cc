// Every float pattern through the quick way of the table rows: each group
// of four consecutive patterns, in each of its four rotations, is placed as
// a whole row with the texts made four at once and one at a time.  Both
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

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "recordio/fixed_fields.h"
#include "recordio/freeform_output.h"

namespace {

using recordio::FixedRowWriter::placeWholeRow;

// The field formatFixed places, into `out`.
void walkField(float value, int width, char* out) {
  recordio::outputRecord.position = 0;
  recordio::formatFixed(value, width, 3);
  memcpy(out, recordio::outputRecord.chars, static_cast<size_t>(width));
}

long checkGroups(uint64_t first, uint64_t last, uint64_t stride) {
  long differences = 0;
  for (uint64_t group = first; group < last; group += stride) {
    float values[4];
    char narrow[4][8], wide[4][16];
    for (int k = 0; k < 4; ++k) {
      values[k] = std::bit_cast<float>(static_cast<uint32_t>(4 * group + k));
      walkField(values[k], 7, narrow[k]);
      walkField(values[k], 10, wide[k]);
    }
    for (int rotation = 0; rotation < 4; ++rotation) {
      float row[4];
      char expected[41];
      for (int k = 0; k < 4; ++k) row[k] = values[(k + rotation) % 4];
      memcpy(expected, narrow[rotation], 7);
      for (int k = 1; k < 4; ++k) {
        expected[7 + 11 * (k - 1)] = ',';
        memcpy(expected + 8 + 11 * (k - 1), wide[(k + rotation) % 4], 10);
      }
      expected[40] = '\n';
      char byFours[48], oneByOne[48];
      recordio::FixedRowWriter::useFourAtOnce = true;
      const bool placedByFours = placeWholeRow(byFours, row);
      recordio::FixedRowWriter::useFourAtOnce = false;
      const bool placedOneByOne = placeWholeRow(oneByOne, row);
      const bool same = placedByFours == placedOneByOne &&
                        (!placedByFours || (memcmp(byFours, oneByOne, 41) == 0 &&
                                            memcmp(byFours, expected, 41) == 0));
      if (!same && ++differences <= 10) {
        printf(
            "patterns %08llx to %08llx, rotation %d: placed %d and %d: [%.40s] [%.40s] walk "
            "[%.40s]\n",
            static_cast<unsigned long long>(4 * group),
            static_cast<unsigned long long>(4 * group + 3), rotation, placedByFours, placedOneByOne,
            byFours, oneByOne, expected);
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
