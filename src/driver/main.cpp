// The console program: binds the dialogue to the real standard input and
// output, the working folder and the clock.

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "driver/arguments.h"
#include "driver/driver.h"
#include "console/terminal.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = zover::HandleArguments(args, std::cout, std::cerr)) return *status;

  zover::Console con{
      std::cin,
      std::cout,
      [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
      zover::DiscardTerminalInput,
      [](const std::string& name) -> std::unique_ptr<std::istream> {
        auto file = std::make_unique<std::ifstream>(name, std::ios::binary);
        if (!*file) return nullptr;
        return file;
      },
  };
  int status = zover::kExitInputEnded;
  try {
    status = zover::RunZover(con);
  } catch (const std::bad_alloc&) {
    std::cout << "\n\n ERROR: not enough memory for these data.\n";
  } catch (...) {
    std::cout << "\n\n ERROR: the program could not go on.\n";
  }
  std::cout.flush();
  return status;
}
