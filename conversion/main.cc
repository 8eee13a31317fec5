#include <cerrno>
#include <cstdio>
#include <cstring>

#include "conversion/command_line.h"
#include "conversion/conversion_run.h"
#include "conversion/todays_files.h"
#include "recordio/process.h"

namespace {

const char kUsage[] =
    "Usage: cdmg2csv\n"
    "       cdmg2csv [OPTION]... FILE...\n"
    "       cdmg2csv --help | --version\n"
    "\n"
    "With no argument: converts one three-component strong-motion record in the\n"
    "CDMG-type layout into a comma-separated acceleration table.  Run it in the\n"
    "folder that holds the three component files\n"
    "SCSe-N11E.txt, SCSe-N79W.txt and SCSe-UP.txt; it echoes their titles,\n"
    "intervals, counts and headings, asks for the name of the output file, and\n"
    "writes one row per sample: the time and the three components, each in a\n"
    "fixed-point field with three decimals.\n"
    "\n"
    "With FILE operands: reads every channel of each corrected strong-motion file\n"
    "(\"Volume 2\", .V2) in its fixed fields, and writes one table: the time, then\n"
    "the columns of every channel in turn, no dialogue.\n"
    "  -o, --output=FILE    the table goes to FILE; '-' or no -o: standard output\n"
    "  -d, --directory=DIR  one table per FILE, DIR/NAME.csv (NAME: FILE's name\n"
    "                       without folder and last extension)\n"
    "  -q, --quantity=LIST  acc (the default), vel, dis, or a comma list: for each\n"
    "                       channel in turn, its columns in that order\n"
    "      --header         a first row naming every column\n"
    "      --units=g        accelerations in g (divided by 980.665), six decimals\n"
    "      --help           this text\n"
    "      --version        the version\n"
    "\n"
    "Exit status: 0 when the table is written; 1 after an interrupt or a\n"
    "termination request.  The dialogue ends any input/output failure with a report\n"
    "on standard error and an abnormal end (SIGABRT, 134 in a shell); with FILE\n"
    "operands a failure is one line 'cdmg2csv: FILE:LINE: what is wrong' and status\n"
    "1 (with -d the other files are still converted), a usage error status 2.\n"
    "\n"
    "See cdmg2csv(1).\n";

conversion::Options options;

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
  // No argument: the dialogue.  Otherwise the command line of a Linux tool.
  if (argc <= 1) return recordio::runProcess(argc, argv, [] { conversion::conversionRun(); });
  switch (conversion::parseCommandLine(argc, argv, options)) {
    case conversion::CommandLine::help:
      return printText(kUsage);
    case conversion::CommandLine::version:
      return printText("cdmg2csv " CDMG2CSV_VERSION "\n");
    case conversion::CommandLine::usageError:
      return 2;
    case conversion::CommandLine::convert:
      break;
  }
  return recordio::runProcess(argc, argv, [] { conversion::convertTodaysFiles(options); });
}
