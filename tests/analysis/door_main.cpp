// Loads the shared object of door_library.cpp and analyses FILE through it:
// Fleiss' kappa of examples/Zover_data.txt is 0.5485 to four decimals.
//   zover_door_check_main FILE

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

extern "C" double zover_door_fleiss(const char* text);

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  const double fleiss = zover_door_fleiss(text.str().c_str());
  std::printf("Fleiss' kappa through the shared object: %.4f\n", fleiss);
  return std::fabs(fleiss - 0.5485) < 5e-5 ? 0 : 1;
}
