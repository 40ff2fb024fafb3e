// Entry point: hands the arguments to the run driver.
#include "main/run_driver.h"
#include "platform/console.h"
#include "platform/rewritten_file.h"
#include "platform/stop_signals.h"
#include "util/program_location.h"

int main(int argc, char** argv) {
  pixmeta::platform::IgnoreFileSizeSignal();
  pixmeta::platform::RemoveTemporariesWhenStopped();
  pixmeta::platform::Console console;
  return pixmeta::RunProgram({argc, argv}, pixmeta::FindProgramLocation(), console);
}
