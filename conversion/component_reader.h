// Reads one component file in the CDMG-type layout from the file unit.
#pragma once

#include "conversion/conversion_run.h"

namespace conversion {

/// Reads the component file connected to unit 11: echoes its title line,
/// its interval and count and its heading line on the console, sets `nt`,
/// `dt` and `line`, and fills `series` with 8 * trunc((nt - 1) / 8) samples.
void readComponent(ComponentSeries& series);

}  // namespace conversion
