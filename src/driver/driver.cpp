#include "driver/driver.h"

namespace lexiform {

int RunProgram(int /*argc*/, char* /*argv*/[]) { return 0; }

} // namespace lexiform
