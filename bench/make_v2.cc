// Writes files in the layout of today's corrected strong-motion files for
// the benchmarks: three channels of COUNT points each, (8f10.6) and
// (8f10.7) blocks and CR LF line ends, like a downloaded file.
//   make_v2 SEED DIR COUNT FILES    writes DIR/rec000.V2 ... (FILES of them)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/v2_files.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    fputs("usage: make_v2 SEED DIR COUNT FILES\n", stderr);
    return 2;
  }
  const int count = atoi(argv[3]), files = atoi(argv[4]);
  for (int f = 0; f < files; ++f) {
    V2Options options;
    options.counts = {count, count, count};
    options.crlf = true;
    options.mixedForms = false;
    // Values as a downloaded file has them: one digit before the point,
    // and now and then a larger one that touches its neighbour.
    options.largest = 9999999;
    options.touchingEvery = 1201;
    options.seed = static_cast<unsigned>(atoi(argv[1]) + f);
    char name[64];
    snprintf(name, sizeof name, "/rec%03d.V2", f);
    const std::string path = argv[2] + std::string(name);
    FILE* out = fopen(path.c_str(), "wb");
    const std::string text = makeV2File(options).text;
    if (!out || fwrite(text.data(), 1, text.size(), out) != text.size() || fclose(out) != 0) {
      perror(path.c_str());
      return 1;
    }
  }
  return 0;
}
