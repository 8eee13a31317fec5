#include "conversion/command_line.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace conversion {

namespace {

CommandLine usageError(const char* format, const char* word) {
  fputs("cdmg2csv: ", stderr);
  fprintf(stderr, format, word);
  fputs("\nTry 'cdmg2csv --help' for more information.\n", stderr);
  return CommandLine::usageError;
}

// The comma list of -q; false when a word is none of acc, vel and dis.
bool parseQuantities(const char* list, std::vector<Quantity>& quantities) {
  static constexpr struct {
    const char* word;
    Quantity quantity;
  } kWords[] = {{"acc", Quantity::acceleration},
                {"vel", Quantity::velocity},
                {"dis", Quantity::displacement}};
  quantities.clear();
  for (const char* p = list;; ++p) {
    const char* const comma = strchr(p, ',');
    const size_t length = comma ? static_cast<size_t>(comma - p) : strlen(p);
    bool known = false;
    for (const auto& w : kWords) {
      if (strlen(w.word) == length && strncmp(w.word, p, length) == 0) {
        quantities.push_back(w.quantity);
        known = true;
      }
    }
    if (!known) return false;
    if (!comma) return true;
    p = comma;
  }
}

// The word getopt_long has just passed over, where optind shows it; "?"
// where it does not.
const char* wordPassed(int argc, char** argv) {
  return optind >= 1 && optind <= argc && argv[optind - 1] ? argv[optind - 1] : "?";
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv, Options& options) {
  enum { kHeader = 256, kUnits, kHelp, kVersion };
  static const option kLong[] = {
      {"output", required_argument, nullptr, 'o'},   {"directory", required_argument, nullptr, 'd'},
      {"quantity", required_argument, nullptr, 'q'}, {"header", no_argument, nullptr, kHeader},
      {"units", required_argument, nullptr, kUnits}, {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},   {nullptr, 0, nullptr, 0}};
  // An option whose argument is missing is the last word: getopt_long may
  // have moved the words about by then, and where optind stands after it
  // differs between C libraries.
  const char* const lastWord = argv[argc - 1];
  opterr = 0;  // the messages are the program's own
  optind = 1;
  bool help = false, version = false;
  for (;;) {
    const int c = getopt_long(argc, argv, ":o:d:q:", kLong, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'o':
        options.output = optarg;
        break;
      case 'd':
        options.directory = optarg;
        break;
      case 'q':
        if (!parseQuantities(optarg, options.quantities))
          return usageError("--quantity: '%s' is not a comma list of acc, vel and dis", optarg);
        break;
      case kHeader:
        options.header = true;
        break;
      case kUnits:
        if (strcmp(optarg, "g") != 0) return usageError("--units: '%s' is not g", optarg);
        options.unitsOfG = true;
        break;
      case kHelp:
        help = true;
        break;
      case kVersion:
        version = true;
        break;
      case ':': {
        // A letter's option is named by its letter, a long one by its name.
        std::string name = "-";
        name += static_cast<char>(optopt);
        for (const option& o : kLong) {
          if (o.name && o.val == optopt && strncmp(lastWord, "--", 2) == 0)
            name = std::string("--") + o.name;
        }
        return usageError("option '%s' needs an argument", name.c_str());
      }
      default:
        if (optopt != 0) {
          const char letter[3] = {'-', static_cast<char>(optopt), '\0'};
          return usageError("unknown option '%s'", letter);
        }
        return usageError("unknown option '%s'", wordPassed(argc, argv));
    }
  }
  if (help) return CommandLine::help;
  if (version) return CommandLine::version;
  for (int i = optind; i < argc; ++i) options.files.push_back(argv[i]);
  if (options.output && options.directory)
    return usageError("%s", "-o and -d cannot be given together");
  if (options.files.empty()) return usageError("%s", "no FILE given");
  return CommandLine::convert;
}

}  // namespace conversion
