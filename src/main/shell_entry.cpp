#include "main/shell_entry.h"

namespace pixmeta {
namespace {

constexpr const char* kNotAvailable = "The folder context-menu entry is not available yet.";

}  // namespace

void InstallShellEntry(platform::Console& console) { console.WriteLine(kNotAvailable); }

void UninstallShellEntry(platform::Console& console) { console.WriteLine(kNotAvailable); }

}  // namespace pixmeta
