#include "recordio/freeform_output.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "recordio/units.h"
#include "tests/support/child.h"

using namespace recordio;

namespace {

std::string rendered(float value) {
  char text[64];
  size_t length = renderReal(value, text, sizeof text);
  return std::string(text, length);
}

TEST(RenderReal, WorkedRenderings) {
  EXPECT_EQ(rendered(0.01f), "  0.00999999978");
  EXPECT_EQ(rendered(0.005f), "  0.00499999989");
  EXPECT_EQ(rendered(0.02f), "  0.0199999996");
  EXPECT_EQ(rendered(0.001f), "  0.00100000005");
  EXPECT_EQ(rendered(0.0f), "  0.");
  EXPECT_EQ(rendered(-0.0f), "  0.");
  EXPECT_EQ(rendered(1.0f), "  1.");
  EXPECT_EQ(rendered(2.5f), "  2.5");
  EXPECT_EQ(rendered(100000000.0f), "  100000000.");
  EXPECT_EQ(rendered(123456789.0f), "  123456792.");
  EXPECT_EQ(rendered(-0.01f), " -0.00999999978");
  EXPECT_EQ(rendered(0.0001f), "  9.99999975E-05");
  EXPECT_EQ(rendered(0.0002f), "  0.000199999995");
  EXPECT_EQ(rendered(1.0e9f), "  1.E+09");
  EXPECT_EQ(rendered(-1.0e10f), " -1.E+10");
  EXPECT_EQ(rendered(INFINITY), "  INF");
  EXPECT_EQ(rendered(-INFINITY), " -INF");
  // A NaN is not negative, whatever its sign bit.
  EXPECT_EQ(rendered(std::bit_cast<float>(0x7fc00000u)), "  NAN");
  EXPECT_EQ(rendered(std::bit_cast<float>(0xffc00000u)), "  NAN");
}

// Runs statements on unit 6 in a child and gives what reached the console.
std::string console(void (*statements)()) {
  ChildResult r = runInChild([=] {
    prepareLayer();
    statements();
  });
  EXPECT_EQ(r.exitCode, 0);
  return r.out;
}

TEST(FreeFormWriter, RecordLayout) {
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::finish();
            }),
            "\n");
  EXPECT_EQ(console([] {
              for (int64_t v : {2000L, -5L, 0L, -2147483648L}) {
                FreeFormWriter::start(6);
                FreeFormWriter::putInteger(v);
                FreeFormWriter::finish();
              }
            }),
            " 2000\n -5\n 0\n -2147483648\n");
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::putText(" dt & nt=", 9);
              FreeFormWriter::putReal(0.005f);
              FreeFormWriter::putInteger(12000);
              FreeFormWriter::finish();
            }),
            "  dt & nt=  0.00499999989 12000\n");
  // 51 + 40 reaches the limit: the second text starts a record of its own.
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::putText(std::string(50, 'a').data(), 50);
              FreeFormWriter::putText(std::string(40, 'b').data(), 40);
              FreeFormWriter::finish();
            }),
            " " + std::string(50, 'a') + "\n " + std::string(40, 'b') + "\n");
  // At position 77 a two-digit integer still fits (77 + 2 < 80).
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::putText(std::string(76, 'c').data(), 76);
              FreeFormWriter::putInteger(-12);
              FreeFormWriter::putInteger(345);
              FreeFormWriter::finish();
            }),
            " " + std::string(76, 'c') + " -12\n 345\n");
  // A field longer than the limit is written whole, trailing blanks and NUL kept.
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::putText(padded(std::string("title\0x", 7), 2000).data(), 2000);
              FreeFormWriter::finish();
            }),
            " " + padded(std::string("title\0x", 7), 2000) + "\n");
}

TEST(FreeFormWriter, StorageGrows) {
  EXPECT_EQ(console([] {
              FreeFormWriter::start(6);
              FreeFormWriter::putText(std::string(5000, 'g').data(), 5000);
              printf("%zu ", outputRecord.size);
              FreeFormWriter::finish();
            }),
            "8192  " + std::string(5000, 'g') + "\n");
}

// AddressSanitizer reserves more address space than any limit set here
// would allow, so this runs in the plain build only.
#if !defined(__SANITIZE_ADDRESS__)
TEST(FreeFormWriter, ReportsStorageThatCannotGrow) {
  if (getenv("CDMG_EMULATOR")) GTEST_SKIP() << "qemu-user does not apply RLIMIT_AS";
  if (access("/proc/self/statm", R_OK) != 0)
    GTEST_SKIP() << "no /proc/self/statm to measure the address space by";
  ChildResult r = runInChild([] {
    prepareLayer();
    // A gigabyte of zero pages as the text, then little room to grow into.
    const size_t size = size_t{1} << 30;
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    long pages = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (!statm || fscanf(statm, "%ld", &pages) != 1) abort();
    const rlim_t room = pages * sysconf(_SC_PAGESIZE) + (rlim_t{64} << 20);
    const rlimit limit = {room, room};
    setrlimit(RLIMIT_AS, &limit);
    FreeFormWriter::start(6);
    FreeFormWriter::putText(static_cast<const char*>(text), size);
  });
  EXPECT_EQ(r.err,
            "malloc failure: out of free space\napparent state: unit 6 (unnamed)\n"
            "last format: list io\nlately writing sequential formatted external IO\n");
}
#endif

}  // namespace
