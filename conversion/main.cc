#include <cerrno>
#include <cstdio>
#include <cstring>

#include "conversion/conversion_run.h"
#include "recordio/process.h"

namespace {

const char kUsage[] =
    "Usage: cdmg2csv\n"
    "       cdmg2csv --help | --version\n"
    "\n"
    "Converts one three-component strong-motion record in the CDMG-type layout\n"
    "into a comma-separated acceleration table.  Run it in the folder that holds\n"
    "the three component files SCSe-N11E.txt, SCSe-N79W.txt and SCSe-UP.txt; it\n"
    "echoes their titles, intervals, counts and headings, asks for the name of\n"
    "the output file, and writes one row per sample: the time and the three\n"
    "components, each in a fixed-point field with three decimals.\n"
    "\n"
    "Exit status: 0 when the table is written; 1 after an interrupt or a\n"
    "termination request; after any input/output failure a report on standard\n"
    "error and an abnormal end (SIGABRT, 134 in a shell).\n"
    "\n"
    "See cdmg2csv(1).\n";

// Writes `text` to standard output and pushes it out, so that a full disk,
// a closed descriptor or any other failed write is known before the exit
// status is: such a failure is reported on standard error with status 1.
int printText(const char* text) {
  if (fputs(text, stdout) != EOF && fflush(stdout) == 0 && !ferror(stdout)) return 0;
  const int error = errno;
  fprintf(stderr, "cdmg2csv: write error: %s\n", strerror(error));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // The two words of a Linux tool; any other command line is ignored, as
  // the conversion takes no arguments.
  if (argc == 2 && strcmp(argv[1], "--help") == 0) return printText(kUsage);
  if (argc == 2 && strcmp(argv[1], "--version") == 0)
    return printText("cdmg2csv " CDMG2CSV_VERSION "\n");
  return recordio::runProcess(argc, argv, [] { conversion::conversionRun(); });
}
