#pragma once
// The program's version, as CMake's project version gives it ("1.3").

namespace zover {

const char* Version();

}  // namespace zover
