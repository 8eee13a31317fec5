#include "conversion/table_writer.h"

#include "recordio/fixed_fields.h"

namespace conversion {

void writeAccelerationTable(int32_t count, float interval, const ComponentSeries& first,
                            const ComponentSeries& second, const ComponentSeries& third) {
  for (int32_t i = 1; i <= count; ++i) {
    // Each time from its own index, so that no rounding error builds up.
    const float t = static_cast<float>(i - 1) * interval;
    recordio::FixedRowWriter::start(11);
    recordio::FixedRowWriter::putReal(t);
    recordio::FixedRowWriter::putReal(first[i - 1]);
    recordio::FixedRowWriter::putReal(second[i - 1]);
    recordio::FixedRowWriter::putReal(third[i - 1]);
    recordio::FixedRowWriter::finish();
  }
}

}  // namespace conversion
