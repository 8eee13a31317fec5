// The program's own sequence: dialogue, three component files, one table.
#pragma once

namespace conversion {

/// Runs the whole conversion and ends the process.
[[noreturn]] void conversionRun();

}  // namespace conversion
