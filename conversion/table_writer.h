// Writes the acceleration table to the file unit.
#pragma once

#include "conversion/conversion_run.h"

namespace conversion {

/// Writes rows 1 to `count` to unit 11: the time (i - 1) * `interval` and
/// the three components of sample i, as "F7.3,3(',',F10.3)" records.
void writeAccelerationTable(int32_t count, float interval, const ComponentSeries& first,
                            const ComponentSeries& second, const ComponentSeries& third);

}  // namespace conversion
