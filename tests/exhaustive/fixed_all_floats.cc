// Checks formatFixed against the C library's "%#.*f" for every one of the
// 2^32 float bit patterns, at widths 7 and 10 with 3 decimals, the fields
// of the table.  Not part of the test suite (it takes minutes): run it by
// hand after any change to the field conversion.
//
//   fixed_all_floats [PROCESSES]
//
// Splits the patterns over PROCESSES children (default 2); prints every
// difference it finds (at most 20 a child) and exits 1 if there was one.
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/reference_conversions.h"

namespace {

int checkSlice(uint64_t first, uint64_t last) {
  int differences = 0;
  for (uint64_t pattern = first; pattern < last; ++pattern) {
    const float value = std::bit_cast<float>(static_cast<uint32_t>(pattern));
    for (int width : {7, 10}) {
      const std::string expected = referenceFixedField(value, width, 3);
      const std::string got = fixedField(value, width, 3);
      if (got != expected && ++differences <= 20) {
        printf("pattern %08llx (%a) width %d: fast [%s], reference [%s]\n",
               static_cast<unsigned long long>(pattern), static_cast<double>(value), width,
               got.c_str(), expected.c_str());
      }
    }
  }
  return differences;
}

}  // namespace

int main(int argc, char** argv) {
  const int processes = argc > 1 ? atoi(argv[1]) : 2;
  const uint64_t total = uint64_t{1} << 32;
  const auto began = std::chrono::steady_clock::now();
  for (int p = 0; p < processes; ++p) {
    if (fork() == 0) {
      const int differences = checkSlice(total * p / processes, total * (p + 1) / processes);
      fflush(stdout);
      _exit(differences == 0 ? 0 : 1);
    }
  }
  bool clean = true;
  for (int p = 0; p < processes; ++p) {
    int status = 0;
    wait(&status);
    clean = clean && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  printf("%s: all 2^32 patterns at widths 7 and 10 in %.0f s\n",
         clean ? "no difference" : "DIFFERENCES FOUND", seconds);
  return clean ? 0 : 1;
}
