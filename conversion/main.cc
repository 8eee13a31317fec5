#include "conversion/conversion_run.h"
#include "recordio/process.h"

int main(int argc, char** argv) {
  return recordio::runProcess(argc, argv, [] { conversion::conversionRun(); });
}
