// Entry point: hands the arguments to the run driver.
#include <string>
#include <vector>

#include "main/run_driver.h"
#include "platform/console.h"
#include "util/program_location.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  pixmeta::platform::Console console;
  return pixmeta::RunProgram(args, pixmeta::FindProgramLocation(), console);
}
