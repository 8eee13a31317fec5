// Runs a fuzz target without the fuzzing engine, so that its checks also
// run where no engine is at hand (other processors, under an emulator):
// every file named on the command line or found in a folder named there,
// then inputs made from those by seeded random changes.  A difference the
// target finds traps, as under the engine.
//   replay [-random N] [-seed S] FILE|FOLDER...
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void collect(const std::string& path, std::vector<std::string>& inputs) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') collect(path + "/" + entry->d_name, inputs);
    }
    closedir(dir);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  inputs.push_back(text.str());
}

// One random change: a byte replaced, inserted or removed, or a piece
// repeated.  Inserted bytes favour those the readers give a meaning to.
void mutate(std::string& input, std::mt19937& random) {
  static const char kMeaningful[] = "0123456789+-.,/* eEdD\t\r\n";
  const auto byte = [&] {
    return random() % 4 ? kMeaningful[random() % (sizeof kMeaningful - 1)]
                        : static_cast<char>(random());
  };
  const size_t at = input.empty() ? 0 : random() % input.size();
  switch (random() % 4) {
    case 0:
      if (!input.empty()) input[at] = byte();
      break;
    case 1:
      input.insert(input.begin() + at, byte());
      break;
    case 2:
      if (!input.empty()) input.erase(at, 1 + random() % 4);
      break;
    default:
      input.insert(at, input.substr(at, random() % 16));
  }
}

}  // namespace

int main(int argc, char** argv) {
  long randomInputs = 0;
  unsigned seed = 1;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-random") == 0 && i + 1 < argc) {
      randomInputs = atol(argv[++i]);
    } else if (strcmp(argv[i], "-seed") == 0 && i + 1 < argc) {
      seed = static_cast<unsigned>(atol(argv[++i]));
    } else {
      collect(argv[i], inputs);
    }
  }
  if (inputs.empty()) inputs.push_back("");
  // What the targets write (console records, failure reports) goes
  // nowhere, as under the engine; the summary goes to the real output.
  const int summary = dup(1);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  for (const std::string& input : inputs) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  std::mt19937 random(seed);
  for (long n = 0; n < randomInputs; ++n) {
    std::string input = inputs[random() % inputs.size()];
    for (int changes = 1 + random() % 8; changes > 0; --changes) mutate(input, random);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  dprintf(summary, "%zu inputs and %ld random ones, seed %u: no difference\n", inputs.size(),
          randomInputs, seed);
  return 0;
}
