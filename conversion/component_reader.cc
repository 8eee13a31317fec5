#include "conversion/component_reader.h"

namespace conversion {

void readComponent(ComponentSeries&) {}

}  // namespace conversion
