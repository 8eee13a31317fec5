#include "conversion/conversion_run.h"

#include "recordio/process.h"

namespace conversion {

void conversionRun() { recordio::stopRun("", 0); }

}  // namespace conversion
