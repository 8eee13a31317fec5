#include "conversion/table_writer.h"

namespace conversion {

void writeAccelerationTable(int32_t, float, const ComponentSeries&, const ComponentSeries&,
                            const ComponentSeries&) {}

}  // namespace conversion
