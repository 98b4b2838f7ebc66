#include "tables/version.h"

namespace zover {

// ZOVER_VERSION comes from the build (CMakeLists.txt's project version).
const char* Version() { return ZOVER_VERSION; }

}  // namespace zover
